#pragma once

#include "widgets/BarTypes.h"

#include <QString>

// Measure rules of the side-bar menu's items. The caller passes in the size it would give the
// item anyway (the platform's proposal) and gets it back adjusted.

struct TPlatformVersion
{
    bool ntFamily = false;
    int major = 0;
    int minor = 0;
};

// msStandard or msWindowsXP: the style itself unless it is msAuto, which gives msWindowsXP only
// on an NT-family platform whose major version is above 4 and whose minor version is above 0.
TBcMenuStyle EffectiveMenuStyle(TBcMenuStyle style, const TPlatformVersion& platform);

// The version rule above needs a Windows version; this program's platform is none, so msAuto
// resolves to msStandard here.
TPlatformVersion CurrentPlatformVersion();

// A separator shows its item's hint while the item is enabled, nothing while it is disabled.
QString SeparatorText(bool enabled, const QString& hint);

// 14 with text, else 9 in the msWindowsXP look and 12 in the standard look.
int SeparatorHeight(bool hasText, TBcMenuStyle effectiveStyle);

struct TMeasureItem
{
    bool separator = false;
    bool enabled = true;
    QString hint;
    bool visible = true;
    bool topLevelOfMainMenu = false;
    bool menuHasImages = false;
    bool hasOwnBitmap = false;
    bool inFirstColumn = true;
};

// Before the measure handler and the draw module: separators get their fixed height; other items
// get 15 more width for the check-mark column when neither the menu nor the item has a picture,
// and in the msWindowsXP look an even height and 2 more width.
void MeasureBeforeHandlers(const TMeasureItem& item, TBcMenuStyle effectiveStyle, int& width, int& height);

struct TMeasureBar
{
    TSeparatorStyle separatorStyle = TSeparatorStyle::ssNormal;
    bool barVisible = true;
    int barWidth = 32;
    int barSpace = 1;
    bool recalculate = false;
};

// After the handlers, when they left the default measuring on: 10 more width for short separator
// lines; the bar's width and space for items of the first column. Returns how much the item adds
// to the bar's height while the bar is being recalculated (its height, or 0).
int MeasureAfterHandlers(const TMeasureItem& item, const TMeasureBar& bar, int& width, int height);
