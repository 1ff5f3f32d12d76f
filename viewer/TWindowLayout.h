#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Geometry of a camera window: the picture area with a 5-pixel margin and three 16-pixel text
// lines below it. The window is frameless, so window size and client size are the same.
namespace TWindowLayout {

constexpr int Margin = 5;
constexpr int LabelHeight = 16;
constexpr int MinimumWidth = 230;
// The placeholder picture's size; the image area takes it whenever no picture is loaded.
constexpr int BlankSide = 256;
// What the window adds below the image area: its top margin and gap, the three lines, the margin.
constexpr int ExtraHeight = 63;
// Largest image area side when nothing else bounds it; absurd stored scales are cut down to it.
constexpr int MaxSide = 100000;

// The image area for a picture of the given natural size at scale percent (integer division,
// truncating); 256 x 256 when no picture is loaded (natural width 0). When the window around
// that area would not fit into maxWindow (the room the screens offer), the area is the largest
// that does, in the picture's proportions; an invalid maxWindow bounds nothing.
QSize ImageAreaSize(int naturalWidth, int naturalHeight, int scalePercent, const QSize& maxWindow = QSize());

struct TLayout
{
    QSize Window;    // whole window, at least MinimumWidth wide
    QRect ImageArea; // centred when the window is wider than the area plus margins
    int LabelLeft = Margin;
    int LabelWidth = 0; // the labels stretch with the window
    int StatusTop = 0;
    int DescriptionTop = 0;
    int DateTimeTop = 0;
};

TLayout ArrangeControls(const QSize& imageArea);

// Where a window of the given size goes: the camera's Left/Top, where 0 on an axis means
// centred on the screen on that axis.
QPoint PlaceWindow(int left, int top, const QSize& screen, const QSize& window);

} // namespace TWindowLayout
