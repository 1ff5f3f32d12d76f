#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <functional>

// PNG straight through libpng into a 32-bit image. Qt's reader lets libpng print its errors on
// the terminal ("libpng error: Not a PNG file" for every error page kept as a .png); here they
// and the warnings go to the program's trace as "codec" lines.
namespace TPngDecoder {

// False when the bytes are not a PNG libpng can read or sizeAllowed (asked with the size from
// the header, before any pixel memory is taken) said no; image is then null.
bool Decode(const QByteArray& bytes, const std::function<bool(const QSize&)>& sizeAllowed, QImage* image);

} // namespace TPngDecoder
