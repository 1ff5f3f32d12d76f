#include "catalog/TCatalogUpdate.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "tests/support/TDesktopProgram.h"
#include "tests/support/TNginxServer.h"
#include "tests/support/TTraceCapture.h"

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
const QString Regedit = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");
constexpr int WaitMs = 20000;

const QByteArray CatalogKey =
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\Favorites\\";

// Rome is the only new camera below Europe; Tokyo and "R&D Lab" are new too.
QByteArray catalog()
{
    QByteArray text = "VWC CATALOG\r\n\r\n";
    const auto camera = [&](const QByteArray& path, bool opened) {
        text += CatalogKey + path +
                "]\r\n\"URL\"=\"http://127.0.0.1:1/cam.jpg\"\r\n\"UpdateInterval\"=dword:00000000\r\n";
        if (opened)
            text += "\"Opened\"=dword:00000001\r\n";
        text += "\r\n";
    };
    camera("Europe\\Italy\\Rome", false);
    camera("Europe\\Italy\\Milan", true);
    camera("Europe\\Spain\\Madrid", true);
    camera("Asia\\Tokyo", false);
    camera("R&D Lab", false);
    return text;
}

// The burst marker's red ray, the one pointing up; no other item picture or highlight has it.
bool burstPixel(QRgb p)
{
    return qAbs(qRed(p) - 230) < 40 && qAbs(qGreen(p) - 30) < 40 && qAbs(qBlue(p) - 30) < 40;
}

// How many markers the glyph column of a menu on the screenshot shows: runs of rows holding
// the red ray, one per marked item.
int markers(const QImage& shot, const QRect& menu)
{
    int runs = 0;
    bool inRun = false;
    for (int y = menu.top(); y <= menu.bottom(); ++y) {
        bool burst = false;
        for (int x = menu.left(); x < menu.left() + 28 && !burst; ++x)
            burst = burstPixel(shot.pixel(x, y));
        if (burst && !inRun)
            ++runs;
        inRun = burst;
    }
    return runs;
}

} // namespace

// The program on Xvfb with trayer: it checks the catalog at start-up against nginx on loopback
// (Basic authentication), the tray menu then shows the catalog as nested folders with the new
// markers, and opening a camera from it removes the markers up the chain. The menus are walked
// with the keyboard; the screenshots are kept in the test's working folder.
class tst_catalog_desktop : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void catalogShowsNestedFoldersWithMarkers();
    void openingACameraClearsTheMarkersUpTheChain();

private:
    QProcessEnvironment Environment() const;
    std::unique_ptr<QProcess> Start(const QString& program, const QStringList& arguments);
    QString Run(const QString& program, const QStringList& arguments, int* exitCode = nullptr);
    QStringList Lines();
    QStringList LinesSince(int first) { return Lines().mid(first); }
    QRect DockedIcon();
    // Opens the tray menu and walks to Europe\Italy\Rome; the geometry of each shown menu by name.
    QHash<QString, QRect> OpenCatalogDownToRome();
    QImage Screenshot(const QString& name);
    bool ProgramRuns() const { return m_program && m_program->state() == QProcess::Running; }

    QTemporaryDir m_dir;
    TNginxServer m_nginx;
    QString m_display;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_trayer;
    std::unique_ptr<QProcess> m_program;
    QString m_output;
    QRect m_icon;
};

QProcessEnvironment tst_catalog_desktop::Environment() const
{
    return DesktopProgramEnvironment(m_dir, m_display, QStringLiteral("127.0.0.1:%1").arg(m_nginx.port()));
}

std::unique_ptr<QProcess> tst_catalog_desktop::Start(const QString& program, const QStringList& arguments)
{
    return StartDesktopProgram(Environment(), program, arguments);
}

QString tst_catalog_desktop::Run(const QString& program, const QStringList& arguments, int* exitCode)
{
    return RunDesktopProgram(Environment(), program, arguments, exitCode);
}

QStringList tst_catalog_desktop::Lines()
{
    if (m_program)
        m_output += QString::fromUtf8(m_program->readAll());
    return ProgramOutputLines(m_output);
}

