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
enum TIndex
{
    Exit = 0,
    Options = 1,
    About = 2,
    WebPage = 3,
    GlobeWithPage = 4,
    TextDocument = 5,
    Window = 6,
    LightningBolt = 7,
    Table = 8,
    LightBulb = 9,
    NewMarker = 10,
    Count = 11
};

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
