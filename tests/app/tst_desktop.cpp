#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <memory>

#include "tests/support/TDesktopProgram.h"
#include "tests/support/TTraceCapture.h"

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
const QString Regedit = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");
constexpr int WaitMs = 15000;

// A camera picture: noise over one hue, so that it is well above the program's 512-byte floor
// and still recognisable on a screenshot by its colour.
QByteArray cameraPicture(const QColor& hue)
{
    QImage image(160, 120, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int shade = ((x * 7 + y * 13) % 23) - 11;
            image.setPixel(x, y,
                           qRgb(std::clamp(hue.red() + shade, 0, 255),
                                std::clamp(hue.green() + shade, 0, 255),
                                std::clamp(hue.blue() + shade, 0, 255)));
        }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG", 90);
    return bytes;
}

bool near(QRgb pixel, const QColor& wanted, int tolerance)
{
    return qAbs(qRed(pixel) - wanted.red()) <= tolerance &&
           qAbs(qGreen(pixel) - wanted.green()) <= tolerance &&
           qAbs(qBlue(pixel) - wanted.blue()) <= tolerance;
}

const QColor Orange(230, 120, 30);
const QColor Blue(40, 90, 220);
const QColor CoverGreen(32, 192, 32);

} // namespace

// The whole program as a user meets it on a desktop: Xvfb with the window manager openbox
// (which honours stay-on-top) and trayer as the notification area, two favourites opened at
// start-up from a loopback web server, and xdotool clicking the docked tray icon. Checked on
// the program's trace and on screenshots.
class tst_desktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void startsInTheTrayWithItsFavourites();
    void leftClickBringsTheCameraWindowsToTheFront();
    void rightClickOpensTheSideBarMenu();
    void doubleClickRunsTheDefaultItem();
    void iconAnswersWhileADialogIsOpen();
    void exitInTheMenuEndsTheProgram();

private:
    QProcessEnvironment Environment() const;
    std::unique_ptr<QProcess> Start(const QString& program, const QStringList& arguments);
    QString Run(const QString& program, const QStringList& arguments, int* exitCode = nullptr);
    void Serve();
    // Trace lines of the program (without their prefix) and its other output.
    QStringList Lines();
    QStringList LinesSince(int first) { return Lines().mid(first); }
    bool SawSince(int first, const QString& line) { return LinesSince(first).contains(line); }
    // A window of the program from `xwininfo -root -tree`: below trayer's panel (the docked
    // icon) or a top-level one whose name starts with a camera's description.
    QRect FindWindow(const QString& namePrefix, bool docked);
    QImage Screenshot(const QString& name);
    void Click(const QPoint& at, const QStringList& clickArguments);
    QPoint PictureSpot(const QString& camera);
    // The first "menu-open <x>,<y> <w>x<h> depth <d>" line since the given one, as a match.
    QRegularExpressionMatch MenuOpened(int first);
    bool ProgramRuns() const { return m_program && m_program->state() == QProcess::Running; }

    QTemporaryDir m_dir;
    QString m_display;
    QTcpServer m_server;
    QHash<QString, QByteArray> m_pictures;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_openbox;
    std::unique_ptr<QProcess> m_trayer;
    std::unique_ptr<QProcess> m_program;
    std::unique_ptr<QProcess> m_cover;
    QString m_output;
    QRect m_icon;
    QElapsedTimer m_lastClick;
    QStringList m_lastClickArguments;
};

QProcessEnvironment tst_desktop::Environment() const
{
    return DesktopProgramEnvironment(m_dir, m_display);
}

std::unique_ptr<QProcess> tst_desktop::Start(const QString& program, const QStringList& arguments)
{
    return StartDesktopProgram(Environment(), program, arguments);
}

QString tst_desktop::Run(const QString& program, const QStringList& arguments, int* exitCode)
{
    return RunDesktopProgram(Environment(), program, arguments, exitCode);
}

// One picture per connection, named by the request's path; anything else is a 404.
void tst_desktop::Serve()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
            const QByteArray request = socket->peek(8192);
            if (!request.contains("\r\n\r\n"))
                return;
            socket->readAll();
            const QByteArray path = request.split(' ').value(1);
            const QByteArray body = m_pictures.value(QString::fromLatin1(path));
            if (body.isEmpty())
                socket->write("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
            else
                socket->write("HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\nContent-Length: " +
                              QByteArray::number(body.size()) + "\r\n\r\n" + body);
            socket->disconnectFromHost();
        });
    }
}

