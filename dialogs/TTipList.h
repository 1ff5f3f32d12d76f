#pragma once

#include <QString>
#include <QStringList>

// The decisions of the tip-of-the-day window, without widgets.
namespace TTipList {

// Every line of the file is a tip, blank lines included; a last line break adds no tip.
// 8-bit text in the given character set, or UTF-8 behind a byte-order mark. A missing or
// unreadable file gives no tips.
QStringList LoadTips(const QString& fileName, int charset);

// Backslash + "n" (either letter case) becomes CR LF; other backslashes stay.
QString ConvertLineBreaks(const QString& tip);

// The tip the window opens on: round(r × count) mod count, r uniform in [0, 1), so a value
// near count wraps to 0. -1 when there are no tips.
int StartIndex(double r, int count);

} // namespace TTipList
