#include "camera/RegistryLayout.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "tests/support/TTestHttpServer.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
constexpr int WaitMs = 30000;

mode_t modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

} // namespace

// How the running program ends when the system asks it to, and what it leaves in its private
// temporary folder.
class tst_signals : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QProcessEnvironment m_env;
    TTestHttpServer m_server;

    QString path(const QString& name) const { return m_dir->filePath(name); }
    // Where the program keeps its downloads, with TMPDIR pointing into this test's folder.
    QString privateFolder() const { return path(QStringLiteral("tmp/vrel-web-camera-%1").arg(::geteuid())); }
    QStringList folderContent() const
    {
        return QDir(privateFolder()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

    void start(QProcess& program, const QStringList& arguments = {QStringLiteral("-start")})
    {
        program.setProcessEnvironment(m_env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(Program, arguments);
        QVERIFY(program.waitForStarted());
    }

    static bool waitForOutput(QProcess& program, QString& output, const QString& wanted)
    {
        QDeadlineTimer deadline(WaitMs);
        while (!output.contains(wanted) && !deadline.hasExpired() &&
               program.state() != QProcess::NotRunning) {
            program.waitForReadyRead(100);
            output += QString::fromUtf8(program.readAll());
        }
        output += QString::fromUtf8(program.readAll());
        return output.contains(wanted);
    }

    static void kill(QProcess& program)
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_server.start());
        qputenv("no_proxy", "*");
    }

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
        m_env.insert("TMPDIR", path("tmp"));
        m_env.insert("XDG_RUNTIME_DIR", path("runtime"));
        m_env.insert("XDG_CONFIG_HOME", path("config"));
        m_env.insert("XDG_DATA_HOME", path("data"));
        m_env.insert("HOME", path("home"));
        m_env.insert("VREL_USER_REGISTRY", path("user.db"));
        m_env.insert("VREL_MACHINE_REGISTRY", path("machine.db"));
        m_env.insert("VREL_WEB_HOST", "127.0.0.1:1");
        m_env.insert("no_proxy", "*");
        m_server.clearRoutes();
        // The tip of the day and the catalog update would run before anything else happens.
        TRegistryStore::closeAll();
        qputenv("VREL_USER_REGISTRY", path("user.db").toUtf8());
        TRegKey options = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
        QVERIFY(options.writeDword("ShowTipsOnStartup", 0));
        QVERIFY(options.writeDword("CheckForUpdatesOnStartup", 0));
        options.close();
        TRegistryStore::closeAll();
    }

    void cleanup()
    {
        TRegistryStore::closeAll();
        m_dir.reset();
    }

    void endsAsExitDoesAndRemovesThePartialDownload_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::addColumn<QString>("name");
        QTest::newRow("SIGTERM") << int(SIGTERM) << "SIGTERM";
        QTest::newRow("SIGINT") << int(SIGINT) << "SIGINT";
        QTest::newRow("SIGHUP") << int(SIGHUP) << "SIGHUP";
    }
    // Camera pictures arrive in memory; the catalog is the download that lands in a file.
    void endsAsExitDoesAndRemovesThePartialDownload()
    {
        QFETCH(int, signalNumber);
        QFETCH(QString, name);
        TScriptedResponse stall = TScriptedResponse::ok(QByteArray(7144, ';'), "text/plain");
        stall.StallAfter = 3000;
        m_server.route(QStringLiteral("/info/vwcfavorites.reg"), stall);
        m_env.insert("VREL_WEB_HOST", QStringLiteral("127.0.0.1:%1").arg(m_server.port()));
        TRegistryStore::closeAll();
        TRegKey options = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
        QVERIFY(options.writeDword("CheckForUpdatesOnStartup", 1));
        options.close();
        TRegistryStore::closeAll();

        QProcess program;
        auto end = qScopeGuard([&] { kill(program); });
        start(program);
        QString output;
        QVERIFY2(waitForOutput(program, output, "vrel-trace: step catalog-update"), qPrintable(output));
        // The size probe, then the download itself, held after 3000 bytes.
        QVERIFY(m_server.waitForRequests(2, WaitMs));
        QVERIFY(m_server.waitForStalled(1, WaitMs));
        // The partial download, readable by its user only.
        const auto partialFiles = [this] {
            QStringList files = folderContent();
            files.removeAll(QStringLiteral(".in-use"));
            return files;
        };
        QTRY_COMPARE_WITH_TIMEOUT(partialFiles().size(), 1, WaitMs);
        const QString partial = privateFolder() + "/" + partialFiles().first();
        QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(partial).size(), qint64(3000), WaitMs);
        QCOMPARE(modeOf(partial) & 0777, mode_t(0600));

        QCOMPARE(::kill(static_cast<pid_t>(program.processId()), signalNumber), 0);
        QVERIFY(program.waitForFinished(WaitMs));
        output += QString::fromUtf8(program.readAll());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        QVERIFY2(output.contains("vrel-trace: signal " + name + "\n"), qPrintable(output));
        QVERIFY2(output.contains("vrel-trace: step form-close\n"), qPrintable(output));
        QVERIFY2(output.contains("vrel-trace: step exit\n"), qPrintable(output));
        QCOMPARE(folderContent(), QStringList{QStringLiteral(".in-use")});
    }

    // Started without an argument the program waits in the options window's own loop.
    void endsFromInsideAModalDialog()
    {
        QProcess program;
        auto end = qScopeGuard([&] { kill(program); });
        start(program, {});
        QString output;
        QVERIFY2(waitForOutput(program, output, "vrel-trace: dialog-open frmOptionsForm"),
                 qPrintable(output));
        QCOMPARE(::kill(static_cast<pid_t>(program.processId()), SIGTERM), 0);
        QVERIFY(program.waitForFinished(WaitMs));
        output += QString::fromUtf8(program.readAll());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QVERIFY2(output.contains("vrel-trace: dialog-close frmOptionsForm rejected\n"), qPrintable(output));
        QVERIFY2(output.endsWith("vrel-trace: step exit\n"), qPrintable(output));
    }

    // What a copy killed outright left behind goes at the next start, and only the first copy
    // clears the folder: a second one hands its request over and touches nothing.
    void firstCopyRemovesLeftovers()
    {
        QVERIFY(QDir().mkpath(privateFolder()));
        QVERIFY(QFile::setPermissions(privateFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                           QFileDevice::ExeOwner));
        const QString leftover = privateFolder() + "/4523118812345.gif";
        {
            QFile file(leftover);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(3000, 'j'));
        }

        QProcess first;
        auto end = qScopeGuard([&] { kill(first); });
        start(first);
        QString output;
        QVERIFY2(waitForOutput(first, output, "vrel-trace: step event-loop"), qPrintable(output));
        QVERIFY2(output.contains("vrel-trace: temp-removed " + leftover + "\n"), qPrintable(output));
        QVERIFY(!QFile::exists(leftover));

        const QString later = privateFolder() + "/4523118899999.gif";
        {
            QFile file(later);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("from the running copy");
        }
        QProcess second;
        auto endSecond = qScopeGuard([&] { kill(second); });
        start(second);
        QVERIFY(second.waitForFinished(WaitMs));
        const QString secondOutput = QString::fromUtf8(second.readAll());
        QVERIFY2(secondOutput.contains("vrel-trace: step single-instance second-copy"),
                 qPrintable(secondOutput));
        QVERIFY(!secondOutput.contains("temp-removed"));
        QVERIFY(QFile::exists(later));

        QCOMPARE(::kill(static_cast<pid_t>(first.processId()), SIGTERM), 0);
        QVERIFY(first.waitForFinished(WaitMs));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
    }
};

QTEST_GUILESS_MAIN(tst_signals)
#include "tst_signals.moc"
