#pragma once

#include <QImage>

// The 32 × 32 pictures of the options window's pages, painted in code in the manner of the tray
// menu's pictures, on a transparent background. They need no display.
namespace TPagePictures {

constexpr int Size = 32;

// A settings window with two ticked boxes and a spanner across its corner.
QImage General();
// A camera with a gold star on its shoulder.
QImage Favorites();

} // namespace TPagePictures