QStringList tst_desktop::Lines()
{
    if (m_program)
        m_output += QString::fromUtf8(m_program->readAll());
    return ProgramOutputLines(m_output);
}

QRect tst_desktop::FindWindow(const QString& namePrefix, bool docked)
{
    const QStringList tree = Run("xwininfo", {"-root", "-tree"}).split('\n');
    static const QRegularExpression geometry(R"((\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
    const QString ours = QStringLiteral("(\"vrel-web-camera\" ");
    int panelIndent = -1;
    for (const QString& line : tree) {
        const int indent = static_cast<int>(line.size() - line.trimmed().size());
        if (line.contains(R"(("panel" "trayer"))")) {
            panelIndent = indent;
            continue;
        }
        if (panelIndent >= 0 && indent <= panelIndent && !line.trimmed().isEmpty())
            panelIndent = -1;
        if (!line.contains(ours) || (docked != (panelIndent >= 0)))
            continue;
        if (!docked && !line.contains(QStringLiteral(" \"") + namePrefix))
            continue;
        const QRegularExpressionMatch m = geometry.match(line);
        if (m.hasMatch() && m.captured(1).toInt() > 1)
            return QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                         m.captured(2).toInt());
    }
    return {};
}

QImage tst_desktop::Screenshot(const QString& name)
{
    const QString path = QDir::current().filePath(name);
    Run("import", {"-window", "root", path});
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

// Moves the pointer first: a click sent to a window without moving leaves the cursor where it
// was, and the menu would open there.
// Two presses of one button within Qt's 400 ms make a double click; separate clicks are paced as
// a person's are, so one test's last click and the next test's first stay two clicks.
void tst_desktop::Click(const QPoint& at, const QStringList& clickArguments)
{
    if (m_lastClick.isValid() && m_lastClickArguments == clickArguments && m_lastClick.elapsed() < 500)
        QTest::qWait(static_cast<int>(500 - m_lastClick.elapsed()));
    m_lastClickArguments = clickArguments;
    m_lastClick.start();
    Run("xdotool", {"mousemove", QString::number(at.x()), QString::number(at.y())});
    Run("xdotool", QStringList{"click"} + clickArguments);
}

// A point well inside the picture of a camera window (the picture fills the window's top).
QPoint tst_desktop::PictureSpot(const QString& camera)
{
    const QRect window = FindWindow(camera + QStringLiteral(" "), false);
    return window.isEmpty() ? QPoint() : QPoint(window.center().x(), window.top() + 60);
}

QRegularExpressionMatch tst_desktop::MenuOpened(int first)
{
    static const QRegularExpression opened(R"(^menu-open (\d+),(\d+) (\d+)x(\d+) depth (\d+)$)");
    for (const QString& line : LinesSince(first)) {
        QRegularExpressionMatch m = opened.match(line);
        if (m.hasMatch())
            return m;
    }
    return {};
}

void tst_desktop::initTestCase()
{
    for (const char* tool :
         {"Xvfb", "openbox", "trayer", "xdotool", "xwininfo", "xprop", "xmessage", "import"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh)").arg(tool)));
    QVERIFY(m_dir.isValid());
    for (const char* folder : {"runtime", "home", "config", "data", "tmp"})
        QVERIFY(QDir(m_dir.path()).mkdir(folder));
    QFile::setPermissions(m_dir.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    m_pictures.insert("/harbour.jpg", cameraPicture(Orange));
    m_pictures.insert("/summit.jpg", cameraPicture(Blue));
    connect(&m_server, &QTcpServer::newConnection, this, &tst_desktop::Serve);
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    const QString base = QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort());

    // Two favourites that open at start-up (Summit stays on top) and one that does not.
    const QString key = QStringLiteral(
        "[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My Favorites\\%1]\n");
    // No tip of the day: it would wait for the user before the cameras open.
    QString reg = "REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\n"
                  "\"ShowTipsOnStartup\"=dword:00000000\n\n";
    const auto favourite = [&](const QString& name, const QString& url, int startup, int onTop, int left) {
        reg += key.arg(name) + QStringLiteral("\"URL\"=\"%1\"\n").arg(url) +
               QStringLiteral("\"UpdateInterval\"=dword:00000000\n\"Scale\"=dword:00000064\n") +
               QStringLiteral("\"RunOnStartup\"=dword:%1\n").arg(startup, 8, 10, QLatin1Char('0')) +
               QStringLiteral("\"AlwaysOnTop\"=dword:%1\n").arg(onTop, 8, 10, QLatin1Char('0')) +
               QStringLiteral("\"Left\"=dword:%1\n\"Top\"=dword:000000c8\n\n")
                   .arg(left, 8, 16, QLatin1Char('0'));
    };
    favourite("Harbour", base + "harbour.jpg", 1, 0, 100);
    favourite("Quiet", base + "quiet.jpg", 0, 0, 700);
    favourite("Summit", base + "summit.jpg", 1, 1, 400);
    QFile file(m_dir.filePath("favourites.reg"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(reg.toLatin1());
    file.close();
    int code = -1;
    const QString said = Run(Regedit, {"import", file.fileName()}, &code);
    QVERIFY2(code == 0, qPrintable(said));

    // -displayfd picks a free display and writes its number once the server takes clients.
    // -noreset: a server that resets when its last client leaves drops clients connecting
    // meanwhile (xprop polling, then openbox starting).
    const QString displayFile = m_dir.filePath("display");
    m_xvfb = Start(
        "sh",
        {"-c", QStringLiteral("exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>'%1'")
                   .arg(displayFile)});
    QTRY_VERIFY_WITH_TIMEOUT(QFile(displayFile).size() > 0, WaitMs);
    QFile display(displayFile);
    QVERIFY(display.open(QIODevice::ReadOnly));
    m_display = QStringLiteral(":") + QString::fromLatin1(display.readAll()).trimmed();

    m_openbox = Start("openbox", {});
    QTRY_VERIFY_WITH_TIMEOUT(Run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"),
                             WaitMs);
    m_trayer = Start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                                "32", "--SetDockType", "true", "--transparent", "false"});
    QTRY_VERIFY_WITH_TIMEOUT(Run("xwininfo", {"-root", "-tree"}).contains(R"(("panel" "trayer"))"), WaitMs);

    m_program = Start(Program, {"-start"});
    QTRY_VERIFY_WITH_TIMEOUT(Lines().contains("step event-loop") || !ProgramRuns(), WaitMs);
    QVERIFY2(Lines().contains("step event-loop"), qPrintable(m_output));
    QTRY_VERIFY_WITH_TIMEOUT(Lines().contains("status Harbour: Status: Done") &&
                                 Lines().contains("status Summit: Status: Done"),
                             WaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!(m_icon = FindWindow(QString(), true)).isEmpty(), WaitMs);
}

void tst_desktop::cleanupTestCase()
{
    for (auto* process : {&m_cover, &m_program, &m_trayer, &m_openbox, &m_xvfb}) {
        if (*process && (*process)->state() != QProcess::NotRunning) {
            (*process)->kill();
            (*process)->waitForFinished(5000);
        }
        process->reset();
    }
    m_server.close();
}

void tst_desktop::startsInTheTrayWithItsFavourites()
{
    // Docked in trayer's panel at the top of the screen.
    QVERIFY2(m_icon.top() < 32, qPrintable(QStringLiteral("icon at %1,%2").arg(m_icon.x()).arg(m_icon.y())));
    QCOMPARE(Lines().filter(QRegularExpression("^camera-open ")),
             (QStringList{"camera-open Harbour", "camera-open Summit"}));
    QCOMPARE(FindWindow("Harbour ", false).topLeft(), QPoint(100, 200));
    QCOMPARE(FindWindow("Summit ", false).topLeft(), QPoint(400, 200));
    const QImage shot = Screenshot("tst_desktop-start.png");
    QVERIFY2(near(shot.pixel(PictureSpot("Harbour")), Orange, 40),
             qPrintable(QColor(shot.pixel(PictureSpot("Harbour"))).name()));
    QVERIFY2(near(shot.pixel(PictureSpot("Summit")), Blue, 40),
             qPrintable(QColor(shot.pixel(PictureSpot("Summit"))).name()));
}

void tst_desktop::leftClickBringsTheCameraWindowsToTheFront()
{
    QVERIFY(ProgramRuns());
    const QPoint harbour = PictureSpot("Harbour");
    const QPoint summit = PictureSpot("Summit");
    // Another program's window over both cameras: Summit stays on top of it, Harbour goes under.
    m_cover = Start("xmessage", {"-geometry", "700x320+50+150", "-bg", CoverGreen.name(), "cover"});
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT(
        (shot = Screenshot("tst_desktop-covered.png"), near(shot.pixel(harbour), CoverGreen, 8)), WaitMs);
    QVERIFY2(near(shot.pixel(summit), Blue, 40), "the stay-on-top camera went under another window");

    const int first = static_cast<int>(Lines().size());
    Click(m_icon.center(), {"1"});
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "raise Summit"), WaitMs);
    QCOMPARE(LinesSince(first).filter(QRegularExpression("^(tray|beep|raise|menu-open) ")),
             (QStringList{"tray click", "beep tray-click", "raise Harbour", "raise Summit"}));
    QTRY_VERIFY_WITH_TIMEOUT(
        (shot = Screenshot("tst_desktop-raised.png"), near(shot.pixel(harbour), Orange, 40)), WaitMs);
    QVERIFY(near(shot.pixel(summit), Blue, 40));

    m_cover->kill();
    m_cover->waitForFinished(5000);
}

