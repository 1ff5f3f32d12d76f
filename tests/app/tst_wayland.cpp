#include "widgets/TStatusNotifierItem.h"

#include <QBuffer>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

#include "tests/support/TTraceCapture.h"

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
const QString Regedit = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");
constexpr int WaitMs = 20000;
const QString Watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString ItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QColor Orange(230, 120, 30);
// The right end of waybar's bar, where its tray puts the icons.
const QRect TrayArea(1180, 0, 100, 30);

QByteArray cameraPicture()
{
    QImage image(160, 120, QImage::Format_RGB32);
    image.fill(Orange);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    // Above the program's 512-byte floor for a picture.
    return bytes + QByteArray(600, '\0');
}

bool near(QRgb pixel, const QColor& wanted, int tolerance)
{
    return qAbs(qRed(pixel) - wanted.red()) <= tolerance &&
           qAbs(qGreen(pixel) - wanted.green()) <= tolerance &&
           qAbs(qBlue(pixel) - wanted.blue()) <= tolerance;
}

int changedPixels(const QImage& before, const QImage& after)
{
    int count = 0;
    for (int y = 0; y < std::min(before.height(), after.height()); ++y)
        for (int x = 0; x < std::min(before.width(), after.width()); ++x)
            if (!near(before.pixel(x, y), after.pixel(x, y), 16))
                ++count;
    return count;
}

QVariant busProperty(const QString& service, const QString& path, const QString& interface,
                     const QString& name)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, path, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << interface << name;
    const QDBusReply<QDBusVariant> reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

} // namespace

// A Wayland session as users of sway meet it: the headless compositor with XWayland, waybar's
// tray (a StatusNotifier host), and the program started from it with WAYLAND_DISPLAY and
// DISPLAY set. The tray's clicks are the D-Bus calls waybar makes (the headless compositor has
// no input devices); what appears is checked on grim's screenshots. Runs as an ordinary user in
// a D-Bus session of its own (tests/app/wayland_session.sh): sway refuses root.
class tst_wayland : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void iconShowsInTheTrayWithItsTip();
    void cameraWindowKeepsItsPlaceStaysOnTopAndDrags();
    void clicksDoWhatTheyDoOnAnX11Tray();
    void rightClickOpensTheSideBarMenuBelowTheIcon();
    void doubleClickOpensTheOptionsWindow();
    void exitInTheMenuEndsTheProgram();

private:
    QProcessEnvironment SessionEnvironment() const;
    std::unique_ptr<QProcess> Start(const QString& program, const QStringList& arguments,
                                    const QProcessEnvironment& environment);
    QString Run(const QString& program, const QStringList& arguments, int* exitCode = nullptr);
    QStringList Lines();
    QStringList LinesSince(int first) { return Lines().mid(first); }
    bool SawSince(int first, const QString& line) { return LinesSince(first).contains(line); }
    QImage Screenshot(const QString& name);
    // Screenshots until one shows what is wanted or the time is up; the last one is returned.
    // (QTRY_* count their own steps, not the time a screenshot takes.)
    QImage ShotShowing(const QString& name, const std::function<bool(const QImage&)>& wanted, bool* shown);
    // What waybar sends for a click: Activate, SecondaryActivate or ContextMenu at a point.
    void Call(const QString& method, QPoint at);
    QRegularExpressionMatch MenuOpened(int first);
    QRect MenuRect(int first);
    bool ProgramRuns() const { return m_program && m_program->state() == QProcess::Running; }
    // Escape on the XWayland display: the popup menu and the dialogs hold its keyboard.
    void PressEscape();

    QDir m_work;
    QString m_runtime;
    QString m_waylandDisplay;
    QString m_x11Display;
    QString m_swaySocket;
    QString m_itemService;
    QTcpServer m_server;
    QByteArray m_picture;
    std::unique_ptr<QProcess> m_sway;
    std::unique_ptr<QProcess> m_waybar;
    std::unique_ptr<QProcess> m_program;
    QString m_output;
    QImage m_trayBefore;
    QElapsedTimer m_lastActivate;
    // The middle of the icon in waybar's tray at the top right.
    QPoint m_icon{1262, 15};
};

