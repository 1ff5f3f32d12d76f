#include "viewer/TJpegDecoder.h"

#include "platform/TTrace.h"

#include <QString>

#include <algorithm>
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

void create(jpeg_decompress_struct* info, TErrorManager* errors)
{
    info->err = jpeg_std_error(&errors->Base);
    errors->Base.error_exit = errorExit;
    errors->Base.output_message = traceMessage;
    jpeg_create_decompress(info);
}

// The header and the start of the decompression; output_width/height are known afterwards.
TResult start(jpeg_decompress_struct* info, const QByteArray& bytes,
              const std::function<bool(const QSize&)>& sizeAllowed, int scaleDenom)
{
    jpeg_mem_src(info, reinterpret_cast<const unsigned char*>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK)
        return TResult::Refused;
    if (info->jpeg_color_space == JCS_CMYK || info->jpeg_color_space == JCS_YCCK)
        return TResult::Unsupported;
    if (sizeAllowed && !sizeAllowed(QSize(int(info->image_width), int(info->image_height))))
        return TResult::Refused;
    info->out_color_space = JCS_EXT_BGRX; // the byte order of QImage::Format_RGB32 in memory
    info->scale_num = 1;
    info->scale_denom = static_cast<unsigned int>(scaleDenom);
    jpeg_start_decompress(info);
    return TResult::Decoded;
}

// Runs the decompression; kept free of objects with destructors, as longjmp skips them.
TResult run(jpeg_decompress_struct* info, const QByteArray& bytes,
            const std::function<bool(const QSize&)>& sizeAllowed, QImage* image, int scaleDenom,
            QSize* natural)
{
    const TResult started = start(info, bytes, sizeAllowed, scaleDenom);
    if (started != TResult::Decoded)
        return started;
    if (natural)
        *natural = QSize(int(info->image_width), int(info->image_height));
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

// Decodes up to rowLimit rows into strip (StripRows rows of the output width) and draws each.
// Holds no object with a destructor across libjpeg's calls, as longjmp skips them.
void decodeRows(jpeg_decompress_struct* info, QImage* strip, int rowLimit,
                const std::function<void(const QImage&, int, int)>& draw)
{
    const int limit = std::min(rowLimit, int(info->output_height));
    JSAMPROW rows[StripRows];
    while (int(info->output_scanline) < limit) {
        const int top = int(info->output_scanline);
        const int wanted = std::min(StripRows, limit - top);
        for (int i = 0; i < wanted; ++i)
            rows[i] = strip->scanLine(i);
        int got = 0;
        while (got < wanted) {
            const JDIMENSION n = jpeg_read_scanlines(info, rows + got, JDIMENSION(wanted - got));
            if (n == 0)
                return;
            got += int(n);
        }
        draw(*strip, top, got);
    }
}

// Decodes up to rowLimit rows, each to where rowFor says (scratch when nowhere); the rows done so
// far in *done. Holds no object with a destructor across libjpeg's calls, as longjmp skips them.
void decodeRowsInto(jpeg_decompress_struct* info, int rowLimit, const std::function<uchar*(int)>& rowFor,
                    uchar* scratch, volatile int* done)
{
    const int limit = std::min(rowLimit, int(info->output_height));
    JSAMPROW rows[StripRows];
    while (int(info->output_scanline) < limit) {
        const int top = int(info->output_scanline);
        const int wanted = std::min(StripRows, limit - top);
        for (int i = 0; i < wanted; ++i) {
            uchar* line = rowFor(top + i);
            rows[i] = line ? line : scratch;
        }
        const JDIMENSION n = jpeg_read_scanlines(info, rows, JDIMENSION(wanted));
        if (n == 0)
            return;
        *done = top + int(n);
    }
}

} // namespace

TResult Probe(const QByteArray& bytes, const std::function<bool(const QSize&)>& sizeAllowed, int scaleDenom,
              QSize* natural, QSize* output)
{
    jpeg_decompress_struct info;
    TErrorManager errors;
    create(&info, &errors);
    TResult result = TResult::Refused;
    if (setjmp(errors.Jump) == 0) {
        result = start(&info, bytes, sizeAllowed, scaleDenom);
        if (result == TResult::Decoded) {
            *natural = QSize(int(info.image_width), int(info.image_height));
            *output = QSize(int(info.output_width), int(info.output_height));
        }
    }
    jpeg_destroy_decompress(&info);
    return result;
}

bool DecodeStrips(const QByteArray& bytes, int scaleDenom, int rowLimit,
                  const std::function<void(const QImage& strip, int top, int rows)>& draw)
{
    jpeg_decompress_struct info;
    TErrorManager errors;
    create(&info, &errors);
    // Read again after a jump back: kept in memory, not in a register.
    volatile bool ok = false;
    if (setjmp(errors.Jump) == 0)
        ok = start(&info, bytes, nullptr, scaleDenom) == TResult::Decoded;
    QImage strip;
    if (ok) {
        strip = QImage(int(info.output_width), StripRows, QImage::Format_RGB32);
        ok = !strip.isNull();
    }
    if (ok) {
        if (setjmp(errors.Jump) == 0)
            decodeRows(&info, &strip, rowLimit, draw);
        else
            ok = false;
    }
    // The rows below rowLimit are not wanted: abort rather than decode them to finish.
    jpeg_destroy_decompress(&info);
    return ok;
}

bool DecodeRowsInto(const QByteArray& bytes, int scaleDenom, int rowLimit,
                    const std::function<uchar*(int row)>& row, int* rowsDone)
{
    jpeg_decompress_struct info;
    TErrorManager errors;
    create(&info, &errors);
    volatile bool ok = false;
    volatile int done = 0;
    if (setjmp(errors.Jump) == 0)
        ok = start(&info, bytes, nullptr, scaleDenom) == TResult::Decoded;
    QByteArray scratch;
    if (ok) {
        scratch = QByteArray(qsizetype(info.output_width) * 4, Qt::Uninitialized);
        if (setjmp(errors.Jump) == 0)
            decodeRowsInto(&info, rowLimit, row, reinterpret_cast<uchar*>(scratch.data()), &done);
        else
            ok = false;
    }
    jpeg_destroy_decompress(&info);
    *rowsDone = done;
    return ok;
}

TResult Decode(const QByteArray& bytes, const std::function<bool(const QSize&)>& sizeAllowed, QImage* image,
               int scaleDenom, QSize* natural)
{
    jpeg_decompress_struct info;
    TErrorManager errors;
    create(&info, &errors);
    TResult result = TResult::Refused;
    if (setjmp(errors.Jump) == 0)
        result = run(&info, bytes, sizeAllowed, image, scaleDenom, natural);
    else
        *image = QImage();
    jpeg_destroy_decompress(&info);
    return result;
}

} // namespace TJpegDecoder