void tst_desktop::rightClickOpensTheSideBarMenu()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    Click(m_icon.center(), {"3"});
    QRegularExpressionMatch m;
    QTRY_VERIFY_WITH_TIMEOUT((m = MenuOpened(first)).hasMatch(), WaitMs);
    const QRect menu(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                     m.captured(4).toInt());
    QCOMPARE(m.captured(5).toInt(), 24);
    QVERIFY(LinesSince(first).filter(QRegularExpression("^(tray|raise) ")).isEmpty());

    // The bar inside the menu's 3-pixel frame: black at the top shading to RGB(156, 182, 214)
    // at the bottom, with the white caption written up the bar.
    const QPoint barTop = menu.topLeft() + QPoint(3, 3);
    const QPoint barBottom(barTop.x(), menu.bottom() - 3);
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT((shot = Screenshot("tst_desktop-menu.png"), shot.pixel(barTop) == qRgb(0, 0, 0)),
                             WaitMs);
    QVERIFY2(near(shot.pixel(barBottom), QColor(156, 182, 214), 4),
             qPrintable(QColor(shot.pixel(barBottom)).name()));
    int white = 0;
    int whiteTop = menu.bottom();
    for (int y = barTop.y(); y <= barBottom.y(); ++y)
        for (int x = barTop.x(); x < barTop.x() + 21; ++x)
            if (near(shot.pixel(x, y), Qt::white, 25)) {
                ++white;
                whiteTop = std::min(whiteTop, y);
            }
    QVERIFY2(white > 100, "no caption on the bar");
    // Written from the bottom upwards over most of the bar, not across it.
    QVERIFY2(menu.bottom() - whiteTop > menu.height() / 2, qPrintable(QString::number(whiteTop)));
    qInfo("screenshot: %s", qPrintable(QDir::current().filePath("tst_desktop-menu.png")));

    Run("xdotool", {"key", "Escape"});
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "menu-close PopupMenu1"), WaitMs);
    QVERIFY(LinesSince(first).filter(QRegularExpression("^menu-item ")).isEmpty());
}

