#include "camera/RegistryLayout.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "tests/support/TTraceCapture.h"

#include <signal.h>

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
constexpr int LineWaitMs = 30000;
const QString Question = QStringLiteral(
    "prompt confirm Confirm: Do you want to clear your personal settings for Vrel Web Camera?");

// One started copy of the program with its merged output, read as trace lines.
class TCopy
{
public:
    TCopy(const QProcessEnvironment& env, const QString& argument, const QString& autoAnswer)
    {
        QProcessEnvironment own = env;
        if (!autoAnswer.isEmpty())
            own.insert("VREL_AUTO_ANSWER", autoAnswer);
        m_process.setProcessEnvironment(own);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(Program, argument.isNull() ? QStringList() : QStringList{argument});
    }
    ~TCopy()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    QProcess& process() { return m_process; }

    // Every output line; trace lines lose their "vrel-trace: " prefix.
    QStringList lines()
    {
        m_text += QString::fromUtf8(m_process.readAll());
        return ProgramOutputLines(m_text);
    }
    // The lines of the events that show the start-up's course, in order.
    QStringList course()
    {
        QStringList result;
        for (const QString& line : lines()) {
            const QString event = line.section(' ', 0, 0);
            if (event == "step" || event == "message" || event == "camera-open" || event == "prompt")
                result.append(line);
        }
        return result;
    }
    bool waitForLine(const QString& wanted)
    {
        QDeadlineTimer deadline(LineWaitMs);
        while (!lines().contains(wanted)) {
            if (deadline.hasExpired() || m_process.state() == QProcess::NotRunning)
                return lines().contains(wanted);
            m_process.waitForReadyRead(200);
        }
        return true;
    }
    // Waits for the end; true for a normal exit with code 0.
    bool finished()
    {
        if (m_process.state() != QProcess::NotRunning)
            m_process.waitForFinished(LineWaitMs);
        lines();
        return m_process.state() == QProcess::NotRunning && m_process.exitStatus() == QProcess::NormalExit &&
               m_process.exitCode() == 0;
    }
    QString output() { return lines().join('\n'); }

private:
    QProcess m_process;
    QString m_text;
};

QStringList startupCourse(const QStringList& middle)
{
    return QStringList{"step load-options",        "step load-messages", "step single-instance first-copy",
                       "step hide-taskbar-button", "step create-lists",  "step apply-language"} +
           middle;
}

} // namespace