// The program's window below trayer's panel.
QRect tst_catalog_desktop::DockedIcon()
{
    static const QRegularExpression geometry(R"((\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+))");
    int panelIndent = -1;
    for (const QString& line : Run("xwininfo", {"-root", "-tree"}).split('\n')) {
        const int indent = static_cast<int>(line.size() - line.trimmed().size());
        if (line.contains(R"(("panel" "trayer"))")) {
            panelIndent = indent;
            continue;
        }
        if (panelIndent >= 0 && indent <= panelIndent && !line.trimmed().isEmpty())
            panelIndent = -1;
        if (panelIndent < 0 || !line.contains("(\"vrel-web-camera\" "))
            continue;
        const QRegularExpressionMatch m = geometry.match(line);
        if (m.hasMatch() && m.captured(1).toInt() > 1)
            return QRect(m.captured(3).toInt(), m.captured(4).toInt(), m.captured(1).toInt(),
                         m.captured(2).toInt());
    }
    return {};
}

QImage tst_catalog_desktop::Screenshot(const QString& name)
{
    const QString path = QDir::current().filePath(name);
    Run("import", {"-window", "root", path});
    qInfo("screenshot: %s", qPrintable(path));
    return QImage(path).convertToFormat(QImage::Format_RGB32);
}

QHash<QString, QRect> tst_catalog_desktop::OpenCatalogDownToRome()
{
    QHash<QString, QRect> shown;
    const int first = static_cast<int>(Lines().size());
    Run("xdotool", {"mousemove", QString::number(m_icon.center().x()), QString::number(m_icon.center().y())});
    Run("xdotool", {"click", "3"});
    const auto wait = [&](const QString& name) {
        static const QRegularExpression opened(R"(^submenu-open (-?\d+),(-?\d+) (\d+)x(\d+) (.*)$)");
        return QTest::qWaitFor(
            [&] {
                for (const QString& line : LinesSince(first)) {
                    const QRegularExpressionMatch m = opened.match(line);
                    if (m.hasMatch() && m.captured(5) == name)
                        shown.insert(name, QRect(m.captured(1).toInt(), m.captured(2).toInt(),
                                                 m.captured(3).toInt(), m.captured(4).toInt()));
                }
                return shown.contains(name);
            },
            WaitMs);
    };
    if (!QTest::qWaitFor(
            [&] { return LinesSince(first).filter(QRegularExpression("^menu-open ")).size() == 1; }, WaitMs))
        return shown;
    // Add new camera, Options, Web Camera Catalog; into it (Load Catalog...), Asia, Europe.
    Run("xdotool", {"key", "Down", "Down", "Down", "Right"});
    if (!wait("mnuWebCameraCatalog"))
        return shown;
    Run("xdotool", {"key", "Down", "Down", "Right"});
    if (!wait("Europe"))
        return shown;
    Run("xdotool", {"key", "Right"});
    if (!wait("Europe\\Italy"))
        return shown;
    // Milan, then Rome.
    Run("xdotool", {"key", "Down"});
    QTest::qWait(300);
    return shown;
}

