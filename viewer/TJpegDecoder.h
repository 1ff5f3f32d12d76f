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

} // namespace TJpegDecoder