QProcessEnvironment tst_wayland::SessionEnvironment() const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("XDG_RUNTIME_DIR", m_runtime);
    env.insert("HOME", m_work.filePath("home"));
    env.insert("XDG_CONFIG_HOME", m_work.filePath("config"));
    env.insert("XDG_DATA_HOME", m_work.filePath("data"));
    env.insert("XDG_CACHE_HOME", m_work.filePath("cache"));
    env.insert("TMPDIR", m_work.filePath("tmp"));
    env.insert("VREL_USER_REGISTRY", m_work.filePath("user.db"));
    env.insert("VREL_MACHINE_REGISTRY", m_work.filePath("machine.db"));
    env.insert("VREL_WEB_HOST", "127.0.0.1:1");
    env.insert("VREL_SHELL_OPEN", "off");
    env.insert("VREL_TRACE", "1");
    env.remove("VREL_AUTO_ANSWER");
    if (!m_waylandDisplay.isEmpty()) {
        env.insert("WAYLAND_DISPLAY", m_waylandDisplay);
        env.insert("SWAYSOCK", m_swaySocket);
    }
    if (!m_x11Display.isEmpty())
        env.insert("DISPLAY", m_x11Display);
    return env;
}

std::unique_ptr<QProcess> tst_wayland::Start(const QString& program, const QStringList& arguments,
                                             const QProcessEnvironment& environment)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(program, arguments);
    process->waitForStarted(5000);
    return process;
}

QString tst_wayland::Run(const QString& program, const QStringList& arguments, int* exitCode)
{
    QProcess process;
    process.setProcessEnvironment(SessionEnvironment());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    process.waitForFinished(10000);
    if (exitCode)
        *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAll());
}

QStringList tst_wayland::Lines()
{
    if (m_program)
        m_output += QString::fromUtf8(m_program->readAll());
    return ProgramOutputLines(m_output);
}

QImage tst_wayland::Screenshot(const QString& name)
{
    const QString path = m_work.filePath(name);
    QFile::remove(path);
    Run("grim", {path});
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

QImage tst_wayland::ShotShowing(const QString& name, const std::function<bool(const QImage&)>& wanted,
                                bool* shown)
{
    QElapsedTimer clock;
    clock.start();
    QImage shot;
    do {
        shot = Screenshot(name);
        *shown = !shot.isNull() && wanted(shot);
        if (*shown)
            break;
        QTest::qWait(100);
    } while (clock.elapsed() < WaitMs);
    return shot;
}

void tst_wayland::Call(const QString& method, QPoint at)
{
    // Two activations within the double-click interval make a double click; separate clicks
    // are paced as a person's are.
    if (method == QLatin1String("Activate")) {
        if (m_lastActivate.isValid() && m_lastActivate.elapsed() < 600)
            QTest::qWait(static_cast<int>(600 - m_lastActivate.elapsed()));
        m_lastActivate.start();
    }
    QDBusMessage call = QDBusMessage::createMethodCall(m_itemService, QStringLiteral("/StatusNotifierItem"),
                                                       ItemInterface, method);
    call << at.x() << at.y();
    QDBusConnection::sessionBus().send(call);
}

QRegularExpressionMatch tst_wayland::MenuOpened(int first)
{
    static const QRegularExpression opened(R"(^menu-open (-?\d+),(-?\d+) (\d+)x(\d+) depth (\d+)$)");
    for (const QString& line : LinesSince(first)) {
        QRegularExpressionMatch m = opened.match(line);
        if (m.hasMatch())
            return m;
    }
    return {};
}

QRect tst_wayland::MenuRect(int first)
{
    const QRegularExpressionMatch m = MenuOpened(first);
    return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt());
}

void tst_wayland::PressEscape()
{
    Run("xdotool", {"key", "Escape"});
}

