#pragma once

// What the X11 window manager offers, read from the root window's _NET_SUPPORTED list.
namespace TX11WindowManager {

// True when the program runs on X11 and the window manager lists the atom (for example
// "_NET_WM_STATE_ABOVE"); false off X11, without a window manager or without the atom.
bool Supports(const char* atomName);

// True when camera windows are best left unmanaged (override-redirect): on XWayland under a
// compositor whose window manager can neither keep a window above others nor let it place itself
// (sway and other wlroots compositors list no _NET_WM_STATE_ABOVE). Unmanaged windows land where
// they are put, move when the program moves them, and the compositor draws them above all others.
bool CameraWindowsUnmanaged();

} // namespace TX11WindowManager
