#include "widgets/FadeLine.h"

#include <QImage>

#include <algorithm>

QRgb FadePixel(QRgb background, const QColor& colour, int k, int fadeWidth)
{
    if (fadeWidth <= 0 || k >= fadeWidth)
        return colour.rgb();
    k = std::max(k, 0);
    const int r = qRed(background) + (colour.red() - qRed(background)) * k / fadeWidth;
    const int g = qGreen(background) + (colour.green() - qGreen(background)) * k / fadeWidth;
    const int b = qBlue(background) + (colour.blue() - qBlue(background)) * k / fadeWidth;
    return qRgb(r, g, b);
}

void FadeLine(QImage& image, int y, int left, int right, int fadeWidth, const QColor& colour, int gapLeft,
              int gapRight)
{
    if (y < 0 || y >= image.height())
        return;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32)
        image.convertTo(QImage::Format_RGB32);
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    const int lastX = image.width() - 1;
    for (int x = std::max(left, 0); x < std::min(gapLeft, right) && x <= lastX; ++x)
        row[x] = FadePixel(row[x], colour, x - left, fadeWidth);
    for (int x = std::max({gapRight, left, 0}); x < right && x <= lastX; ++x)
        row[x] = FadePixel(row[x], colour, right - 1 - x, fadeWidth);
}
