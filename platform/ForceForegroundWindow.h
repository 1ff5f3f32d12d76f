#pragma once

#include <QWidget>

// Brings a shown window to the front and gives it the focus; hidden windows stay as they are.
inline void ForceForegroundWindow(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    window->raise();
    // An unmanaged window (a camera window on XWayland under sway) that took the X focus would
    // lose it to the compositor again at once, and with it the program's focus: an open menu
    // would close as it appears.
    if (!window->windowFlags().testFlag(Qt::X11BypassWindowManagerHint))
        window->activateWindow();
}