void tst_desktop::doubleClickRunsTheDefaultItem()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    Click(m_icon.center(), {"--repeat", "2", "--delay", "100", "1"});
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "menu-item mnuOptions"), WaitMs);
    // The first press of a double click is a click of its own.
    QCOMPARE(LinesSince(first).filter(QRegularExpression("^(tray|menu-item|menu-open) ")),
             (QStringList{"tray click", "menu-item mnuOptions"}));

    // The options window opens in front of everything, with the keyboard focus.
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "dialog-open frmOptionsForm"), WaitMs);
    QTRY_COMPARE_WITH_TIMEOUT(Run("xdotool", {"getactivewindow", "getwindowname"}).trimmed(),
                              QString("Options Vrel Web Camera"), WaitMs);
    QRect window;
    QTRY_VERIFY_WITH_TIMEOUT(!(window = FindWindow("Options Vrel Web Camera", false)).isEmpty(), WaitMs);
    QCOMPARE(window.size(), QSize(434, 324));
    // The General page's grey title band, then Ctrl+Page Down to the Favorites page.
    const QPoint band = window.topLeft() + QPoint(6 + 97 + 6 + 20, 6 + 10);
    QImage shot;
    QTRY_VERIFY_WITH_TIMEOUT((shot = Screenshot("tst_desktop-options-general.png"),
                              near(shot.pixel(band), QColor(0x80, 0x80, 0x80), 4)),
                             WaitMs);
    const QImage general = shot.copy(window);
    Run("xdotool", {"key", "ctrl+Next"});
    QTRY_VERIFY_WITH_TIMEOUT(
        (shot = Screenshot("tst_desktop-options-favorites.png"), shot.copy(window) != general), WaitMs);
    QVERIFY(near(shot.pixel(band), QColor(0x80, 0x80, 0x80), 4));
    qInfo("screenshots: %s, %s", qPrintable(QDir::current().filePath("tst_desktop-options-general.png")),
          qPrintable(QDir::current().filePath("tst_desktop-options-favorites.png")));

    Run("xdotool", {"key", "Escape"});
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "dialog-close frmOptionsForm rejected"), WaitMs);
}

