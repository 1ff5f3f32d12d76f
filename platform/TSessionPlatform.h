#pragma once

#include <QProcessEnvironment>
#include <QString>

// The Qt platform the program asks for on this session; empty leaves the choice to Qt.
//
// On a Wayland session that also runs XWayland (WAYLAND_DISPLAY and DISPLAY both set) it is
// "xcb": Wayland lets no program place its own windows, keep them above others or open a menu
// next to a tray icon it did not draw, and the camera windows and the tray menu rely on all
// three. Through XWayland the compositor treats them as X11 windows, which GNOME and KDE Plasma
// place and stack as asked. A QT_QPA_PLATFORM the user set is always kept.
QString ChooseQtPlatform(const QProcessEnvironment& environment);
