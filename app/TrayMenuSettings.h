#pragma once

class QWidget;
class TBcBarPopupMenu;

// The settings of the program's tray menu: a 21-pixel bar from black to RGB(156, 182, 214) with
// "Vrel Kestro Software" in white bold Times New Roman (19-pixel characters), separator and item
// font MS Sans Serif (11-pixel characters); everything else as created.
void ApplyTrayMenuSettings(TBcBarPopupMenu* menu);

// Fits the tray menu's bar to a colour depth in bits per pixel: hidden at 4, plain navy at 8,
// black to RGB(156, 182, 214) otherwise. Meant for the menu's aboutToShow.
void ApplyTrayBarColorDepth(TBcBarPopupMenu* menu, int depth);

// Bits per pixel of the screen the widget is on (the primary screen without a widget).
int GetColorDepth(const QWidget* widget = nullptr);