// "Add new camera..." opened from the menu runs modally, as users get it; the icon still beeps
// and brings the dialog to the front on a left or a right click.
void tst_desktop::iconAnswersWhileADialogIsOpen()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    Click(m_icon.center(), {"3"});
    QRegularExpressionMatch m;
    QTRY_VERIFY_WITH_TIMEOUT((m = MenuOpened(first)).hasMatch(), WaitMs);
    // "Add new camera..." is the first item, just below the top frame.
    Click(QPoint(m.captured(1).toInt() + m.captured(3).toInt() / 2, m.captured(2).toInt() + 12), {"1"});
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "dialog-open frmCameraSettings"), WaitMs);
    QVERIFY(LinesSince(first).contains("menu-item mnuAddnewCamera"));

    for (const char* button : {"1", "3"}) {
        const int before = static_cast<int>(Lines().size());
        Click(m_icon.center(), {QLatin1String(button)});
        QTRY_VERIFY2_WITH_TIMEOUT(SawSince(before, "raise frmCameraSettings"),
                                  qPrintable(LinesSince(first).join(QLatin1Char('\n'))), WaitMs);
        QCOMPARE(LinesSince(before).filter(QRegularExpression("^(tray|beep|raise|menu-open) ")),
                 (QStringList{"tray click", "beep tray-click", "raise frmCameraSettings"}));
    }
    Screenshot("tst_desktop-dialog.png");

    // The raised dialog has the focus: Escape cancels it, and the menu is back.
    Run("xdotool", {"key", "Escape"});
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(first, "dialog-close frmCameraSettings 2"), WaitMs);
    const int after = static_cast<int>(Lines().size());
    Click(m_icon.center(), {"3"});
    QTRY_VERIFY2_WITH_TIMEOUT(MenuOpened(after).hasMatch(),
                              qPrintable(LinesSince(first).join(QLatin1Char(10))), WaitMs);
    Run("xdotool", {"key", "Escape"});
    QTRY_VERIFY_WITH_TIMEOUT(SawSince(after, "menu-close PopupMenu1"), WaitMs);
}

void tst_desktop::exitInTheMenuEndsTheProgram()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    Click(m_icon.center(), {"3"});
    QRegularExpressionMatch m;
    QTRY_VERIFY_WITH_TIMEOUT((m = MenuOpened(first)).hasMatch(), WaitMs);
    const QRect menu(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                     m.captured(4).toInt());

    // "E&xit" is the last item, just above the bottom frame.
    Click(QPoint(menu.center().x(), menu.bottom() - 12), {"1"});
    QVERIFY2(m_program->waitForFinished(WaitMs), qPrintable(m_output));
    QCOMPARE(m_program->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_program->exitCode(), 0);
    const QStringList after = LinesSince(first);
    QVERIFY2(after.contains("menu-item mnuExit"), qPrintable(after.join('\n')));
    // The camera windows go down with the program; none is closed, so none stores its place.
    QCOMPARE(after.filter(QRegularExpression("^(step|camera-close) ")),
             (QStringList{"step form-close", "step exit"}));
    QVERIFY(FindWindow(QString(), true).isEmpty());
}

QTEST_GUILESS_MAIN(tst_desktop)
#include "tst_desktop.moc"
