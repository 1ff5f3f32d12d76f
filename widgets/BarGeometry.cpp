#include "widgets/BarGeometry.h"

#include <cmath>

int RoundHalfEven(double value)
{
    const double floor = std::floor(value);
    const double fraction = value - floor;
    if (fraction > 0.5)
        return static_cast<int>(floor) + 1;
    if (fraction < 0.5)
        return static_cast<int>(floor);
    const int lower = static_cast<int>(floor);
    return lower % 2 == 0 ? lower : lower + 1;
}

QPoint PicturePosition(const QSize& picture, int barWidth, int barHeight, THorzAlignment horz,
                       TVertAlignment vert, int offsetX, int offsetY)
{
    int y = offsetY;
    switch (vert) {
    case TVertAlignment::vaTop:
        y = offsetY;
        break;
    case TVertAlignment::vaBottom:
        y = barHeight + offsetY - picture.height();
        break;
    case TVertAlignment::vaMiddle:
        y = (barHeight - picture.height()) / 2 + offsetY;
        break;
    }
    int x = offsetX;
    switch (horz) {
    case THorzAlignment::haLeft:
        x = offsetX;
        break;
    case THorzAlignment::haRight:
        x = barWidth + offsetX - picture.width();
        break;
    case THorzAlignment::haCenter:
        x = (barWidth - picture.width()) / 2 + offsetX;
        break;
    }
    return {x, y};
}

int TileStart(int extent, int pictureExtent, bool farSide, bool centred, int offset)
{
    if (pictureExtent <= 0)
        return 0;
    int start = 0;
    if (farSide || centred) {
        start = extent % pictureExtent - pictureExtent;
        if (centred)
            start /= 2;
    }
    start += offset;
    if (start > 0)
        start -= ((start + pictureExtent - 1) / pictureExtent) * pictureExtent;
    return start;
}

QList<QPoint> TilePositions(const QSize& picture, int barWidth, int barHeight, THorzAlignment horz,
                            TVertAlignment vert, int offsetX, int offsetY)
{
    QList<QPoint> tiles;
    if (picture.width() <= 0 || picture.height() <= 0)
        return tiles;
    const int x0 = TileStart(barWidth, picture.width(), horz == THorzAlignment::haRight,
                             horz == THorzAlignment::haCenter, offsetX);
    const int y0 = TileStart(barHeight, picture.height(), vert == TVertAlignment::vaBottom,
                             vert == TVertAlignment::vaMiddle, offsetY);
    for (int y = y0; y < barHeight; y += picture.height())
        for (int x = x0; x < barWidth; x += picture.width())
            tiles.append(QPoint(x, y));
    return tiles;
}

QPoint CaptionPosition(int barWidth, int barHeight, int textLength, int textHeight, TVertAlignment alignment,
                       TDirection direction, int offsetY, int bottomPictureHeight)
{
    int x = RoundHalfEven((barWidth - textHeight) / 2.0 - 0.5);
    int y = 0;
    switch (alignment) {
    case TVertAlignment::vaTop:
        y = offsetY + textLength;
        break;
    case TVertAlignment::vaBottom:
        y = barHeight - offsetY - bottomPictureHeight;
        break;
    case TVertAlignment::vaMiddle:
        y = RoundHalfEven((barHeight + textLength) / 2.0 - 0.5);
        break;
    }
    if (direction == TDirection::dUpToDown) {
        y -= textLength;
        x += textHeight + 1;
    }
    return {x, y};
}

QRect ItemArea(const QRect& itemRect, bool withBand, TSide side, int barWidth, int barSpace,
               TSeparatorStyle separatorStyle)
{
    QRect area = itemRect;
    if (withBand) {
        if (side == TSide::sLeft)
            area.setLeft(area.left() + barWidth + barSpace);
        else
            area.setRight(area.right() - barWidth - barSpace);
    }
    if (separatorStyle == TSeparatorStyle::ssShortLine)
        area.setRight(area.right() - 10);
    return area;
}

QRect BandTarget(const QRect& itemRect, TSide side, int barWidth)
{
    const int x = side == TSide::sLeft ? itemRect.left() : itemRect.left() + itemRect.width() - barWidth;
    return QRect(x, itemRect.top(), barWidth, itemRect.height());
}

QRect ShortLineRect(const QRect& area)
{
    return area.adjusted(12, 0, 10 - 12, 0);
}

int SeparatorTextLeft(const QRect& rect, int textWidth, TAlignment alignment)
{
    switch (alignment) {
    case TAlignment::taLeftJustify:
        break;
    case TAlignment::taRightJustify:
        return rect.left() + rect.width() - textWidth;
    case TAlignment::taCenter:
        return rect.left() + RoundHalfEven((rect.width() - textWidth) / 2.0 - 0.5);
    }
    return rect.left();
}

int SeparatorLineOffset(bool hasText)
{
    return hasText ? 6 : 5;
}
