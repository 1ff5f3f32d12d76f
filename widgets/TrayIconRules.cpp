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

QPoint TrayMenuPoint(QPoint at, const QRect& screen, const QRect& available)
{
    if (available.isValid() && available != screen) {
        if (available.contains(at))
            return at;
        return QPoint(std::clamp(at.x(), available.left(), available.right()),
                      std::clamp(at.y(), available.top(), available.bottom()));
    }
    constexpr int panelBand = 64;
    const int toLeft = at.x() - screen.left();
    const int toRight = screen.right() - at.x();
    const int toTop = at.y() - screen.top();
    const int toBottom = screen.bottom() - at.y();
    const int nearest = std::min({toLeft, toRight, toTop, toBottom});
    if (nearest < 0 || nearest >= panelBand)
        return at;
    if (nearest == toTop)
        return QPoint(at.x(), at.y() + toTop);
    if (nearest == toBottom)
        return QPoint(at.x(), at.y() - toBottom);
    if (nearest == toLeft)
        return QPoint(at.x() + toLeft, at.y());
    return QPoint(at.x() - toRight, at.y());
}
