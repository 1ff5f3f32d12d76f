#pragma once

#include <QWidget>

class TWebCamera;

// What the hidden main form offers the windows it opens. Windows reach the one main form
// through MainForm(); it is null while no main form exists (unit tests of a single window).
class TMainFormServices
{
public:
    virtual ~TMainFormServices() = default;

    // The dialog protocol: hide every registered dialog with the result "cancel".
    virtual void CancelOpenDialogs() = 0;
    // Registering detaches the tray menu and double click until the dialog is unregistered.
    virtual void RegisterDialog(QWidget* dialog) = 0;
    virtual void UnregisterDialog(QWidget* dialog) = 0;

    // Opens a window for the camera and takes ownership of the record.
    virtual void OpenCameraWindow(TWebCamera* camera) = 0;
    // Takes a camera window off the list; it is destroyed once its close handling has returned.
    virtual void RemoveCameraWindow(QWidget* window) = 0;

    // Rebuild the tray's favourites sub-menu, or both registry-tree sub-menus.
    virtual void BuildFavoritesMenu() = 0;
    virtual void RebuildMenus() = 0;

    // Applies the current language to the main form, reloads the messages, then applies it
    // to every open dialog, oldest first. Not pure, so stand-ins in window tests need not care.
    virtual void ReapplyLanguage() {}
};

inline TMainFormServices* g_mainFormServices = nullptr;

inline TMainFormServices* MainForm()
{
    return g_mainFormServices;
}

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
