#pragma once

#include <QWidget>

#include <functional>

class QMenu;

// Said once when the desktop has no notification area to show the tray icon in (GNOME without
// its AppIndicator extension, a bare X server), so that the program does not run unseen: a small
// window that says so and offers what the icon offers, the tray menu and the left click.
// Closing it only hides it; the program goes on running.
class TNoTrayNotice : public QWidget
{
    Q_OBJECT

public:
    // The menu is not owned; bringToFront is what a left click on the icon does.
    TNoTrayNotice(QMenu* menu, std::function<void()> bringToFront, QWidget* parent = nullptr);

private:
    void btnMenuClick();

    QMenu* m_menu;
    std::function<void()> m_bringToFront;
};
