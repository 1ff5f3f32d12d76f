#pragma once

#include "widgets/TTrayMessageRules.h"

#include <QIcon>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <functional>
#include <memory>

class TStatusNotifierItem;
class TTrayModalBypass;

// One icon in the desktop's notification area, with a tip, click events, an attached popup
// menu and an optional animation through a list of icons.
//
// The icon is shown while Active and while it has a picture (Icon, or the current frame of
// Icons while Animated); it appears as soon as both hold, and on a desktop that has no tray
// yet it docks once a tray appears. The tip is the short part of Hint (before a "|"), cut to 63
// characters.
//
// Tray activations become the button messages of a click (see TTrayMessageRules): a completed
// left click raises OnClick; a completed right click opens PopupMenu at the cursor when one is
// attached (and its AutoPopup property is not false) and raises OnClick otherwise; a double
// click runs the menu's default action when it is enabled and raises OnDblClick otherwise. The
// menu is opened by this component, never handed to the desktop, so it shows as it paints
// itself. On a desktop whose tray speaks the StatusNotifier protocol over D-Bus (a watcher is on
// the session bus when the icon is made), the icon is a TStatusNotifierItem, and the point the
// tray gives with a click stands for the cursor; otherwise it is an X11 (XEmbed) tray icon.
// Events run on the UI thread; an exception from a handler goes to ErrorDisplay and
// the icon goes on handling messages. A handler must not delete the icon (use deleteLater()).
// The animation steps on a UI-thread timer that pauses while the icon is not shown.
class TTrayIcon : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(QIcon Icon READ Icon WRITE SetIcon)
    Q_PROPERTY(bool Animated READ Animated WRITE SetAnimated)
    Q_PROPERTY(int Interval READ Interval WRITE SetInterval)

public:
    explicit TTrayIcon(QObject* owner = nullptr);
    ~TTrayIcon() override;

    bool Active() const { return m_active; }
    void SetActive(bool value);
    // While false, the desktop's messages for the icon are ignored.
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    QString Hint() const { return m_hint; }
    void SetHint(const QString& value);
    QIcon Icon() const { return m_icon; }
    void SetIcon(const QIcon& value);
    QList<QIcon> Icons() const { return m_icons; }
    void SetIcons(const QList<QIcon>& value);
    // Only takes effect while Icons holds at least one icon.
    bool Animated() const { return m_animated; }
    void SetAnimated(bool value);
    // Milliseconds between animation frames, 0 .. 65535.
    int Interval() const { return m_interval; }
    void SetInterval(int value);

    // Not owned; cleared automatically when the menu is destroyed. Null detaches it.
    QMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(QMenu* menu) { m_popupMenu = menu; }

    // Opens the attached menu at a screen point; false (and nothing happens) while inactive,
    // without a menu, or when the menu's AutoPopup is false.
    bool Popup(int x, int y);
    // Runs the attached menu's default action if it is enabled; false when nothing ran.
    bool DefaultItemClick();

    // True while the icon is handed to the desktop.
    bool IsAdded() const { return m_added; }
    int FrameIndex() const { return m_frameIndex; }
    // The picture the desktop shows now (null when nothing would be shown).
    QIcon CurrentIcon() const;

    // One message of the desktop for the icon, with the keys held and the cursor where it is now.
    void HandleMessage(TTrayMouseMessage message);
    // The same with the keys and cursor position given (screen coordinates).
    void HandleMessage(TTrayMouseMessage message, TShiftState keys, QPoint pos);
    // What the desktop reports: each activation is handled as its button messages.
    void HandleActivation(QSystemTrayIcon::ActivationReason reason);
    // The same at a point the tray gave (screen coordinates), instead of the cursor's.
    void HandleActivation(QSystemTrayIcon::ActivationReason reason, QPoint at);

    // True when the icon goes to a StatusNotifier tray (StatusNotifierItem() is then set).
    bool UsesStatusNotifier() const { return m_sni != nullptr; }
    TStatusNotifierItem* StatusNotifierItem() const { return m_sni.get(); }
    // Whether a tray that shows the icon is there now; false on a desktop without one.
    bool TrayAvailable() const;

    // The desktop side of the icon: its visibility, picture and tip follow this component, and
    // its activated() signal feeds HandleActivation. Give it no context menu of its own.
    QSystemTrayIcon* SystemTrayIcon() const { return m_tray; }

    std::function<void(TTrayIcon* sender, TMouseButton button, TShiftState shift, int x, int y)> OnClick;
    std::function<void(TTrayIcon* sender)> OnDblClick;
    std::function<void(TTrayIcon* sender, TShiftState shift, int x, int y)> OnMouseMove;
    std::function<void(TTrayIcon* sender, TMouseButton button, TShiftState shift, int x, int y)> OnMouseDown;
    std::function<void(TTrayIcon* sender, TMouseButton button, TShiftState shift, int x, int y)> OnMouseUp;
    // Shows the text of an exception thrown by a handler; unset, it is written as a warning.
    std::function<void(const QString& message)> ErrorDisplay;

private:
    void AddIcon();
    void RemoveIcon();
    void Refresh();
    void NextFrame();
    void FillRecord();
    void Click(TMouseButton button, TShiftState shift, QPoint pos);
    void DblClick();

    QSystemTrayIcon* m_tray;
    std::unique_ptr<TStatusNotifierItem> m_sni;
    // Keeps the icon's clicks coming while an application-modal dialog runs (X11 only).
    std::unique_ptr<TTrayModalBypass> m_modalBypass;
    QTimer m_animationTimer;
    TTrayMessageRules m_rules;
    QPointer<QMenu> m_popupMenu;
    QIcon m_icon;
    QList<QIcon> m_icons;
    QString m_hint;
    bool m_active = true;
    bool m_enabled = true;
    bool m_animated = false;
    bool m_added = false;
    bool m_destroying = false;
    int m_interval = 150;
    int m_frameIndex = -1;
};