void tst_catalog_desktop::initTestCase()
{
    for (const char* tool : {"Xvfb", "trayer", "xdotool", "xwininfo", "import"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh)").arg(tool)));
    if (TNginxServer::program().isEmpty())
        QSKIP("nginx is not installed");
    QVERIFY(m_dir.isValid());
    for (const char* folder : {"runtime", "home", "config", "data", "tmp", "www/info"})
        QVERIFY(QDir(m_dir.path()).mkpath(folder));
    QFile::setPermissions(m_dir.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);

    QFile served(m_dir.filePath("www/info/vwcfavorites.reg"));
    QVERIFY(served.open(QIODevice::WriteOnly));
    served.write(catalog());
    served.close();
    TNginxOptions options;
    options.DocumentRoot = m_dir.filePath("www");
    options.BasicAuthLocation = QStringLiteral("/info/");
    options.BasicAuthUser = TCatalogUpdate::UserName().toUtf8();
    options.BasicAuthPassword = TCatalogUpdate::Password().toUtf8();
    QVERIFY2(m_nginx.start(options), qPrintable(m_nginx.errorText()));

    QFile settings(m_dir.filePath("options.reg"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\r\n"
        "\"CheckForUpdatesOnStartup\"=dword:00000001\r\n\"ShowTipsOnStartup\"=dword:00000000\r\n");
    settings.close();
    int code = -1;
    const QString said = Run(Regedit, {"import", settings.fileName()}, &code);
    QVERIFY2(code == 0, qPrintable(said));

    const QString displayFile = m_dir.filePath("display");
    m_xvfb = Start(
        "sh",
        {"-c", QStringLiteral("exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>'%1'")
                   .arg(displayFile)});
    QTRY_VERIFY_WITH_TIMEOUT(QFile(displayFile).size() > 0, WaitMs);
    QFile display(displayFile);
    QVERIFY(display.open(QIODevice::ReadOnly));
    m_display = QStringLiteral(":") + QString::fromLatin1(display.readAll()).trimmed();
    m_trayer = Start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "request", "--height",
                                "32", "--SetDockType", "true", "--transparent", "false"});
    QTRY_VERIFY_WITH_TIMEOUT(Run("xwininfo", {"-root", "-tree"}).contains(R"(("panel" "trayer"))"), WaitMs);

    m_program = Start(Program, {"-start"});
    QTRY_VERIFY_WITH_TIMEOUT(Lines().contains("step event-loop") || !ProgramRuns(), WaitMs);
    QVERIFY2(Lines().contains("step event-loop"), qPrintable(m_output));
    QTRY_VERIFY_WITH_TIMEOUT(!(m_icon = DockedIcon()).isEmpty(), WaitMs);
}

void tst_catalog_desktop::cleanupTestCase()
{
    for (auto* process : {&m_program, &m_trayer, &m_xvfb}) {
        if (*process && (*process)->state() != QProcess::NotRunning) {
            (*process)->kill();
            (*process)->waitForFinished(5000);
        }
        process->reset();
    }
    m_nginx.stop();
}

void tst_catalog_desktop::catalogShowsNestedFoldersWithMarkers()
{
    QVERIFY(ProgramRuns());
    // The start-up check ran without a question, imported, and the menus were built after it.
    const QStringList steps =
        Lines().filter(QRegularExpression("^(step catalog-update|step rebuild-menus|dialog-|prompt)"));
    QCOMPARE(steps, (QStringList{"step catalog-update", "dialog-open frmUpdateFavorites",
                                 "dialog-close frmUpdateFavorites accepted", "step rebuild-menus"}));
    const QHash<QString, QRect> menus = OpenCatalogDownToRome();
    QCOMPARE(menus.size(), 3);
    const QImage shot = Screenshot("tst_catalog_desktop-new.png");
    // Asia, Europe and "R&D Lab" below the fixed item; Italy (not Spain); Rome (not Milan).
    QCOMPARE(markers(shot, menus.value("mnuWebCameraCatalog")), 3);
    QCOMPARE(markers(shot, menus.value("Europe")), 1);
    QCOMPARE(markers(shot, menus.value("Europe\\Italy")), 1);
}

void tst_catalog_desktop::openingACameraClearsTheMarkersUpTheChain()
{
    QVERIFY(ProgramRuns());
    const int first = static_cast<int>(Lines().size());
    // Rome is selected: choose it, then take the settings dialog as it comes.
    Run("xdotool", {"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(LinesSince(first).contains("dialog-open frmCameraSettings"), WaitMs);
    QTest::qWait(300);
    Run("xdotool", {"key", "Return"});
    QTRY_VERIFY_WITH_TIMEOUT(LinesSince(first).contains("camera-open Rome"), WaitMs);

    const QHash<QString, QRect> menus = OpenCatalogDownToRome();
    QCOMPARE(menus.size(), 3);
    const QImage shot = Screenshot("tst_catalog_desktop-opened.png");
    // Only Asia and "R&D Lab" still hold a new camera.
    QCOMPARE(markers(shot, menus.value("mnuWebCameraCatalog")), 2);
    QCOMPARE(markers(shot, menus.value("Europe")), 0);
    QCOMPARE(markers(shot, menus.value("Europe\\Italy")), 0);
    Run("xdotool", {"key", "Escape", "Escape", "Escape", "Escape"});
}

QTEST_GUILESS_MAIN(tst_catalog_desktop)
#include "tst_catalog_desktop.moc"
