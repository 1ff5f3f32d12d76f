#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

// The pictures of the tray menu (the image list ImageList1) and the program's icon, painted in
// code so they scale cleanly and need no files. The images need no display; ProgramIcon() needs
// the application object.
namespace TMenuImages {

// Indexes into ImageList1. LightningBolt and Table are in the list but on no fixed item;
// NewMarker marks catalog cameras never opened.
// Plain numbers, as menu items carry them (TBcBarPopupMenu::ImageIndex).
constexpr int Exit = 0;
constexpr int Options = 1;
constexpr int About = 2;
constexpr int WebPage = 3;
constexpr int GlobeWithPage = 4;
constexpr int TextDocument = 5;
constexpr int Window = 6;
constexpr int LightningBolt = 7;
constexpr int Table = 8;
constexpr int LightBulb = 9;
constexpr int NewMarker = 10;
constexpr int Count = 11;

constexpr int ImageSize = 16;

// One 16 × 16 picture with a transparent background; a null image for an index out of range.
QImage MenuImage(int index);
// ImageList1: the Count pictures in index order.
QList<QImage> ImageList();

// The program icon (a camera) painted at size × size pixels.
QImage ProgramIconImage(int size);
// The program icon at 16, 22, 24, 32, 48, 64, 128 and 256 pixels, for trays of any size.
QIcon ProgramIcon();

} // namespace TMenuImages