void tst_wayland::initTestCase()
{
    for (const char* tool : {"sway", "swaymsg", "waybar", "grim", "xdotool", "Xwayland"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh)").arg(tool)));
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run me inside dbus-run-session");
    QVERIFY2(!QDBusConnection::sessionBus().interface()->isServiceRegistered(Watcher),
             "this D-Bus session already has a tray");
    qDBusRegisterMetaType<TSniPixmap>();
    qDBusRegisterMetaType<TSniPixmaps>();
    qDBusRegisterMetaType<TSniToolTip>();

    const QString work = qEnvironmentVariable("VREL_WORK");
    QVERIFY2(!work.isEmpty() && QDir(work).exists(), "VREL_WORK names no folder");
    m_work = QDir(work);
    for (const char* folder : {"runtime", "home", "config", "data", "cache", "tmp"})
        QVERIFY(m_work.mkpath(folder));
    m_runtime = m_work.filePath("runtime");
    QFile::setPermissions(m_runtime,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    m_picture = cameraPicture();
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->peek(8192).contains("\r\n\r\n"))
                    return;
                socket->readAll();
                socket->write("HTTP/1.0 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                              QByteArray::number(m_picture.size()) + "\r\n\r\n" + m_picture);
                socket->disconnectFromHost();
            });
        }
    });
    QVERIFY(m_server.listen(QHostAddress::LocalHost));

    // One favourite that opens at start-up, stays on top and is stored at 100,200.
    QFile reg(m_work.filePath("favourites.reg"));
    QVERIFY(reg.open(QIODevice::WriteOnly));
    reg.write(QStringLiteral(
                  "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\n"
                  "\"ShowTipsOnStartup\"=dword:00000000\n\"CheckForUpdatesOnStartup\"=dword:00000000\n\n"
                  "[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My "
                  "Favorites\\Harbour]\n\"URL\"=\"http://127.0.0.1:%1/harbour.png\"\n"
                  "\"UpdateInterval\"=dword:00000000\n\"Scale\"=dword:00000064\n"
                  "\"RunOnStartup\"=dword:00000001\n\"AlwaysOnTop\"=dword:00000001\n"
                  "\"Left\"=dword:00000064\n\"Top\"=dword:000000c8\n")
                  .arg(m_server.serverPort())
                  .toLatin1());
    reg.close();
    int code = -1;
    const QString said = Run(Regedit, {"import", reg.fileName()}, &code);
    QVERIFY2(code == 0, qPrintable(said));

    // The headless backend with the software renderer; XWayland starts with sway.
    QFile config(m_work.filePath("sway.conf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    // The other program's window of the stay-on-top check floats, as dialogs and tool windows do.
    config.write("output HEADLESS-1 resolution 1280x800\nxwayland enable\n"
                 "for_window [class=\"Xmessage\"] floating enable\n");
    config.close();
    QProcessEnvironment swayEnv = SessionEnvironment();
    swayEnv.insert("WLR_BACKENDS", "headless");
    swayEnv.insert("WLR_LIBINPUT_NO_DEVICES", "1");
    swayEnv.insert("WLR_RENDERER", "pixman");
    m_sway = Start("sway", {"-c", config.fileName()}, swayEnv);
    const QDir runtime(m_runtime);
    QTRY_VERIFY_WITH_TIMEOUT(!runtime.entryList({"wayland-?"}, QDir::System).isEmpty() &&
                                 !runtime.entryList({"sway-ipc.*"}, QDir::System).isEmpty(),
                             WaitMs);
    m_waylandDisplay = runtime.entryList({"wayland-?"}, QDir::System).first();
    m_swaySocket = runtime.filePath(runtime.entryList({"sway-ipc.*"}, QDir::System).first());
    // The X display sway gives its XWayland is only in the environment of what sway starts.
    const QString displayFile = m_work.filePath("display");
    Run("swaymsg", {QStringLiteral("exec 'echo $DISPLAY > %1'").arg(displayFile)});
    QTRY_VERIFY_WITH_TIMEOUT(QFile(displayFile).size() > 0, WaitMs);
    QFile display(displayFile);
    QVERIFY(display.open(QIODevice::ReadOnly));
    m_x11Display = QString::fromLatin1(display.readAll()).trimmed();
    QVERIFY(m_x11Display.startsWith(':'));

    QFile bar(m_work.filePath("waybar.json"));
    QVERIFY(bar.open(QIODevice::WriteOnly));
    bar.write(R"({"layer": "top", "position": "top", "height": 30, "modules-right": ["tray"]})");
    bar.close();
    m_waybar = Start("waybar", {"-c", bar.fileName()}, SessionEnvironment());
    QTRY_VERIFY_WITH_TIMEOUT(
        busProperty(Watcher, "/StatusNotifierWatcher", Watcher, "IsStatusNotifierHostRegistered").toBool(),
        WaitMs);
    // Before the program: no icon in the tray, so the icon check below can fail.
    bool shown = false;
    const QImage before = ShotShowing(
        "tst_wayland-before.png", [](const QImage&) { return true; }, &shown);
    QVERIFY2(shown, "grim took no screenshot");
    m_trayBefore = before.copy(TrayArea);

    // Started as from the session: WAYLAND_DISPLAY and DISPLAY set, no QT_QPA_PLATFORM.
    m_program = Start(Program, {"-start"}, SessionEnvironment());
    QTRY_VERIFY_WITH_TIMEOUT(Lines().contains("step event-loop") || !ProgramRuns(), WaitMs);
    QVERIFY2(Lines().contains("step event-loop"), qPrintable(m_output));
    QVERIFY2(Lines().contains("step platform xcb"), qPrintable(m_output));
    QTRY_VERIFY_WITH_TIMEOUT(Lines().contains("status Harbour: Status: Done"), WaitMs);
    QStringList items;
    QTRY_VERIFY_WITH_TIMEOUT(
        !(items = busProperty(Watcher, "/StatusNotifierWatcher", Watcher, "RegisteredStatusNotifierItems")
                      .toStringList())
             .isEmpty(),
        WaitMs);
    QCOMPARE(items.size(), 1);
    m_itemService = items.first().section('/', 0, 0);
}

void tst_wayland::cleanupTestCase()
{
    for (auto* process : {&m_program, &m_waybar, &m_sway}) {
        if (*process && (*process)->state() != QProcess::NotRunning) {
            (*process)->terminate();
            if (!(*process)->waitForFinished(5000)) {
                (*process)->kill();
                (*process)->waitForFinished(5000);
            }
        }
        process->reset();
    }
    m_server.close();
}

void tst_wayland::iconShowsInTheTrayWithItsTip()
{
    QVERIFY(ProgramRuns());
    const QVariant tipValue = busProperty(m_itemService, "/StatusNotifierItem", ItemInterface, "ToolTip");
    QVERIFY(tipValue.canConvert<QDBusArgument>());
    const auto tip = qdbus_cast<TSniToolTip>(tipValue.value<QDBusArgument>());
    QCOMPARE(tip.Title, QString("Vrel Web Camera"));
    QCOMPARE(busProperty(m_itemService, "/StatusNotifierItem", ItemInterface, "Title").toString(),
             QString("Vrel Web Camera"));
    // No menu of its own: waybar then sends ContextMenu for a right click.
    QVERIFY(!busProperty(m_itemService, "/StatusNotifierItem", ItemInterface, "Menu").isValid());

    // The icon in waybar's tray at the top right: that end of the bar is no longer empty.
    bool shown = false;
    ShotShowing(
        "tst_wayland-start.png",
        [this](const QImage& shot) { return changedPixels(m_trayBefore, shot.copy(TrayArea)) > 50; }, &shown);
    QVERIFY2(shown, "no icon in the tray");
}

void tst_wayland::cameraWindowKeepsItsPlaceStaysOnTopAndDrags()
{
    QVERIFY(ProgramRuns());
    // The picture of Harbour, stored at 100,200: its window is 230 pixels wide (the status lines),
    // the 160 pixels of the picture centred in it.
    const QPoint stored(100 + 115, 200 + 60);
    bool shown = false;
    QImage shot = ShotShowing(
        "tst_wayland-camera.png", [&](const QImage& image) { return near(image.pixel(stored), Orange, 30); },
        &shown);
    QVERIFY2(shown, qPrintable(QColor(shot.pixel(stored)).name()));

    // Another program's floating window over it, focused: the camera stays in front.
    QProcessEnvironment x11 = SessionEnvironment();
    x11.remove("WAYLAND_DISPLAY");
    auto cover = Start("xmessage", {"-geometry", "1000x600", "-bg", "#20c020", "cover"}, x11);
    const QPoint beside(stored.x() + 300, stored.y());
    shot = ShotShowing(
        "tst_wayland-covered.png",
        [&](const QImage& image) { return near(image.pixel(beside), QColor(0x20, 0xc0, 0x20), 8); }, &shown);
    QVERIFY2(shown, "the cover did not appear");
    QVERIFY2(near(shot.pixel(stored), Orange, 30), "the stay-on-top camera went under another window");
    cover->kill();
    cover->waitForFinished(5000);

    // Dragged by its picture, 100 pixels right and 60 down.
    Run("xdotool", {"mousemove", QString::number(stored.x()), QString::number(stored.y())});
    Run("xdotool", {"mousedown", "1"});
    Run("xdotool", {"mousemove", QString::number(stored.x() + 50), QString::number(stored.y() + 30)});
    Run("xdotool", {"mousemove", QString::number(stored.x() + 100), QString::number(stored.y() + 60)});
    Run("xdotool", {"mouseup", "1"});
    const QPoint dragged = stored + QPoint(100, 60);
    shot = ShotShowing(
        "tst_wayland-dragged.png",
        [&](const QImage& image) {
            return near(image.pixel(dragged), Orange, 30) && !near(image.pixel(stored), Orange, 30);
        },
        &shown);
    QVERIFY2(shown, "the camera window did not follow the drag");
    // Back where it was, for the screenshots that follow.
    Run("xdotool", {"mousemove", QString::number(dragged.x()), QString::number(dragged.y())});
    Run("xdotool", {"mousedown", "1"});
    Run("xdotool", {"mousemove", QString::number(stored.x()), QString::number(stored.y())});
    Run("xdotool", {"mouseup", "1"});
}

void tst_wayland::clicksDoWhatTheyDoOnAnX11Tray()
{
    QVERIFY(ProgramRuns());
    // A middle click does nothing; the left click after it is a click of its own.
    int first = static_cast<int>(Lines().size());
    Call("SecondaryActivate", m_icon);
    Call("Activate", m_icon);
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "raise Harbour"), WaitMs);
    QCOMPARE(LinesSince(first).filter(QRegularExpression("^(tray|beep|raise|menu-open|menu-item) ")),
             (QStringList{"tray click", "beep tray-click", "raise Harbour"}));
}

