#include "widgets/TStatusNotifierItem.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QImage>
#include <QStyleHints>
#include <QtEndian>

namespace {

const QString WatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString WatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString ItemPath = QStringLiteral("/StatusNotifierItem");

// The sizes trays ask for most; each is drawn from the icon so no tray has to scale it.
constexpr int PixmapSizes[] = {16, 22, 24, 32, 48, 64};

void RegisterTypes()
{
    static const bool done = [] {
        qDBusRegisterMetaType<TSniPixmap>();
        qDBusRegisterMetaType<TSniPixmaps>();
        qDBusRegisterMetaType<TSniToolTip>();
        return true;
    }();
    Q_UNUSED(done);
}

QVariant WatcherProperty(const char* name)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()->isServiceRegistered(WatcherService))
        return {};
    QDBusMessage call = QDBusMessage::createMethodCall(WatcherService, WatcherPath,
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << WatcherService << QString::fromLatin1(name);
    const QDBusReply<QDBusVariant> reply = bus.call(call, QDBus::Block, 2000);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

TSniPixmaps PixmapsOf(const QIcon& icon)
{
    TSniPixmaps pixmaps;
    if (icon.isNull())
        return pixmaps;
    for (int size : PixmapSizes) {
        const QImage image = icon.pixmap(QSize(size, size)).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        TSniPixmap pixmap;
        pixmap.Width = image.width();
        pixmap.Height = image.height();
        pixmap.Pixels.resize(static_cast<qsizetype>(image.width()) * image.height() * 4);
        uchar* out = reinterpret_cast<uchar*>(pixmap.Pixels.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto* line = reinterpret_cast<const quint32*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, out += 4)
                qToBigEndian(line[x], out);
        }
        pixmaps.append(pixmap);
    }
    return pixmaps;
}

} // namespace

QDBusArgument& operator<<(QDBusArgument& argument, const TSniPixmap& pixmap)
{
    argument.beginStructure();
    argument << pixmap.Width << pixmap.Height << pixmap.Pixels;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TSniPixmap& pixmap)
{
    argument.beginStructure();
    argument >> pixmap.Width >> pixmap.Height >> pixmap.Pixels;
    argument.endStructure();
    return argument;
}

QDBusArgument& operator<<(QDBusArgument& argument, const TSniToolTip& tip)
{
    argument.beginStructure();
    argument << tip.IconName << tip.Pixmaps << tip.Title << tip.Text;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, TSniToolTip& tip)
{
    argument.beginStructure();
    argument >> tip.IconName >> tip.Pixmaps >> tip.Title >> tip.Text;
    argument.endStructure();
    return argument;
}

// The org.kde.StatusNotifierItem interface of the item, as trays read and call it.
class TStatusNotifierAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ Category)
    Q_PROPERTY(QString Id READ Id)
    Q_PROPERTY(QString Title READ Title)
    Q_PROPERTY(QString Status READ Status)
    Q_PROPERTY(int WindowId READ WindowId)
    Q_PROPERTY(QString IconName READ IconName)
    Q_PROPERTY(TSniPixmaps IconPixmap READ IconPixmap)
    Q_PROPERTY(QString OverlayIconName READ IconName)
    Q_PROPERTY(TSniPixmaps OverlayIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionIconName READ IconName)
    Q_PROPERTY(TSniPixmaps AttentionIconPixmap READ NoPixmaps)
    Q_PROPERTY(QString AttentionMovieName READ IconName)
    Q_PROPERTY(TSniToolTip ToolTip READ ToolTip)
    Q_PROPERTY(bool ItemIsMenu READ ItemIsMenu)

public:
    explicit TStatusNotifierAdaptor(TStatusNotifierItem* item) : QDBusAbstractAdaptor(item), m_item(item)
    {
        connect(item, &TStatusNotifierItem::IconChanged, this, &TStatusNotifierAdaptor::NewIcon);
        connect(item, &TStatusNotifierItem::ToolTipChanged, this, &TStatusNotifierAdaptor::NewToolTip);
        connect(item, &TStatusNotifierItem::ToolTipChanged, this, &TStatusNotifierAdaptor::NewTitle);
    }

    QString Category() const { return QStringLiteral("ApplicationStatus"); }
    QString Id() const { return QStringLiteral("vrel-web-camera"); }
    QString Title() const
    {
        return m_item->ToolTip().isEmpty() ? QCoreApplication::applicationName() : m_item->ToolTip();
    }
    QString Status() const { return QStringLiteral("Active"); }
    int WindowId() const { return 0; }
    // Trays would look a name up in their icon theme before taking the pictures.
    QString IconName() const { return QString(); }
    TSniPixmaps IconPixmap() const { return m_item->Pixmaps(); }
    TSniPixmaps NoPixmaps() const { return {}; }
    TSniToolTip ToolTip() const { return TSniToolTip{QString(), {}, m_item->ToolTip(), QString()}; }
    bool ItemIsMenu() const { return false; }

