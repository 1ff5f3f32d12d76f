#pragma once

#include <QWidget>

// Brings a shown window to the front and gives it the focus; hidden windows stay as they are.
inline void ForceForegroundWindow(QWidget* window)
{
    if (!window || !window->isVisible())
        return;
    window->raise();
    window->activateWindow();
}
