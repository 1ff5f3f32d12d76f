#include "widgets/BarMeasure.h"

TBcMenuStyle EffectiveMenuStyle(TBcMenuStyle style, const TPlatformVersion& platform)
{
    if (style != TBcMenuStyle::msAuto)
        return style;
    if (platform.ntFamily && platform.major > 4 && platform.minor > 0)
        return TBcMenuStyle::msWindowsXP;
    return TBcMenuStyle::msStandard;
}

TPlatformVersion CurrentPlatformVersion()
{
    return {};
}

QString SeparatorText(bool enabled, const QString& hint)
{
    return enabled ? hint : QString();
}

int SeparatorHeight(bool hasText, TBcMenuStyle effectiveStyle)
{
    if (hasText)
        return 14;
    return effectiveStyle == TBcMenuStyle::msWindowsXP ? 9 : 12;
}

void MeasureBeforeHandlers(const TMeasureItem& item, TBcMenuStyle effectiveStyle, int& width, int& height)
{
    if (item.separator) {
        height = SeparatorHeight(!SeparatorText(item.enabled, item.hint).isEmpty(), effectiveStyle);
        return;
    }
    if (item.topLevelOfMainMenu)
        return;
    if (!item.menuHasImages && !item.hasOwnBitmap)
        width += 15;
    if (effectiveStyle == TBcMenuStyle::msWindowsXP) {
        height += height % 2;
        width += 2;
    }
}

int MeasureAfterHandlers(const TMeasureItem& item, const TMeasureBar& bar, int& width, int height)
{
    if (bar.separatorStyle == TSeparatorStyle::ssShortLine && !item.topLevelOfMainMenu)
        width += 10;
    if (!bar.barVisible || !item.inFirstColumn)
        return 0;
    width += bar.barWidth + bar.barSpace;
    return bar.recalculate && item.visible ? height : 0;
}