public Q_SLOTS:
    void ContextMenu(int x, int y) { m_item->ContextMenu(QPoint(x, y)); }
    void Activate(int x, int y) { m_item->Activate(QPoint(x, y)); }
    void SecondaryActivate(int x, int y) { m_item->SecondaryActivate(QPoint(x, y)); }
    void Scroll(int delta, const QString& orientation)
    {
        Q_UNUSED(delta);
        Q_UNUSED(orientation);
    }

Q_SIGNALS:
    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString& status);

private:
    TStatusNotifierItem* m_item;
};

TStatusNotifierItem::TStatusNotifierItem(QObject* parent)
    : QObject(parent), m_doubleClickInterval(QGuiApplication::styleHints()->mouseDoubleClickInterval())
{
    RegisterTypes();
    new TStatusNotifierAdaptor(this);
    static int count = 0;
    m_serviceName = QStringLiteral("org.kde.StatusNotifierItem-%1-%2")
                        .arg(QCoreApplication::applicationPid())
                        .arg(++count);
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        m_watcher =
            new QDBusServiceWatcher(WatcherService, bus, QDBusServiceWatcher::WatchForRegistration, this);
        connect(m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
            if (m_shown)
                RegisterWithWatcher();
        });
    }
}

TStatusNotifierItem::~TStatusNotifierItem()
{
    Hide();
}

bool TStatusNotifierItem::WatcherPresent()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface()->isServiceRegistered(WatcherService);
}

bool TStatusNotifierItem::HostPresent()
{
    return WatcherProperty("IsStatusNotifierHostRegistered").toBool();
}

void TStatusNotifierItem::SetIcon(const QIcon& icon)
{
    m_pixmaps = PixmapsOf(icon);
    Q_EMIT IconChanged();
}

void TStatusNotifierItem::SetToolTip(const QString& tip)
{
    if (tip == m_toolTip)
        return;
    m_toolTip = tip;
    Q_EMIT ToolTipChanged();
}

bool TStatusNotifierItem::Show()
{
    if (m_shown)
        return true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(ItemPath, this, QDBusConnection::ExportAdaptors))
        return false;
    if (!bus.registerService(m_serviceName)) {
        bus.unregisterObject(ItemPath);
        return false;
    }
    m_shown = true;
    RegisterWithWatcher();
    return true;
}

void TStatusNotifierItem::Hide()
{
    if (!m_shown)
        return;
    m_shown = false;
    // Trays drop an item whose name leaves the bus.
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_serviceName);
    bus.unregisterObject(ItemPath);
}

void TStatusNotifierItem::RegisterWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(WatcherService, WatcherPath, WatcherService,
                                                       QStringLiteral("RegisterStatusNotifierItem"));
    call << m_serviceName;
    // No reply awaited: a watcher that is slow to answer must not hold up the program.
    QDBusConnection::sessionBus().send(call);
}

void TStatusNotifierItem::Activate(QPoint at)
{
    if (m_doubleClickInterval > 0 && m_lastActivate.isValid() &&
        m_lastActivate.elapsed() < m_doubleClickInterval) {
        m_lastActivate.invalidate();
        Q_EMIT Activated(QSystemTrayIcon::DoubleClick, at);
        return;
    }
    m_lastActivate.start();
    Q_EMIT Activated(QSystemTrayIcon::Trigger, at);
}

void TStatusNotifierItem::SecondaryActivate(QPoint at)
{
    m_lastActivate.invalidate();
    Q_EMIT Activated(QSystemTrayIcon::MiddleClick, at);
}

void TStatusNotifierItem::ContextMenu(QPoint at)
{
    m_lastActivate.invalidate();
    Q_EMIT Activated(QSystemTrayIcon::Context, at);
}

#include "TStatusNotifierItem.moc"
