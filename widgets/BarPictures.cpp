#include "widgets/BarPictures.h"

#include <QImage>

QImage PictureForBar(const QImage& picture, bool transparent)
{
    if (picture.isNull())
        return {};
    if (!transparent)
        return picture.convertToFormat(QImage::Format_RGB32);
    if (picture.hasAlphaChannel())
        return picture;
    QImage keyed = picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = keyed.pixel(0, keyed.height() - 1);
    for (int y = 0; y < keyed.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(keyed.scanLine(y));
        for (int x = 0; x < keyed.width(); ++x)
            if (row[x] == key)
                row[x] = qRgba(0, 0, 0, 0);
    }
    return keyed;
}
