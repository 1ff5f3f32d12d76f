#pragma once

#include <memory>

class QWidget;
class TWebCamera;

// What the hidden main form offers the windows and flows it opens. The main form hands itself
// to them; a window made without one (tests of a single window) simply skips these calls.
class TMainFormServices
{
public:
    virtual ~TMainFormServices() = default;

    // The dialog protocol: hide every registered dialog with the result "cancel".
    virtual void CancelOpenDialogs() = 0;
    // Registering detaches the tray menu and double click until the dialog is unregistered.
    virtual void RegisterDialog(QWidget* dialog) = 0;
    virtual void UnregisterDialog(QWidget* dialog) = 0;

    // Opens a window for the camera; the window owns the record from then on.
    virtual void OpenCameraWindow(std::unique_ptr<TWebCamera> camera) = 0;
    // Takes a camera window off the list; it is destroyed once its close handling has returned.
    virtual void RemoveCameraWindow(QWidget* window) = 0;

    // Rebuild the tray's favourites sub-menu, or both registry-tree sub-menus.
    virtual void BuildFavoritesMenu() = 0;
    virtual void RebuildMenus() = 0;

    // Applies the current language to the main form, reloads the messages, then applies it
    // to every open dialog, oldest first. Not pure, so stand-ins in window tests need not care.
    virtual void ReapplyLanguage() {}
};
