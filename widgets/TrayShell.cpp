#include "widgets/TrayShell.h"

#include "widgets/BarMenus.h"
#include "widgets/TStatusNotifierItem.h"
#include "widgets/TTrayModalBypass.h"
#include "widgets/TrayIconRules.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <exception>

namespace {

TTrayActivation ActivationOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TTrayActivation::Trigger;
    case QSystemTrayIcon::DoubleClick:
        return TTrayActivation::DoubleClick;
    case QSystemTrayIcon::Context:
        return TTrayActivation::Context;
    case QSystemTrayIcon::MiddleClick:
        return TTrayActivation::MiddleClick;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return TTrayActivation::Unknown;
}

TShiftState KeysHeldNow()
{
    const Qt::KeyboardModifiers modifiers = QGuiApplication::queryKeyboardModifiers();
    TShiftState keys;
    if (modifiers & Qt::ShiftModifier)
        keys |= TShiftFlag::ssShift;
    if (modifiers & Qt::ControlModifier)
        keys |= TShiftFlag::ssCtrl;
    if (modifiers & Qt::AltModifier)
        keys |= TShiftFlag::ssAlt;
    return keys;
}

} // namespace

TTrayIcon::TTrayIcon(QObject* owner)
    : QObject(owner), m_tray(new QSystemTrayIcon(this)),
      m_rules(TTrayMessageRules::TActions{
          [this](TShiftState shift, QPoint pos) {
              if (OnMouseMove)
                  OnMouseMove(this, shift, pos.x(), pos.y());
          },
          [this](TMouseButton button, TShiftState shift, QPoint pos) {
              if (OnMouseDown)
                  OnMouseDown(this, button, shift, pos.x(), pos.y());
          },
          [this](TMouseButton button, TShiftState shift, QPoint pos) {
              if (OnMouseUp)
                  OnMouseUp(this, button, shift, pos.x(), pos.y());
          },
          [this](TMouseButton button, TShiftState shift, QPoint pos) { Click(button, shift, pos); },
          [this] { DblClick(); }})
{
    m_animationTimer.setInterval(m_interval);
    connect(&m_animationTimer, &QTimer::timeout, this, &TTrayIcon::NextFrame);
    connect(m_tray, &QSystemTrayIcon::activated, this,
            qOverload<QSystemTrayIcon::ActivationReason>(&TTrayIcon::HandleActivation));
    m_modalBypass = std::make_unique<TTrayModalBypass>(m_tray);
    // Qt would take this route as well, but without the point of the click; its own icon then
    // stays hidden.
    if (TStatusNotifierItem::WatcherPresent()) {
        m_sni = std::make_unique<TStatusNotifierItem>();
        connect(m_sni.get(), &TStatusNotifierItem::Activated, this,
                qOverload<QSystemTrayIcon::ActivationReason, QPoint>(&TTrayIcon::HandleActivation));
    }
}

TTrayIcon::~TTrayIcon()
{
    m_destroying = true;
    m_enabled = false;
    m_animationTimer.stop();
    m_animated = false;
    RemoveIcon();
}

void TTrayIcon::SetActive(bool value)
{
    if (m_active == value)
        return;
    m_active = value;
    if (m_active)
        AddIcon();
    else
        RemoveIcon();
}

void TTrayIcon::SetHint(const QString& value)
{
    if (m_hint == value)
        return;
    m_hint = value;
    Refresh();
}

void TTrayIcon::SetIcon(const QIcon& value)
{
    m_icon = value;
    Refresh();
}

void TTrayIcon::SetIcons(const QList<QIcon>& value)
{
    m_icons = value;
    Refresh();
}

void TTrayIcon::SetAnimated(bool value)
{
    const bool effective = value && !m_icons.isEmpty();
    if (effective == m_animated)
        return;
    m_animated = effective;
    // The frames advance on the UI thread; they pause while the icon is not shown.
    if (m_animated && m_added)
        m_animationTimer.start();
    else
        m_animationTimer.stop();
    m_frameIndex = 0;
    Refresh();
}

void TTrayIcon::SetInterval(int value)
{
    m_interval = std::clamp(value, 0, 65535);
    // A zero interval would spin the event loop; one millisecond is as fast as it gets.
    m_animationTimer.setInterval(std::max(m_interval, 1));
}

QIcon TTrayIcon::CurrentIcon() const
{
    if (m_animated && !m_icons.isEmpty())
        return m_icons.at(ClampFrameIndex(m_frameIndex, static_cast<int>(m_icons.size())));
    return m_icon;
}

