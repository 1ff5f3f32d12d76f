#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

// Small rules of the tray icon that need no desktop.

// The icon's tip: the short part of the hint (the text before the first "|"), cut to 63
// characters, never in the middle of a surrogate pair.
QString TrayTipText(const QString& hint);

// The frame shown for a frame index: the index clamped into 0 .. count - 1 (-1, the index
// after creation, shows frame 0). count must be at least 1.
int ClampFrameIndex(int index, int count);

// The frame after index, back to 0 after the last one. count must be at least 1.
int NextFrameIndex(int index, int count);

// Where the menu opens for a right click that a StatusNotifier tray reported at `at` (screen
// coordinates), on a screen with the given geometry and the part of it that panels leave free.
// The point lies in the tray's panel, and a menu started there would open under it (waybar draws
// above every window on sway). A point outside the free part moves to its edge. Where the
// desktop does not say where its panels are (available equals screen), a point within 64 pixels
// of an edge is taken for the middle of a panel along that edge, and the menu starts as far
// again from the edge. Other points stay where they are.
QPoint TrayMenuPoint(QPoint at, const QRect& screen, const QRect& available);
