#include "viewer/TPngDecoder.h"

#include "platform/TTrace.h"

#include <QString>

#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

namespace TPngDecoder {
namespace {

struct TSource
{
    const QByteArray* Bytes;
    qsizetype Pos = 0;
};

void readBytes(png_structp png, png_bytep out, png_size_t length)
{
    auto* source = static_cast<TSource*>(png_get_io_ptr(png));
    if (length > png_size_t(source->Bytes->size() - source->Pos))
        png_error(png, "Read Error: the file ends early");
    std::memcpy(out, source->Bytes->constData() + source->Pos, length);
    source->Pos += qsizetype(length);
}

[[noreturn]] void onError(png_structp png, png_const_charp message)
{
    TTrace::write("codec", QStringLiteral("libpng error: ") + QString::fromLatin1(message));
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp message)
{
    TTrace::write("codec", QStringLiteral("libpng warning: ") + QString::fromLatin1(message));
}

// Kept free of objects with destructors between setjmp and the end, as longjmp skips them; the
// row pointers live with the caller.
bool run(png_structp png, png_infop info, TSource* source,
         const std::function<bool(const QSize&)>& sizeAllowed, QImage* image, std::vector<png_bytep>* rows)
{
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_set_read_fn(png, source, readBytes);
    png_read_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (width > 0x7fffffffU || height > 0x7fffffffU || !sizeAllowed(QSize(int(width), int(height))))
        return false;

    // Whatever the stored form: 8 bits per channel, blue-green-red-alpha in memory, which is
    // QImage's 32-bit layout on this little-endian machine.
    const int colourType = png_get_color_type(png, info);
    png_set_expand(png);
    png_set_scale_16(png); // rounded, as Qt does, not cut off
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    const bool alpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    png_set_bgr(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    *image = QImage(int(width), int(height), alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (image->isNull() || png_get_rowbytes(png, info) != png_size_t(image->bytesPerLine()))
        return false;
    rows->resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        (*rows)[y] = image->scanLine(int(y));
    png_read_image(png, rows->data());
    png_read_end(png, nullptr);
    return true;
}

} // namespace

bool Decode(const QByteArray& bytes, const std::function<bool(const QSize&)>& sizeAllowed, QImage* image)
{
    *image = QImage();
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, onError, onWarning);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    TSource source{&bytes};
    std::vector<png_bytep> rows;
    const bool ok = info && run(png, info, &source, sizeAllowed, image, &rows);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!ok)
        *image = QImage();
    return ok;
}

} // namespace TPngDecoder
