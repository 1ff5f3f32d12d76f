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
#include "tests/support/TTraceCapture.h"

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
constexpr int WaitMs = 20000;

} // namespace

// The program on a desktop without any notification area: Xvfb with no tray host and no D-Bus
// session (so no StatusNotifier tray either). It must say so in a window of its own, once,
// and that window must offer the tray menu.
class tst_notray : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void saysOnceThatThereIsNoTray();
    void noticeOpensTheTrayMenu();

private:
    QProcessEnvironment Environment() const;
    QString Run(const QString& program, const QStringList& arguments);
    QStringList Lines();
    // The visible window of that exact name, as xdotool finds it; empty when there is none.
    QStringList VisibleWindows(const QString& name);

    QTemporaryDir m_dir;
    QString m_display;
    std::unique_ptr<QProcess> m_xvfb;
    std::unique_ptr<QProcess> m_program;
    QString m_output;
};

QProcessEnvironment tst_notray::Environment() const
{
    return DesktopProgramEnvironment(m_dir, m_display);
}

QString tst_notray::Run(const QString& program, const QStringList& arguments)
{
    return RunDesktopProgram(Environment(), program, arguments);
}

QStringList tst_notray::Lines()
{
    if (m_program)
        m_output += QString::fromUtf8(m_program->readAll());
    return ProgramOutputLines(m_output);
}

QStringList tst_notray::VisibleWindows(const QString& name)
{
    return Run("xdotool", {"search", "--onlyvisible", "--name", QStringLiteral("^%1$").arg(name)})
        .split('\n', Qt::SkipEmptyParts);
}

void tst_notray::initTestCase()
{
    for (const char* tool : {"Xvfb", "xdotool", "import"})
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed (scripts/install-deps.sh)").arg(tool)));
    QVERIFY(m_dir.isValid());
    for (const char* folder : {"runtime", "home", "config", "data", "tmp"})
        QVERIFY(QDir(m_dir.path()).mkdir(folder));
    QFile::setPermissions(m_dir.filePath("runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // No tip of the day and no catalog check: their windows would stand in front of the notice.
    QFile reg(m_dir.filePath("options.reg"));
    QVERIFY(reg.open(QIODevice::WriteOnly));
    reg.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\n"
              "\"ShowTipsOnStartup\"=dword:00000000\n\"CheckForUpdatesOnStartup\"=dword:00000000\n");
    reg.close();
    Run(QStringLiteral(VREL_BIN_DIR "/vrel-regedit"), {"import", reg.fileName()});

    const QString displayFile = m_dir.filePath("display");
    m_xvfb = std::make_unique<QProcess>();
    m_xvfb->start(
        "sh",
        {"-c", QStringLiteral("exec Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>'%1'")
                   .arg(displayFile)});
    QTRY_VERIFY_WITH_TIMEOUT(QFile(displayFile).size() > 0, WaitMs);
    QFile display(displayFile);
    QVERIFY(display.open(QIODevice::ReadOnly));
    m_display = QStringLiteral(":") + QString::fromLatin1(display.readAll()).trimmed();

    m_program = std::make_unique<QProcess>();
    m_program->setProcessEnvironment(Environment());
    m_program->setProcessChannelMode(QProcess::MergedChannels);
    m_program->start(Program, {"-start"});
    QVERIFY(m_program->waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(Lines().contains("step event-loop") || m_program->state() != QProcess::Running,
                             WaitMs);
    QVERIFY2(Lines().contains("step event-loop"), qPrintable(m_output));
}

void tst_notray::cleanupTestCase()
{
    for (auto* process : {&m_program, &m_xvfb}) {
        if (*process && (*process)->state() != QProcess::NotRunning) {
            (*process)->kill();
            (*process)->waitForFinished(5000);
        }
        process->reset();
    }
}

void tst_notray::saysOnceThatThereIsNoTray()
{
    // The program waits a few seconds for a tray that starts after it, then says it found none.
    QTRY_VERIFY_WITH_TIMEOUT(Lines().contains("tray-missing xembed"), WaitMs);
    QStringList windows;
    QTRY_VERIFY_WITH_TIMEOUT((windows = VisibleWindows("Vrel Web Camera")).size() == 1, WaitMs);
    Run("import", {"-window", "root", QDir::current().filePath("tst_notray-notice.png")});
    QCOMPARE(Lines().filter(QRegularExpression("^tray-missing ")).size(), 1);
}

void tst_notray::noticeOpensTheTrayMenu()
{
    QVERIFY(m_program->state() == QProcess::Running);
    const int first = static_cast<int>(Lines().size());
    // "Menu" is the notice's default button, and the notice has the focus.
    QTRY_COMPARE_WITH_TIMEOUT(Run("xdotool", {"getwindowfocus", "getwindowname"}).trimmed(),
                              QString("Vrel Web Camera"), WaitMs);
    Run("xdotool", {"key", "Return"});
    QTRY_VERIFY2_WITH_TIMEOUT(!Lines().mid(first).filter(QRegularExpression("^menu-open ")).isEmpty(),
                              qPrintable(Lines().mid(first).join('\n')), WaitMs);
    Run("import", {"-window", "root", QDir::current().filePath("tst_notray-menu.png")});
    // Its last item ends the program, as in the tray.
    Run("xdotool", {"key", "Up", "Return"});
    QVERIFY2(m_program->waitForFinished(WaitMs), qPrintable(Lines().mid(first).join('\n')));
    QVERIFY(Lines().mid(first).contains("menu-item mnuExit"));
}

QTEST_GUILESS_MAIN(tst_notray)
#include "tst_notray.moc"
