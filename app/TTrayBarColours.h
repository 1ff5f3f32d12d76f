#pragma once

#include <QColor>

// How the tray menu's side bar follows the display's colour depth (bits per pixel): 16 colours
// cannot show it (the colours are then invalid: leave the bar's own), 256 colours show it plain
// navy, anything else the black-to-blue gradient.
struct TTrayBarColours
{
    bool visible = true;
    QColor start;
    QColor end;
};

TTrayBarColours TrayBarColoursForDepth(int depth);

// The gradient end of the tray menu's bar, RGB(156, 182, 214).
QColor TrayBarGradientEnd();
