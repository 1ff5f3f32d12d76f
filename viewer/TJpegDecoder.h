#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

// JPEG straight through libjpeg(-turbo) into a 32-bit image: a camera refresh spends most of its
// time here, and the direct way saves Qt's intermediate steps.
namespace TJpegDecoder {

enum class TResult
{
    Decoded,
    Refused,    // not a JPEG libjpeg can read, or sizeAllowed said no
    Unsupported // a colour space this path does not convert (CMYK): use another decoder
};

// sizeAllowed is asked with the size from the header before any pixel memory is taken. scaleDenom
// 2, 4 or 8 decodes at that fraction of the size directly (libjpeg skips the finer detail), 1 at
// full size; natural, when given, receives the size the header announces.
TResult Decode(const QByteArray& bytes, const std::function<bool(const QSize&)>& sizeAllowed, QImage* image,
               int scaleDenom = 1, QSize* natural = nullptr);

// What a picture drawn straight from its bytes needs before it is shown: the header read, the
// limits asked, and the decompression started at 1/scaleDenom (a decode stops at the same errors
// there), without a row decoded or pixel memory taken. output receives the size rows come out at.
TResult Probe(const QByteArray& bytes, const std::function<bool(const QSize&)>& sizeAllowed, int scaleDenom,
              QSize* natural, QSize* output);

// Rows to draw: decodes the first rowLimit rows at 1/scaleDenom, StripRows at a time, and hands
// each strip to draw with the row it starts at and the number of its rows decoded (the last strip
// may have fewer); the strip is valid during the call only. A frame
// of the whole picture is never held. False when libjpeg gave up; the strips drawn until then
// stay drawn.
constexpr int StripRows = 16;
bool DecodeStrips(const QByteArray& bytes, int scaleDenom, int rowLimit,
                  const std::function<void(const QImage& strip, int top, int rows)>& draw);

// Rows written in place: as DecodeStrips, but row r of the output goes straight to row(r), a line
// of output width pixels in Format_RGB32's byte order, or nowhere when row(r) is null (a row above
// the part wanted, decoded only to reach the rows below). rowsDone receives the rows decoded.
bool DecodeRowsInto(const QByteArray& bytes, int scaleDenom, int rowLimit,
                    const std::function<uchar*(int row)>& row, int* rowsDone);

} // namespace TJpegDecoder