void TTrayIcon::FillRecord()
{
    if (m_sni) {
        m_sni->SetIcon(CurrentIcon());
        m_sni->SetToolTip(TrayTipText(m_hint));
        return;
    }
    m_tray->setIcon(CurrentIcon());
    m_tray->setToolTip(TrayTipText(m_hint));
}

bool TTrayIcon::TrayAvailable() const
{
    return m_sni ? TStatusNotifierItem::HostPresent() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TTrayIcon::AddIcon()
{
    RemoveIcon();
    if (CurrentIcon().isNull())
        return;
    m_rules.ClearPressed();
    FillRecord();
    // Qt keeps a shown icon waiting and docks it once a tray appears, and an item on the bus
    // waits for a watcher in the same way, so handing it over succeeds unless the bus refuses.
    if (m_sni) {
        if (!m_sni->Show())
            return;
    } else {
        m_tray->show();
    }
    m_added = true;
    if (m_animated)
        m_animationTimer.start();
}

void TTrayIcon::RemoveIcon()
{
    m_tray->hide();
    if (m_sni)
        m_sni->Hide();
    m_added = false;
    m_rules.ClearPressed();
    m_animationTimer.stop();
}

void TTrayIcon::Refresh()
{
    if (m_destroying)
        return;
    if (m_icons.isEmpty())
        SetAnimated(false);
    if (m_added) {
        if (CurrentIcon().isNull())
            RemoveIcon();
        else
            FillRecord();
    } else if (m_active) {
        AddIcon();
    }
}

void TTrayIcon::NextFrame()
{
    if (m_destroying || !m_animated || m_icons.isEmpty())
        return;
    m_frameIndex = NextFrameIndex(m_frameIndex, static_cast<int>(m_icons.size()));
    Refresh();
}

bool TTrayIcon::Popup(int x, int y)
{
    QMenu* menu = m_popupMenu;
    if (!m_active || !menu)
        return false;
    const QVariant autoPopup = menu->property("AutoPopup");
    if (autoPopup.isValid() && !autoPopup.toBool())
        return false;
    menu->setProperty("PopupComponent", QVariant::fromValue<QObject*>(this));
    // A capture left over from a drag elsewhere would swallow the menu's clicks.
    if (QWidget* grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    if (auto* barMenu = qobject_cast<TBcBarPopupMenu*>(menu))
        barMenu->Popup(x, y);
    else
        menu->popup(QPoint(x, y));
    return true;
}

bool TTrayIcon::DefaultItemClick()
{
    QMenu* menu = m_popupMenu;
    if (!m_active || !menu)
        return false;
    QAction* item = menu->defaultAction();
    if (!item || !item->isEnabled() || !menu->actions().contains(item))
        return false;
    item->trigger();
    return true;
}

void TTrayIcon::Click(TMouseButton button, TShiftState shift, QPoint pos)
{
    if (button == TMouseButton::mbRight && Popup(pos.x(), pos.y()))
        return;
    if (OnClick)
        OnClick(this, button, shift, pos.x(), pos.y());
}

void TTrayIcon::DblClick()
{
    if (DefaultItemClick())
        return;
    if (OnDblClick)
        OnDblClick(this);
}

void TTrayIcon::HandleMessage(TTrayMouseMessage message)
{
    HandleMessage(message, KeysHeldNow(), QCursor::pos());
}

void TTrayIcon::HandleMessage(TTrayMouseMessage message, TShiftState keys, QPoint pos)
{
    if (!m_enabled)
        return;
    QString error;
    try {
        m_rules.Handle(message, keys, pos);
        return;
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    } catch (...) {
        error = QStringLiteral("Unknown error in a tray icon handler.");
    }
    if (ErrorDisplay)
        ErrorDisplay(error);
    else
        qWarning("%s", qUtf8Printable(error));
}

void TTrayIcon::HandleActivation(QSystemTrayIcon::ActivationReason reason)
{
    for (TTrayMouseMessage message : MessagesForActivation(ActivationOf(reason)))
        HandleMessage(message);
}

void TTrayIcon::HandleActivation(QSystemTrayIcon::ActivationReason reason, QPoint at)
{
    if (reason == QSystemTrayIcon::Context) {
        const QScreen* screen = QGuiApplication::screenAt(at);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
        if (screen)
            at = TrayMenuPoint(at, screen->geometry(), screen->availableGeometry());
    }
    for (TTrayMouseMessage message : MessagesForActivation(ActivationOf(reason)))
        HandleMessage(message, KeysHeldNow(), at);
}
