#pragma once

#include "widgets/BarTypes.h"

#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>

// Where things go on the side bar and in an item row. All values are pixels; the bar's own
// coordinates start at 0, 0 in its top-left corner.

// Nearest integer, exact halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -0.5 -> 0).
int RoundHalfEven(double value);

// Top-left corner of a picture drawn once on a bar of barWidth x barHeight: offsets are added
// after aligning, halves truncated.
QPoint PicturePosition(const QSize& picture, int barWidth, int barHeight, THorzAlignment horz,
                       TVertAlignment vert, int offsetX, int offsetY);

// First tile position along one axis: 0 for the near alignment, (extent mod picture) - picture
// for the far one and half of that (truncated) for centred; then the offset, then whole
// picture sizes back until the start is 0 or less. A picture extent of 0 or less gives 0.
int TileStart(int extent, int pictureExtent, bool farSide, bool centred, int offset);

// Every top-left corner of the tiles that cover the bar, row by row.
QList<QPoint> TilePositions(const QSize& picture, int barWidth, int barHeight, THorzAlignment horz,
                            TVertAlignment vert, int offsetX, int offsetY);

// Reference point of the vertical caption, where the rotated text cell starts: textLength is
// the caption's length along its baseline, textHeight its cell height. bottomPictureHeight is
// the height of a bar picture that sits at the bottom (0 when there is none), so a bottom
// caption stands above it. With dDownToUp the text runs upwards from the point and its cell
// lies to the right of it; with dUpToDown it runs downwards and the cell lies to the left.
QPoint CaptionPosition(int barWidth, int barHeight, int textLength, int textHeight, TVertAlignment alignment,
                       TDirection direction, int offsetY, int bottomPictureHeight);

// The item row less the bar's band and the space beside it (only for rows that carry the band),
// less 10 pixels at the right end with short separator lines.
QRect ItemArea(const QRect& itemRect, bool withBand, TSide side, int barWidth, int barSpace,
               TSeparatorStyle separatorStyle);

// Where the band of the bar beside an item row goes: the left end of the row, or with sRight
// its right end.
QRect BandTarget(const QRect& itemRect, TSide side, int barWidth);

// The rectangle short separator lines are drawn in: widened by 10 on the right (giving back the
// strip ItemArea took), then narrowed by 12 on each side.
QRect ShortLineRect(const QRect& area);

// Left edge of a separator's text of textWidth inside rect: at the left for taLeftJustify, at the
// right end for taRightJustify, round((width - textWidth) / 2 - 0.5) in for taCenter.
int SeparatorTextLeft(const QRect& rect, int textWidth, TAlignment alignment);

// Row of the separator's (darker) line below the item's top: 5 for a plain separator, 6 when it
// carries text. The lighter half of an etched or faded line lies one row below.
int SeparatorLineOffset(bool hasText);