class tst_startup : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_env;

    QString path(const QString& name) const { return m_dir->filePath(name); }

    // Opens this test's stores the way the program sees them.
    void useStores()
    {
        TRegistryStore::closeAll();
        qputenv("VREL_USER_REGISTRY", path("user.db").toUtf8());
        qputenv("VREL_MACHINE_REGISTRY", path("machine.db").toUtf8());
    }
    void setOption(const QString& name, qint32 value)
    {
        useStores();
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).writeDword(name, value));
        TRegistryStore::closeAll();
    }
    std::optional<TRegValue> option(const QString& name)
    {
        useStores();
        const auto value = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).queryValue(name);
        TRegistryStore::closeAll();
        return value;
    }

    // Ends a running first copy the way a user would: a second copy with -quit, answered "no"
    // by the first copy's own scripted answer.
    void stop(TCopy& first)
    {
        TCopy quitter(m_env, "-quit", QString());
        QVERIFY2(quitter.finished(), qPrintable(quitter.output()));
        QVERIFY2(first.finished(), qPrintable(first.output()));
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        for (const char* folder : {"runtime", "config", "data", "home", "tmp"})
            QVERIFY(QDir().mkpath(path(folder)));
        QFile::setPermissions(path("runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_env = QProcessEnvironment::systemEnvironment();
        m_env.remove("VREL_AUTO_ANSWER");
        m_env.insert("QT_QPA_PLATFORM", "offscreen");
        m_env.insert("VREL_TRACE", "1");
        m_env.insert("XDG_RUNTIME_DIR", path("runtime"));
        // Its own temporary folder: a first copy clears the one it finds of what an earlier run left.
        m_env.insert("TMPDIR", path("tmp"));
        m_env.insert("XDG_CONFIG_HOME", path("config"));
        m_env.insert("XDG_DATA_HOME", path("data"));
        m_env.insert("HOME", path("home"));
        m_env.insert("VREL_USER_REGISTRY", path("user.db"));
        m_env.insert("VREL_MACHINE_REGISTRY", path("machine.db"));
        m_env.insert("VREL_WEB_HOST", "127.0.0.1:1");
        // The tip of the day and the catalog update window wait for the user or the network; the
        // tests that want them switch them on.
        setOption("ShowTipsOnStartup", 0);
        setOption("CheckForUpdatesOnStartup", 0);
    }
    void cleanup()
    {
        TRegistryStore::closeAll();
        m_dir.reset();
    }

    void firstCopyFollowsItsSwitch_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("updates");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("course");
        const QStringList stoppedByQuitRequest{"message WM_QUITREQUEST", Question, "step form-close",
                                               "step exit"};
        // The options window waits for the user; the quit request cancels it and ends the
        // program before the rest of the start-up (tst_TfrmVrelWebCamMain follows it further).
        QTest::newRow("none") << QString() << true << "no"
                              << startupCourse(QStringList{"step activate-tray-icon", "step options-window"} +
                                               stoppedByQuitRequest);
        QTest::newRow("autostart-start-quiet")
            << "-start" << false << "no"
            << startupCourse(QStringList{"step activate-tray-icon", "step rebuild-menus",
                                         "step open-startup-cameras", "step event-loop"} +
                             stoppedByQuitRequest);
        QTest::newRow("unknown-switch")
            << "--bogus" << true << "no"
            << startupCourse(QStringList{"step activate-tray-icon", "step catalog-update",
                                         "step rebuild-menus", "step open-startup-cameras",
                                         "step event-loop"} +
                             stoppedByQuitRequest);
        QTest::newRow("startoptions-mixed-case")
            << "-StartOptions" << true << QString()
            << startupCourse({"step activate-tray-icon", "step catalog-update", "step rebuild-menus",
                              "step open-startup-cameras", "step exit"});
        QTest::newRow("lang-lower-case")
            << "-lang:en" << true << QString()
            << startupCourse({"step set-language EN Engish", "step form-close", "step exit"});
        QTest::newRow("lang-inside-argument")
            << "X-LANG:EN" << true << QString()
            << startupCourse({"step set-language EN Engish", "step form-close", "step exit"});
        QTest::newRow("lang-without-colon")
            << "-LANG" << true << QString()
            << startupCourse({"step set-language -L Engish", "step form-close", "step exit"});
        QTest::newRow("quit-lower-case")
            << "-quit" << true << "no"
            << startupCourse({"step activate-tray-icon", "step catalog-update", "step rebuild-menus",
                              "step open-startup-cameras", "step quit-request", Question, "step form-close",
                              "step exit"});
    }
    void firstCopyFollowsItsSwitch()
    {
        QFETCH(QString, argument);
        QFETCH(bool, updates);
        QFETCH(QString, answer);
        QFETCH(QStringList, course);
        setOption("CheckForUpdatesOnStartup", updates ? 1 : 0);

        TCopy first(m_env, argument, answer);
        if (course.contains("step event-loop")) {
            QVERIFY2(first.waitForLine("step event-loop"), qPrintable(first.output()));
            stop(first);
        } else if (course.contains("step options-window")) {
            QVERIFY2(first.waitForLine("dialog-open frmOptionsForm"), qPrintable(first.output()));
            stop(first);
        } else {
            QVERIFY2(first.finished(), qPrintable(first.output()));
        }
        QCOMPARE(first.course(), course);
        const auto language = option("Language");
        if (argument.toUpper().contains("-LANG")) {
            QVERIFY(language);
            QCOMPARE(language->Data, QByteArray("Engish\0", 7));
        } else {
            QVERIFY2(!language, "the options were saved by a start that changes none");
        }
    }

    void secondCopyHandsOverItsRequest_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("message");
        QTest::newRow("none") << QString() << "WM_SHOWOPTIONS";
        QTest::newRow("autostart-start") << "-start"
                                         << "WM_SHOWABOUT";
        QTest::newRow("lang") << "-LANG:EN"
                              << "WM_SHOWABOUT";
        QTest::newRow("startoptions") << "-STARTOPTIONS"
                                      << "WM_SHOWABOUT";
        QTest::newRow("unknown") << "whatever"
                                 << "WM_SHOWABOUT";
    }
    void secondCopyHandsOverItsRequest()
    {
        QFETCH(QString, argument);
        QFETCH(QString, message);
        TCopy first(m_env, "-start", "no");
        QVERIFY2(first.waitForLine("step event-loop"), qPrintable(first.output()));
        {
            useStores();
            QVERIFY(TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey)
                        .writeString("Language", "Custom"));
            TRegistryStore::closeAll();
        }

        TCopy second(m_env, argument, QString());
        QVERIFY2(second.finished(), qPrintable(second.output()));
        QVERIFY(first.waitForLine("message " + message));
        if (argument.isEmpty())
            QVERIFY2(first.waitForLine("dialog-open frmOptionsForm"), qPrintable(first.output()));
        QCOMPARE(second.course(),
                 (QStringList{"step load-options", "step load-messages", "step single-instance second-copy",
                              "step notify " + message, "step notify-done " + message + " delivered"}));
        QCOMPARE(option("Language")->Data, QByteArray("Custom\0", 7));
        stop(first);
    }

    // A favourite deleted by an import while the program was not running leaves its kept picture
    // behind; the next start removes it and keeps the picture of the favourite that is still there.
    void startRemovesKeptPicturesOfDeletedFavourites()
    {
        useStores();
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey + "\\Harbour")
                    .writeString("URL", "http://127.0.0.1:1/cam.jpg"));
        TRegistryStore::closeAll();
        // Beside the store, where the program looks for them while VREL_USER_REGISTRY is set.
        QVERIFY(QDir().mkpath(path("pictures")));
        const auto pictureOf = [this](const QString& description) {
            const QByteArray key = (RegistryLayout::MyFavoritesKey + "\\" + description).toLower().toUtf8();
            return path("pictures/") + QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex();
        };
        for (const QString& file : {pictureOf("Harbour"), pictureOf("Deleted")}) {
            QFile picture(file);
            QVERIFY(picture.open(QIODevice::WriteOnly) && picture.write("jpeg") == 4);
        }

        TCopy first(m_env, "-start", "no");
        QVERIFY2(first.waitForLine("step event-loop"), qPrintable(first.output()));
        QTRY_VERIFY(!QFile::exists(pictureOf("Deleted")));
        QVERIFY(QFile::exists(pictureOf("Harbour")));
        stop(first);
    }

    // The first copy is stopped while the request is on its way, so a second copy that did not
    // wait would end before the question was ever asked.
    void quitFromSecondCopyWaitsForTheAnswer()
    {
        setOption("LastUpdateSize", 7);
        useStores();
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey + "\\Alpha")
                    .writeString("URL", ""));
        TRegistryStore::closeAll();
        TCopy first(m_env, "-start", "yes");
        QVERIFY2(first.waitForLine("step event-loop"), qPrintable(first.output()));
        ::kill(static_cast<pid_t>(first.process().processId()), SIGSTOP);

        TCopy second(m_env, "-QUIT", QString());
        QVERIFY2(second.waitForLine("step notify WM_QUITREQUEST"), qPrintable(second.output()));
        const bool waited =
            second.process().state() == QProcess::Running && !second.process().waitForFinished(500);
        ::kill(static_cast<pid_t>(first.process().processId()), SIGCONT);
        QVERIFY2(waited, "the second copy ended before the running copy had handled the request");

        QVERIFY2(second.finished(), qPrintable(second.output()));
        QVERIFY(second.lines().contains("step notify-done WM_QUITREQUEST delivered"));
        QVERIFY2(first.finished(), qPrintable(first.output()));
        const QStringList course = first.course();
        QCOMPARE(course.mid(course.indexOf("message WM_QUITREQUEST")),
                 (QStringList{"message WM_QUITREQUEST", Question, "step form-close", "step exit"}));
        QVERIFY(!option("LastUpdateSize"));
        useStores();
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey + "\\Alpha"));
    }

    // With ShowTipsOnStartup the start-up waits in the tip of the day. A quit request closes
    // it; the window's check box is stored all the same, and the start-up goes no further.
    void tipOfTheDayWaitsAtStartup()
    {
        setOption("ShowTipsOnStartup", 1);
        TCopy first(m_env, "-start", "no");
        QVERIFY2(first.waitForLine("dialog-open frmTipsForm"), qPrintable(first.output()));
        stop(first);
        QCOMPARE(first.course(),
                 startupCourse({"step activate-tray-icon", "step tip-of-the-day", "message WM_QUITREQUEST",
                                Question, "step form-close", "step exit"}));
        QVERIFY(first.lines().contains("dialog-close frmTipsForm rejected"));
        QCOMPARE(option("ShowTipsOnStartup")->Data, QByteArray("\x01\0\0\0", 4));
        QVERIFY2(option("Language"), "closing the tip of the day saves the options");
    }

    void simultaneousStartsMakeOneFirstCopy()
    {
        constexpr int Copies = 5;
        std::vector<std::unique_ptr<TCopy>> copies;
        for (int i = 0; i < Copies; ++i)
            copies.push_back(std::make_unique<TCopy>(m_env, "-start", "no"));
        TCopy* first = nullptr;
        for (auto& copy : copies) {
            QVERIFY(copy->waitForLine("step load-messages"));
            QTRY_VERIFY_WITH_TIMEOUT(copy->lines().contains("step single-instance first-copy") ||
                                         copy->lines().contains("step single-instance second-copy"),
                                     LineWaitMs);
            if (copy->lines().contains("step single-instance first-copy")) {
                QVERIFY2(!first, "two copies became the first copy");
                first = copy.get();
            }
        }
        QVERIFY(first);
        for (auto& copy : copies) {
            if (copy.get() != first) {
                QVERIFY2(copy->finished(), qPrintable(copy->output()));
                QVERIFY(copy->lines().contains("step notify-done WM_SHOWABOUT delivered"));
                QVERIFY(!copy->lines().contains("step activate-tray-icon"));
            }
        }
        QVERIFY2(first->waitForLine("step event-loop"), qPrintable(first->output()));
        QTRY_COMPARE_WITH_TIMEOUT(first->lines().count("message WM_SHOWABOUT"), Copies - 1, LineWaitMs);
        stop(*first);
    }

    void killedFirstCopyBlocksNothing()
    {
        {
            TCopy killed(m_env, "-start", "no");
            QVERIFY2(killed.waitForLine("step event-loop"), qPrintable(killed.output()));
            ::kill(static_cast<pid_t>(killed.process().processId()), SIGKILL);
            killed.process().waitForFinished();
        }
        TCopy next(m_env, "-start", "no");
        QVERIFY2(next.waitForLine("step event-loop"), qPrintable(next.output()));
        QVERIFY(next.lines().contains("step single-instance first-copy"));
        stop(next);
    }

    // A socket path may not exceed 107 bytes; a runtime folder of 200 characters must still
    // leave later starts a way to reach (and end) the running copy.
    void longRuntimeFolderStillReachesTheRunningCopy()
    {
        const QString runtime = path(QString(199 - m_dir->path().size(), QLatin1Char('r')));
        QCOMPARE(runtime.size(), 200);
        QVERIFY(QDir().mkpath(runtime));
        QFile::setPermissions(runtime,
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        m_env.insert("XDG_RUNTIME_DIR", runtime);
        TCopy first(m_env, "-start", "no");
        QVERIFY2(first.waitForLine("step event-loop"), qPrintable(first.output()));
        QVERIFY2(!first.output().contains("cannot reach"), qPrintable(first.output()));

        TCopy about(m_env, "-start", QString());
        QVERIFY2(about.finished(), qPrintable(about.output()));
        QVERIFY(about.lines().contains("step notify-done WM_SHOWABOUT delivered"));
        QVERIFY(first.waitForLine("message WM_SHOWABOUT"));
        stop(first);
    }

    void unwritableConfigStartsWithDefaults()
    {
        QFile blocker(path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QProcessEnvironment env = m_env;
        env.insert("XDG_CONFIG_HOME", path("blocker/config"));
        env.remove("VREL_USER_REGISTRY");
        TCopy first(env, "-start", "no");
        // The defaults show the tip of the day, which waits for the user.
        QVERIFY2(first.waitForLine("dialog-open frmTipsForm"), qPrintable(first.output()));
        const QStringList said = first.lines().filter("starting with the default options");
        QCOMPARE(said.size(), 1);
        QVERIFY(said.first().startsWith("vrel-web-camera: the settings store " + path("blocker/config")));
        QVERIFY(first.course().contains("step tip-of-the-day"));

        TCopy quitter(env, "-quit", QString());
        QVERIFY2(quitter.finished(), qPrintable(quitter.output()));
        QVERIFY2(first.finished(), qPrintable(first.output()));
    }

    void autostartEntryFollowsTheOption()
    {
        const QString entry = path("config/autostart/vrel-web-camera.desktop");
        setOption("StartOnStartup", 1);
        TCopy on(m_env, "-startoptions", QString());
        QVERIFY2(on.finished(), qPrintable(on.output()));
        QFile file(entry);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
        file.close();
        QVERIFY(lines.contains("Exec=" + QFileInfo(Program).canonicalFilePath() + " -start"));
        QVERIFY(lines.contains("Type=Application"));
        QCOMPARE(option("ExePath"), std::nullopt);

        setOption("StartOnStartup", 0);
        TCopy off(m_env, "-startoptions", QString());
        QVERIFY2(off.finished(), qPrintable(off.output()));
        QVERIFY(!QFileInfo::exists(entry));
    }

    void startupCamerasOpenInRegistryOrder()
    {
        useStores();
        for (const auto& [name, flag] :
             std::vector<std::pair<QString, int>>{{"Zulu", 1}, {"Mike", 0}, {"alpha", 1}}) {
            TRegKey key =
                TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey + "\\" + name);
            QVERIFY(key.writeString("URL", ""));
            QVERIFY(key.writeDword("RunOnStartup", flag));
        }
        QVERIFY(TRegKey::create(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\F\\Catalog Cam")
                    .writeDword("RunOnStartup", 1));
        TRegistryStore::closeAll();
        TCopy first(m_env, "-startoptions", QString());
        QVERIFY2(first.finished(), qPrintable(first.output()));
        QCOMPARE(first.course().filter(QRegularExpression("^camera-open ")),
                 (QStringList{"camera-open alpha", "camera-open Zulu"}));
    }
};

QTEST_GUILESS_MAIN(tst_startup)
#include "tst_startup.moc"
