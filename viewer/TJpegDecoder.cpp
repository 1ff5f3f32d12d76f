#include "viewer/TJpegDecoder.h"

#include "platform/TTrace.h"

#include <QString>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace TJpegDecoder {
namespace {

// libjpeg reports fatal errors by calling error_exit, which must not return: jump back out.
struct TErrorManager
{
    jpeg_error_mgr Base;
    std::jmp_buf Jump;
};

[[noreturn]] void errorExit(j_common_ptr info)
{
    (*info->err->output_message)(info);
    std::longjmp(reinterpret_cast<TErrorManager*>(info->err)->Jump, 1);
}

// libjpeg's messages (a warning for a truncated file, the reason a decode failed) are not worth a
// line on the terminal; they go to the trace, where whoever looks into a camera's trouble reads.
void traceMessage(j_common_ptr info)
{
    if (!TTrace::enabled())
        return;
    char text[JMSG_LENGTH_MAX] = {};
    (*info->err->format_message)(info, text);
    TTrace::write("codec", QStringLiteral("libjpeg: ") + QString::fromLatin1(text));
}

// Runs the decompression; kept free of objects with destructors, as longjmp skips them.
TResult run(jpeg_decompress_struct* info, const QByteArray& bytes,
            const std::function<bool(const QSize&)>& sizeAllowed, QImage* image, int scaleDenom,
            QSize* natural)
{
    jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK)
        return TResult::Refused;
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK)
        return TResult::Unsupported;
    if (!sizeAllowed(QSize(int(info->image_width), int(info->image_height))))
        return TResult::Refused;
    if (natural)
        *natural = QSize(int(info->image_width), int(info->image_height));
    info->out_color_space = JCS_EXT_BGRX; // the byte order of QImage::Format_RGB32 in memory
    info->scale_num = 1;
    info->scale_denom = static_cast<unsigned int>(scaleDenom);
    jpeg_start_decompress(info);
    *image = QImage(int(info->output_width), int(info->output_height), QImage::Format_RGB32);
    if (image->isNull())
        return TResult::Refused;
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = image->scanLine(int(info->output_scanline));
        if (jpeg_read_scanlines(info, &row, 1) != 1)
            return TResult::Refused;
    }
    jpeg_finish_decompress(info);
    return TResult::Decoded;
}

} // namespace

TResult Decode(const QByteArray& bytes, const std::function<bool(const QSize&)>& sizeAllowed, QImage* image,
               int scaleDenom, QSize* natural)
{
    jpeg_decompress_struct info;
    TErrorManager errors;
    info.err = jpeg_std_error(&errors.Base);
    errors.Base.error_exit = errorExit;
    errors.Base.output_message = traceMessage;
    jpeg_create_decompress(&info);
    TResult result = TResult::Refused;
    if (setjmp(errors.Jump) == 0)
        result = run(&info, bytes, sizeAllowed, image, scaleDenom, natural);
    else
        *image = QImage();
    jpeg_destroy_decompress(&info);
    return result;
}

} // namespace TJpegDecoder
