#include "viewer/TWindowLayout.h"

#include <algorithm>

namespace TWindowLayout {

QSize ImageAreaSize(int naturalWidth, int naturalHeight, int scalePercent, const QSize& maxWindow)
{
    if (naturalWidth == 0)
        return QSize(BlankSide, BlankSide);
    // A stored scale can be any 32-bit number: keep the area within what a window can be.
    const auto scaled = [scalePercent](int side) {
        return int(std::clamp<qint64>(qint64(side) * scalePercent / 100, 0, MaxSide));
    };
    const QSize area(scaled(naturalWidth), scaled(naturalHeight));
    if (!maxWindow.isValid() || naturalHeight <= 0)
        return area;
    // A window larger than the screens is never seen whole, and X keeps a pixmap of all of it
    // (gigabytes for a stored scale of 100000).
    const qint64 roomWidth = std::max(1, maxWindow.width() - 2 * Margin);
    const qint64 roomHeight = std::max(1, maxWindow.height() - ExtraHeight);
    if (area.width() <= roomWidth && area.height() <= roomHeight)
        return area;
    if (roomWidth * naturalHeight <= roomHeight * naturalWidth)
        return QSize(int(roomWidth), int(std::max<qint64>(1, roomWidth * naturalHeight / naturalWidth)));
    return QSize(int(std::max<qint64>(1, roomHeight * naturalWidth / naturalHeight)), int(roomHeight));
}

TLayout ArrangeControls(const QSize& imageArea)
{
    TLayout l;
    l.Window =
        QSize(std::max(MinimumWidth, imageArea.width() + 2 * Margin), imageArea.height() + ExtraHeight);
    const int clientWidth = l.Window.width();
    const int left =
        clientWidth - 2 * Margin > imageArea.width() ? (clientWidth - imageArea.width()) / 2 : Margin;
    l.ImageArea = QRect(QPoint(left, Margin), imageArea);
    l.LabelWidth = clientWidth - 2 * Margin;
    l.StatusTop = Margin + imageArea.height() + 4;
    l.DescriptionTop = l.StatusTop + LabelHeight;
    l.DateTimeTop = l.DescriptionTop + LabelHeight;
    return l;
}

QPoint PlaceWindow(int left, int top, const QSize& screen, const QSize& window)
{
    const int x = left != 0 ? left : (screen.width() - window.width()) / 2;
    const int y = top != 0 ? top : (screen.height() - window.height()) / 2;
    return QPoint(x, y);
}

} // namespace TWindowLayout
