#pragma once

#include <QPoint>

class QWidget;

// Where a shown top-level window really is on the screen. Under X11 with a reparenting window
// manager (openbox, for one), Qt can lose track of a frameless tool window's position right after
// mapping it and then report (0, 0); its next plain resize moves the window there. This asks the X
// server instead; elsewhere it is the widget's own position.
QPoint TrueWindowPosition(const QWidget* window);

// Whether positions come from an X server. While the window manager is still taking a newly mapped
// window in, even the X server briefly reports the window at the origin of its new frame, so
// callers should rely on the position they asked for until the window has settled.
bool PositionsFromX11();
