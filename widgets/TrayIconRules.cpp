#include "widgets/TrayIconRules.h"

#include <algorithm>

QString TrayTipText(const QString& hint)
{
    constexpr int maxTip = 63;
    QString tip = hint.section(QLatin1Char('|'), 0, 0);
    if (tip.size() > maxTip) {
        int cut = maxTip;
        // A lone high surrogate at the end would leave the tip invalid UTF-16.
        if (tip.at(cut - 1).isHighSurrogate())
            --cut;
        tip.truncate(cut);
    }
    return tip;
}

int ClampFrameIndex(int index, int count)
{
    return std::clamp(index, 0, std::max(count - 1, 0));
}

int NextFrameIndex(int index, int count)
{
    const int next = index + 1;
    return next >= count ? 0 : next;
}
