#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <signal.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
const QString RunScript = QStringLiteral(VREL_SOURCE_DIR "/scripts/run.sh");
constexpr int WaitMs = 15000;

// Processes whose environment mentions the marker.
QStringList processesWith(const QByteArray& marker)
{
    QStringList found;
    const QStringList pids = QDir("/proc").entryList({"[0-9]*"}, QDir::Dirs);
    for (const QString& pid : pids) {
        // /proc files claim a size of 0, so read them in pieces rather than with readAll().
        QFile environ("/proc/" + pid + "/environ");
        if (!environ.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
            continue;
        QByteArray text;
        for (QByteArray piece; !(piece = environ.read(65536)).isEmpty();)
            text += piece;
        if (text.contains(marker) && pid != QString::number(::getpid()))
            found.append(pid);
    }
    return found;
}

} // namespace

// `make run` on a machine without a desktop: the program comes up on a virtual display with a
// tray, screenshots of it appear beside the build, and Ctrl+C ends everything that was started.
class tst_run : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void withoutADesktopRunsOnAVirtualOne();
};

void tst_run::withoutADesktopRunsOnAVirtualOne()
{
    for (const char* tool : {"Xvfb", "openbox", "trayer", "xwininfo", "xprop", "import"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh)").arg(tool)));
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const char* folder : {"bin", "home", "config", "data"})
        QVERIFY(QDir(dir.path()).mkdir(folder));
    // The screenshot goes beside the program's folder: a link keeps it out of the build.
    QVERIFY(QFile::link(Program, dir.filePath("bin/vrel-web-camera")));
    const QString shot = dir.filePath("run-screenshot.png");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("HOME", dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("VREL_USER_REGISTRY", dir.filePath("user.db"));
    env.insert("VREL_MACHINE_REGISTRY", dir.filePath("machine.db"));
    env.insert("VREL_WEB_HOST", "127.0.0.1:1");
    env.insert("VREL_TRACE", "1");
    QProcess run;
    run.setProcessEnvironment(env);
    run.setProcessChannelMode(QProcess::MergedChannels);
    // A session of its own, so that SIGINT to its process group is what Ctrl+C in a terminal sends.
    run.setChildProcessModifier([] { ::setsid(); });
    run.start("bash", {RunScript, dir.filePath("bin/vrel-web-camera")});
    QVERIFY(run.waitForStarted());
    // A failing check still ends the script the orderly way, which ends what it started.
    auto stop = qScopeGuard([&] {
        if (run.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(run.processId()), SIGTERM);
        if (!run.waitForFinished(WaitMs)) {
            ::kill(-static_cast<pid_t>(run.processId()), SIGKILL);
            run.waitForFinished();
        }
    });

    QString output;
    const auto said = [&](const QString& text) {
        output += QString::fromUtf8(run.readAll());
        return output.contains(text);
    };
    // Started without an argument, the program shows its options window at once.
    QTRY_VERIFY_WITH_TIMEOUT(
        said("vrel-trace: dialog-open frmOptionsForm") || run.state() == QProcess::NotRunning, WaitMs);
    QVERIFY2(said("vrel-trace: dialog-open frmOptionsForm"), qPrintable(output));
    QVERIFY2(said("run: a screenshot of that display is written to " + shot + " every 3 seconds"),
             qPrintable(output));
    QVERIFY(said("vrel-trace: step activate-tray-icon"));

    // The tray sits in the top right corner; without it that corner is black. The first
    // screenshot may come before the icon has docked, so wait for a later one.
    const auto trayShown = [&] {
        const QImage picture(shot);
        if (picture.size() != QSize(1280, 800))
            return false;
        int lit = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 1280 - 40; x < 1280; ++x)
                lit += QColor(picture.pixel(x, y)).value() > 40 ? 1 : 0;
        return lit > 100;
    };
    QTRY_VERIFY_WITH_TIMEOUT(trayShown(), WaitMs);

    ::kill(-static_cast<pid_t>(run.processId()), SIGINT);
    QVERIFY(run.waitForFinished(WaitMs));
    output += QString::fromUtf8(run.readAll());
    QCOMPARE(run.exitStatus(), QProcess::NormalExit);
    QCOMPARE(run.exitCode(), 0);
    QVERIFY2(output.contains("run: stopped."), qPrintable(output));
    QVERIFY2(!output.contains("X11 connection broke"), qPrintable(output));
    // Nothing it started lives on: X server, window manager, tray, program.
    QTRY_COMPARE_WITH_TIMEOUT(processesWith(dir.path().toUtf8()), QStringList(), 5000);
    QVERIFY(!QFile::exists(shot + ".tmp.png"));
}

QTEST_GUILESS_MAIN(tst_run)
#include "tst_run.moc"
