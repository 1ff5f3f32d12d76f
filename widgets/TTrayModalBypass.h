#pragma once

#include <QAbstractNativeEventFilter>

class QSystemTrayIcon;

// An application-modal dialog blocks input to every other window of the program, and on an
// XEmbed tray the docked icon is one of them: its clicks are dropped, so a user whose dialog went
// behind another window could not get it back from the tray. While such a dialog runs, this
// filter takes the X server's button presses on the docked icon and hands them to the icon as
// the activations Qt would have made of them (left: Trigger, right: Context, middle: MiddleClick),
// queued to the icon's thread. Without a modal dialog it does nothing, and off X11 it is never
// installed: StatusNotifier trays deliver their clicks over D-Bus, which no dialog blocks.
class TTrayModalBypass : public QAbstractNativeEventFilter
{
public:
    // Installs itself on the application when it runs on X11; the icon must outlive it.
    explicit TTrayModalBypass(QSystemTrayIcon* icon);
    ~TTrayModalBypass() override;
    TTrayModalBypass(const TTrayModalBypass&) = delete;
    TTrayModalBypass& operator=(const TTrayModalBypass&) = delete;

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    QSystemTrayIcon* m_icon;
    bool m_installed = false;
    // The X server time of the last press handed on, in milliseconds.
    quint32 m_lastPressTime = 0;
};