void tst_wayland::rightClickOpensTheSideBarMenuBelowTheIcon()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    Call("ContextMenu", m_icon);
    QTRY_VERIFY_WITH_TIMEOUT(MenuOpened(first).hasMatch(), WaitMs);
    const QRect menu = MenuRect(first);
    QVERIFY(LinesSince(first).filter(QRegularExpression("^(tray|raise) ")).isEmpty());
    // A popup of its own size beside the icon, below waybar's 30 pixels, inside the screen;
    // not a tiled window filling the screen.
    QVERIFY2(menu.width() < 400 && menu.height() < 400, qPrintable(LinesSince(first).join('\n')));
    QVERIFY2(menu.top() >= 30 && menu.top() < 60, qPrintable(QString::number(menu.top())));
    QVERIFY2(menu.right() <= 1279 && menu.right() > 1100, qPrintable(QString::number(menu.right())));

    // On the screen as it is drawn: the side bar black at the top, shading to RGB(156, 182, 214).
    const QPoint barTop = menu.topLeft() + QPoint(4, 4);
    const QPoint barBottom(barTop.x(), menu.bottom() - 4);
    bool shown = false;
    const QImage shot = ShotShowing(
        "tst_wayland-menu.png", [&](const QImage& image) { return near(image.pixel(barTop), Qt::black, 8); },
        &shown);
    QVERIFY2(shown, qPrintable(LinesSince(first).join('\n')));
    QVERIFY2(near(shot.pixel(barBottom), QColor(156, 182, 214), 12),
             qPrintable(QColor(shot.pixel(barBottom)).name()));
    // Away from the menu the desktop shows, not a window behind a title bar.
    QVERIFY(!near(shot.pixel(menu.left() - 300, menu.bottom() + 100), QColor(240, 240, 240), 20));

    PressEscape();
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "menu-close PopupMenu1"), WaitMs);
    QVERIFY(LinesSince(first).filter(QRegularExpression("^menu-item ")).isEmpty());
}

