#pragma once

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
