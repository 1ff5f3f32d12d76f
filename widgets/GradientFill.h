#pragma once

#include "widgets/BarTypes.h"

#include <QColor>
#include <QRect>

class QImage;
class QPainter;

// Two-colour gradient of the side bar and of caption separators.
//
// The colour of a pixel is start + (end - start) * offset / size per component, with integer
// division truncating towards zero, so the end colour itself is only approached: the last row
// (vertical) or column (horizontal) gets start + d * (size - 1) / size. Diagonal styles use
// t = trunc(((y - top) / h + (x - left) / w) * 512) and start + d * t / 1024, running from the
// top-left (gsDiagonalLeftRight) or top-right (gsDiagonalRightLeft) corner. Equal colours fill
// the rectangle plainly; a rectangle of height 0 or less draws nothing.

// Writes the pixels straight into the image, converting it to 32 bits per pixel first.
// Pixels of the rectangle that lie outside the image are skipped.
void GradientFill(QImage& target, const QRect& rect, const QColor& start, const QColor& end,
                  TGradientStyle style);

// The same colours drawn through a painter, for targets whose pixels cannot be written directly.
void GradientFill(QPainter& canvas, const QRect& rect, const QColor& start, const QColor& end,
                  TGradientStyle style);