void tst_wayland::doubleClickOpensTheOptionsWindow()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    Call("Activate", m_icon);
    QDBusMessage second = QDBusMessage::createMethodCall(m_itemService, QStringLiteral("/StatusNotifierItem"),
                                                         ItemInterface, QStringLiteral("Activate"));
    second << m_icon.x() << m_icon.y();
    QDBusConnection::sessionBus().send(second);
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "dialog-open frmOptionsForm"), WaitMs);
    QCOMPARE(LinesSince(first).filter(QRegularExpression("^(tray|menu-item|menu-open) ")),
             (QStringList{"tray click", "menu-item mnuOptions"}));
    // sway floats the dialog in the middle of the screen, over the camera window: the grey
    // title band of its General page.
    bool shown = false;
    const QImage shot = ShotShowing(
        "tst_wayland-options.png",
        [](const QImage& image) { return near(image.pixel(700, 272), QColor(0x80, 0x80, 0x80), 8); }, &shown);
    QVERIFY2(shown, qPrintable(QColor(shot.pixel(700, 272)).name()));
    PressEscape();
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "dialog-close frmOptionsForm rejected"), WaitMs);
}

void tst_wayland::exitInTheMenuEndsTheProgram()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    Call("ContextMenu", m_icon);
    QTRY_VERIFY_WITH_TIMEOUT(MenuOpened(first).hasMatch(), WaitMs);
    const QRect menu = MenuRect(first);
    // "E&xit" is the last item, just above the bottom frame.
    Run("xdotool", {"mousemove", QString::number(menu.center().x()), QString::number(menu.bottom() - 12)});
    Run("xdotool", {"click", "1"});
    QVERIFY2(m_program->waitForFinished(WaitMs), qPrintable(LinesSince(first).join('\n')));
    QCOMPARE(m_program->exitCode(), 0);
    QVERIFY(LinesSince(first).contains("menu-item mnuExit"));
    QTRY_VERIFY_WITH_TIMEOUT(
        busProperty(Watcher, "/StatusNotifierWatcher", Watcher, "RegisteredStatusNotifierItems")
            .toStringList()
            .isEmpty(),
        WaitMs);
}

QTEST_GUILESS_MAIN(tst_wayland)
#include "tst_wayland.moc"
