#include "widgets/GradientFill.h"

#include <QImage>
#include <QPainter>

#include <vector>

namespace {

struct TDelta
{
    int r;
    int g;
    int b;
};

QRgb Blend(const QColor& start, const TDelta& d, long long offset, long long size)
{
    // 64-bit products: a wide rectangle times a colour difference must not overflow.
    const int r = start.red() + static_cast<int>(d.r * offset / size);
    const int g = start.green() + static_cast<int>(d.g * offset / size);
    const int b = start.blue() + static_cast<int>(d.b * offset / size);
    return qRgb(r, g, b);
}

void PutPixel(QImage& image, int x, int y, QRgb colour)
{
    if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
        reinterpret_cast<QRgb*>(image.scanLine(y))[x] = colour;
}

} // namespace

void GradientFill(QImage& target, const QRect& rect, const QColor& start, const QColor& end,
                  TGradientStyle style)
{
    const int left = rect.left();
    const int top = rect.top();
    const int w = rect.width();
    const int h = rect.height();
    if (h <= 0 || w <= 0 || target.isNull())
        return;
    if (target.format() != QImage::Format_RGB32)
        target.convertTo(QImage::Format_RGB32);

    if (start.rgb() == end.rgb()) {
        const QRgb colour = start.rgb();
        for (int y = top; y < top + h; ++y)
            for (int x = left; x < left + w; ++x)
                PutPixel(target, x, y, colour);
        return;
    }

    const TDelta d{end.red() - start.red(), end.green() - start.green(), end.blue() - start.blue()};
    switch (style) {
    case TGradientStyle::gsHorizontal: {
        std::vector<QRgb> row(static_cast<size_t>(w));
        for (int i = 0; i < w; ++i)
            row[static_cast<size_t>(i)] = Blend(start, d, i, w);
        for (int y = top; y < top + h; ++y)
            for (int i = 0; i < w; ++i)
                PutPixel(target, left + i, y, row[static_cast<size_t>(i)]);
        break;
    }
    case TGradientStyle::gsVertical:
        for (int j = 0; j < h; ++j) {
            const QRgb colour = Blend(start, d, j, h);
            for (int x = left; x < left + w; ++x)
                PutPixel(target, x, top + j, colour);
        }
        break;
    case TGradientStyle::gsDiagonalLeftRight:
    case TGradientStyle::gsDiagonalRightLeft: {
        const bool mirrored = style == TGradientStyle::gsDiagonalRightLeft;
        for (int j = 0; j < h; ++j) {
            for (int i = 0; i < w; ++i) {
                const double fraction = static_cast<double>(j) / h + static_cast<double>(i) / w;
                const int t = static_cast<int>(fraction * 512);
                const int x = mirrored ? left + w - 1 - i : left + i;
                PutPixel(target, x, top + j, Blend(start, d, t, 1024));
            }
        }
        break;
    }
    }
}

void GradientFill(QPainter& canvas, const QRect& rect, const QColor& start, const QColor& end,
                  TGradientStyle style)
{
    if (rect.height() <= 0 || rect.width() <= 0)
        return;
    QImage patch(rect.size(), QImage::Format_RGB32);
    GradientFill(patch, QRect(QPoint(0, 0), rect.size()), start, end, style);
    canvas.drawImage(rect.topLeft(), patch);
}
