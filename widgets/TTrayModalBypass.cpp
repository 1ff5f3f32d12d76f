#include "widgets/TTrayModalBypass.h"

#include <QApplication>
#include <QSystemTrayIcon>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xinput.h>

namespace {

// Qt's window for a docked icon; it has no public name, only its class.
bool IsTrayIconWindow(xcb_window_t id)
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (const QWidget* widget : widgets) {
        if (qstrcmp(widget->metaObject()->className(), "QSystemTrayIconSys") == 0 &&
            widget->internalWinId() == id)
            return true;
    }
    return false;
}

bool ApplicationModalDialogRuns()
{
    const QWindow* modal = QGuiApplication::modalWindow();
    return modal && modal->modality() == Qt::ApplicationModal;
}

} // namespace

TTrayModalBypass::TTrayModalBypass(QSystemTrayIcon* icon) : m_icon(icon)
{
    if (qApp && QGuiApplication::platformName() == QLatin1String("xcb")) {
        qApp->installNativeEventFilter(this);
        m_installed = true;
    }
}

TTrayModalBypass::~TTrayModalBypass()
{
    if (m_installed && qApp)
        qApp->removeNativeEventFilter(this);
}

bool TTrayModalBypass::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t" || !ApplicationModalDialogRuns() || !m_icon->isVisible())
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    xcb_window_t window = XCB_NONE;
    uint32_t button = 0;
    uint32_t time = 0;
    const uint8_t type = event->response_type & 0x7f;
    // Qt takes the pointer through XInput 2 where the server has it, else as core events.
    if (type == XCB_GE_GENERIC) {
        const auto* press = static_cast<const xcb_input_button_press_event_t*>(message);
        if (press->event_type != XCB_INPUT_BUTTON_PRESS)
            return false;
        window = press->event;
        button = press->detail;
        time = press->time;
    } else if (type == XCB_BUTTON_PRESS) {
        const auto* press = static_cast<const xcb_button_press_event_t*>(message);
        window = press->event;
        button = press->detail;
        time = press->time;
    } else {
        return false;
    }
    QSystemTrayIcon::ActivationReason reason;
    switch (button) {
    case 1:
        reason = QSystemTrayIcon::Trigger;
        break;
    case 2:
        reason = QSystemTrayIcon::MiddleClick;
        break;
    case 3:
        reason = QSystemTrayIcon::Context;
        break;
    default:
        return false;
    }
    // One press may come as several events (for the master pointer and its device, say).
    if (time == m_lastPressTime || !IsTrayIconWindow(window))
        return false;
    m_lastPressTime = time;
    // Queued: the handler may raise windows, which must not happen inside the X event dispatch.
    QMetaObject::invokeMethod(
        m_icon, [icon = m_icon, reason] { emit icon->activated(reason); }, Qt::QueuedConnection);
    // Qt drops the press for the blocked window anyway; let it see it all the same.
    return false;
}
