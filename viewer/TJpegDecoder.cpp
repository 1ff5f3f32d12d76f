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

// Decodes up to rowLimit rows StripRows at a time, each row to where rowFor says, and reports
// each whole strip to stripDone (when given) with its first row and its rows; the rows decoded so
// far in *done. Holds no object with a destructor across libjpeg's calls, as longjmp skips them.
void decodeRows(jpeg_decompress_struct* info, int rowLimit, const std::function<uchar*(int)>& rowFor,
                const std::function<void(int, int)>& stripDone, volatile int* done)
{
    const int limit = std::min(rowLimit, int(info->output_height));
    JSAMPROW rows[StripRows];
    while (int(info->output_scanline) < limit) {
        const int top = int(info->output_scanline);
        const int wanted = std::min(StripRows, limit - top);
        for (int i = 0; i < wanted; ++i)
            rows[i] = rowFor(top + i);
        int got = 0;
        while (got < wanted) {
            const JDIMENSION n = jpeg_read_scanlines(info, rows + got, JDIMENSION(wanted - got));
            if (n == 0)
                return;
            got += int(n);
            *done = top + got;
        }
        if (stripDone)
            stripDone(top, got);
    }
}

// Both ways of decoding rows: starts the decompression at 1/scaleDenom, lets setUp take what the
// rows need once their width is known, then runs decodeRows. False when libjpeg gave up or setUp
// could not; rowsDone, when given, receives the rows decoded.
bool decodeInStrips(const QByteArray& bytes, int scaleDenom, int rowLimit,
                    const std::function<bool(int)>& setUp, const std::function<uchar*(int)>& rowFor,
                    const std::function<void(int, int)>& stripDone, int* rowsDone)
{
    jpeg_decompress_struct info;
    TErrorManager errors;
    create(&info, &errors);
    // Read again after a jump back: kept in memory, not in a register.
    volatile bool ok = false;
    volatile int done = 0;
    if (setjmp(errors.Jump) == 0)
        ok = start(&info, bytes, nullptr, scaleDenom) == TResult::Decoded;
    if (ok)
        ok = setUp(int(info.output_width));
    if (ok) {
        if (setjmp(errors.Jump) == 0)
            decodeRows(&info, rowLimit, rowFor, stripDone, &done);
        else
            ok = false;
    }
    // The rows below rowLimit are not wanted: abort rather than decode them to finish.
    jpeg_destroy_decompress(&info);
    if (rowsDone)
        *rowsDone = done;
    return ok;
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
    QImage strip;
    return decodeInStrips(
        bytes, scaleDenom, rowLimit,
        [&strip](int width) {
            strip = QImage(width, StripRows, QImage::Format_RGB32);
            return !strip.isNull();
        },
        // Strips start at multiples of StripRows.
        [&strip](int row) { return strip.scanLine(row % StripRows); },
        [&strip, &draw](int top, int rows) { draw(strip, top, rows); }, nullptr);
}

bool DecodeRowsInto(const QByteArray& bytes, int scaleDenom, int rowLimit,
                    const std::function<uchar*(int row)>& row, int* rowsDone)
{
    QByteArray scratch;
    return decodeInStrips(
        bytes, scaleDenom, rowLimit,
        [&scratch](int width) {
            scratch = QByteArray(qsizetype(width) * 4, Qt::Uninitialized);
            return true;
        },
        [&scratch, &row](int r) {
            uchar* line = row(r);
            return line ? line : reinterpret_cast<uchar*>(scratch.data());
        },
        nullptr, rowsDone);
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
