#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QIcon>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPoint>
#include <QString>
#include <QSystemTrayIcon>

class QDBusArgument;
class QDBusServiceWatcher;

// One picture of the icon as the protocol carries it: ARGB32, each pixel in network byte order.
struct TSniPixmap
{
    int Width = 0;
    int Height = 0;
    QByteArray Pixels;
};
using TSniPixmaps = QList<TSniPixmap>;

// The protocol's tip: an icon (by name or pictures), a title and a longer text.
struct TSniToolTip
{
    QString IconName;
    TSniPixmaps Pixmaps;
    QString Title;
    QString Text;
};

QDBusArgument& operator<<(QDBusArgument& argument, const TSniPixmap& pixmap);
const QDBusArgument& operator>>(const QDBusArgument& argument, TSniPixmap& pixmap);
QDBusArgument& operator<<(QDBusArgument& argument, const TSniToolTip& tip);
const QDBusArgument& operator>>(const QDBusArgument& argument, TSniToolTip& tip);

Q_DECLARE_METATYPE(TSniPixmap)
Q_DECLARE_METATYPE(TSniToolTip)

// The tray icon as a StatusNotifierItem on the D-Bus session bus: what KDE Plasma, GNOME with
// the AppIndicator extension, Xfce's panel and waybar show. Qt has a route of its own for this,
// but it drops the point of the click the tray sends, so a menu could not open next to the icon;
// and the protocol knows no double click, so two activations within the desktop's double-click
// interval count as one (the first is still a click of its own, as on an X11 tray).
//
// The item exports no menu of its own (no "Menu" property): a right click then comes as
// ContextMenu(x, y), and the program opens its own menu there.
//
// UI thread only. When the watcher goes away and comes back (a panel restarting), the item
// registers again by itself.
class TStatusNotifierItem : public QObject
{
    Q_OBJECT

public:
    explicit TStatusNotifierItem(QObject* parent = nullptr);
    ~TStatusNotifierItem() override;
    Q_DISABLE_COPY_MOVE(TStatusNotifierItem)

    // A StatusNotifierWatcher answers on the session bus; false without a session bus.
    static bool WatcherPresent();
    // The watcher says a tray (a host) is registered, so an item can be seen.
    static bool HostPresent();

    void SetIcon(const QIcon& icon);
    void SetToolTip(const QString& tip);
    QString ToolTip() const { return m_toolTip; }
    TSniPixmaps Pixmaps() const { return m_pixmaps; }
    // Puts the item on the bus and registers it with the watcher; false when the bus refused.
    bool Show();
    void Hide();
    bool IsShown() const { return m_shown; }
    // The bus name the item is registered under, such as "org.kde.StatusNotifierItem-123-1".
    QString ServiceName() const { return m_serviceName; }

    // Milliseconds within which a second activation makes a double click; 0 switches them off.
    void SetDoubleClickInterval(int ms) { m_doubleClickInterval = ms; }

    // The tray's calls, with the point it gives (screen coordinates of the click).
    void Activate(QPoint at);
    void SecondaryActivate(QPoint at);
    void ContextMenu(QPoint at);

Q_SIGNALS:
    // The activations as Qt names them, with the point of the click.
    void Activated(QSystemTrayIcon::ActivationReason reason, QPoint at);
    void IconChanged();
    void ToolTipChanged();

private:
    void RegisterWithWatcher();

    QDBusServiceWatcher* m_watcher = nullptr;
    QString m_serviceName;
    QString m_toolTip;
    TSniPixmaps m_pixmaps;
    QElapsedTimer m_lastActivate;
    int m_doubleClickInterval;
    bool m_shown = false;
};
