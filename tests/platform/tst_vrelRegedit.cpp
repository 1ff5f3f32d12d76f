#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"

#include <unistd.h>

namespace {

const QString Tool = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");
const QString Catalog =
    QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\Favorites");

struct TRun
{
    int Exit = -1;
    QByteArray Out;
    QByteArray Err;
};

} // namespace

class tst_vrelRegedit : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

    TRun run(const QStringList& args) { return runTool(args, false); }

    // Root ignores file permissions; a folder that may not be written needs another user.
    TRun runAsUser(const QStringList& args, bool keepStoresOpen = false)
    {
        return runTool(args, true, keepStoresOpen);
    }

    TRun runTool(const QStringList& args, bool asUser, bool keepStoresOpen = false)
    {
        // The tool opens the stores itself; ours must not hold them meanwhile.
        if (!keepStoresOpen)
            TRegistryStore::closeAll();
        QProcess p;
        if (asUser && geteuid() == 0)
            p.start("setpriv",
                    QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", Tool} + args);
        else
            p.start(Tool, args);
        TRun r;
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit) {
            // Killed in the middle (or, on a very fast machine, just after the end): never half of it.
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.Exit = p.exitCode();
        r.Out = p.readAllStandardOutput();
        r.Err = p.readAllStandardError();
        return r;
    }

    // A folder of stores that the other user may enter, and write only when writable.
    QString storeFolder(bool writable, bool switchStores = true)
    {
        QString folder = m_dir.filePath("stores");
        QDir().mkpath(folder);
        QFile::setPermissions(m_dir.path(), QFileDevice::Permissions(0x7755));
        QFile::setPermissions(folder,
                              writable ? QFileDevice::Permissions(0x7777) : QFileDevice::Permissions(0x5555));
        if (switchStores) {
            TRegistryStore::closeAll();
            m_dir.Set("VREL_USER_REGISTRY", QDir(folder).filePath("user.db").toUtf8());
            m_dir.Set("VREL_MACHINE_REGISTRY", QDir(folder).filePath("machine.db").toUtf8());
        }
        return folder;
    }

    QString write(const QString& name, const QByteArray& content)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(content) != content.size())
            return {};
        return f.fileName();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.Reset());
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Seed").writeString("v", "x"));
    }
    void cleanup() { TRegistryStore::closeAll(); }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");

        QTest::newRow("no-arguments") << QStringList{} << 2 << "no command given";
        QTest::newRow("unknown-command")
            << QStringList{"frobnicate"} << 2 << "unknown command \"frobnicate\"";
        QTest::newRow("silent-without-file") << QStringList{"/S"} << 2 << "/S takes exactly one file";
        QTest::newRow("import-two-files")
            << QStringList{"import", "a.reg", "b.reg"} << 2 << "import takes exactly one file";
        QTest::newRow("only-without-key") << QStringList{"import", "--only"} << 2 << "--only needs a key";
        QTest::newRow("only-with-empty-key")
            << QStringList{"import", "--only", "", "@good"} << 2 << "--only needs a key";
        QTest::newRow("export-without-key") << QStringList{"export"} << 2 << "export takes a key";
        QTest::newRow("missing-file-silent") << QStringList{"/S", "@missing.reg"} << 1 << "no such file";
        QTest::newRow("missing-file-import") << QStringList{"import", "@missing.reg"} << 1 << "no such file";
        QTest::newRow("folder") << QStringList{"/s", "@."} << 1 << "not a regular file";
        QTest::newRow("device") << QStringList{"/S", "/dev/zero"} << 1 << "not a regular file";
        QTest::newRow("not-a-registry-file") << QStringList{"/S", "@page.html"} << 1 << "not a registry file";
        QTest::newRow("only-bad-key") << QStringList{"import", "--only", "SOFTWARE\\X", "@good"} << 1
                                      << "the key to import into is not valid";
        QTest::newRow("export-missing-key")
            << QStringList{"export", "HKCU\\Nope"} << 1 << "no such key: HKEY_CURRENT_USER\\Nope";
        QTest::newRow("export-other-root") << QStringList{"export", "HKEY_USERS\\X"} << 1
                                           << "not a key path: the root HKEY_USERS does not exist here";
        QTest::newRow("export-unwritable-file")
            << QStringList{"export", "HKCU\\Seed", "/proc/vrel-no-dir/x.reg"} << 1
            << "cannot write /proc/vrel-no-dir/x.reg";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        write("page.html", "<html>Not found</html>\r\n");
        write("good", "REGEDIT4\r\n\r\n[HKCU\\Seed]\r\n\"v\"=\"changed\"\r\n");
        for (QString& arg : args) {
            if (arg.startsWith('@'))
                arg = m_dir.filePath(arg.mid(1));
        }
        const TRun r = run(args);
        QCOMPARE(r.Exit, exitCode);
        const QStringList lines = QString::fromUtf8(r.Err).split('\n', Qt::SkipEmptyParts);
        QVERIFY(!lines.isEmpty());
        QVERIFY2(lines.first().startsWith("vrel-regedit: " + message), r.Err.constData());
        // A run-time failure is one line; a usage error adds the usage line.
        QCOMPARE(lines.size(), exitCode == 2 ? 2 : 1);
        if (exitCode == 2)
            QVERIFY(lines.last().startsWith("usage: vrel-regedit"));
        QVERIFY(r.Out.isEmpty());
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Seed").readString("v"), std::optional<QString>("x"));
    }

    void help_data()
    {
        QTest::addColumn<QString>("flag");
        QTest::newRow("slash-question") << "/?";
        QTest::newRow("double-dash") << "--help";
    }
    void help()
    {
        QFETCH(QString, flag);
        const TRun r = run({flag});
        QCOMPARE(r.Exit, 0);
        QVERIFY(r.Out.startsWith("usage: vrel-regedit /S FILE"));
        QVERIFY(r.Out.contains(m_dir.filePath("machine.db").toUtf8()));
        QVERIFY(r.Err.isEmpty());
    }

    void silentImportWritesAndSaysNothing()
    {
        const QString file =
            write("a.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Seed\\New]\r\n\"n\"=dword:2a\r\n"
                           "this line is junk\r\n");
        const TRun r = run({"/S", file});
        QCOMPARE(r.Exit, 0);
        QCOMPARE(r.Err, QByteArray());
        QCOMPARE(r.Out, QByteArray());
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Seed\\New").readDword("n"), std::optional<qint32>(42));
    }

    void importReportsWhatItDid()
    {
        const QString file = write("a.reg", "REGEDIT4\r\n\r\n[HKCU\\Seed]\r\n\"v\"=\"y\"\r\n\"w\"=dword:\r\n"
                                            "[HKCU\\Seed\\Gone]\r\n[-HKCU\\Seed\\Gone]\r\n\"v\"=-\r\n");
        const TRun r = run({"import", file});
        QCOMPARE(r.Exit, 0);
        QCOMPARE(
            QString::fromUtf8(r.Err).split('\n', Qt::SkipEmptyParts),
            (QStringList{"vrel-regedit: " + file +
                             ": 2 keys and 1 values written, 1 keys and 0 values deleted, 2 lines skipped",
                         "vrel-regedit: line 5 skipped: dword: needs 1 to 8 hex digits",
                         "vrel-regedit: line 8 skipped: no key is open after the deletion on line 7"}));
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Seed").readString("v"), std::optional<QString>("y"));
    }

    void onlyKeepsTheStartUpEntryOut()
    {
        const QString file = write(
            "catalog.reg", "REGEDIT4\r\n\r\n[" + Catalog.toUtf8() +
                               "\\Europe\\Cam]\r\n"
                               "\"URL\"=\"http://cam.example/image.jpg\"\r\n\r\n"
                               "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
                               "\"Vrel Web Camera\"=\"/tmp/evil\"\r\n");
        const TRun r = run({"import", "--only", Catalog, file});
        QCOMPARE(r.Exit, 0);
        QVERIFY2(r.Err.contains("line 6 skipped: outside " + Catalog.toUtf8()), r.Err.constData());
        QVERIFY(r.Err.contains("line 7 skipped"));
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "SOFTWARE\\Microsoft"));
        QVERIFY(TRegKey::open(TRegRoot::LocalMachine, Catalog.mid(19) + "\\Europe\\Cam").hasValue("URL"));
    }

    void storeInReadOnlyFolderIsRead_data()
    {
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("heldOpen");
        QTest::newRow("user-store") << "HKEY_CURRENT_USER" << false;
        QTest::newRow("machine-store") << "HKEY_LOCAL_MACHINE" << false;
        // An open writer keeps its -shm file beside the store; the reader then shares it.
        QTest::newRow("store-open-in-a-writer") << "HKEY_LOCAL_MACHINE" << true;
    }
    void storeInReadOnlyFolderIsRead()
    {
        QFETCH(QString, root);
        QFETCH(bool, heldOpen);
        const TRegRoot which = root == "HKEY_CURRENT_USER" ? TRegRoot::CurrentUser : TRegRoot::LocalMachine;
        const QString folder = storeFolder(true);
        const auto restore =
            qScopeGuard([&] { QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)); });
        QVERIFY(TRegKey::create(which, "Shared\\Cam").writeString("URL", "http://cam.example/a.jpg"));
        if (!heldOpen)
            TRegistryStore::closeAll();
        storeFolder(false, false);
        const QString file =
            write("a.reg", "REGEDIT4\r\n\r\n[" + root.toUtf8() + "\\Shared\\Cam]\r\n\"URL\"=\"new\"\r\n");
        QFile::setPermissions(file, QFileDevice::Permissions(0x6644));

        const TRun exported = runAsUser({"export", root + "\\Shared"}, heldOpen);
        QCOMPARE(exported.Err, QByteArray());
        QCOMPARE(exported.Exit, 0);
        QCOMPARE(exported.Out, "REGEDIT4\r\n\r\n[" + root.toUtf8() + "\\Shared]\r\n\r\n[" + root.toUtf8() +
                                   "\\Shared\\Cam]\r\n\"URL\"=\"http://cam.example/a.jpg\"\r\n\r\n");
        const TRun imported = runAsUser({"/S", file}, heldOpen);
        QCOMPARE(imported.Exit, 1);
        QVERIFY2(imported.Err.startsWith("vrel-regedit: cannot write " + root.toUtf8()),
                 imported.Err.constData());
        QCOMPARE(TRegKey::open(which, "Shared\\Cam").readString("URL"),
                 std::optional<QString>("http://cam.example/a.jpg"));
    }

    void damagedStoreIsOneLine_data()
    {
        QTest::addColumn<QStringList>("damaged"); // store file names
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("folderWritable");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("exitCode");
        const QString moved = "is not a readable store; kept it as %1.damaged-";
        const QString given = "; nothing is read from or saved to it";
        QTest::newRow("garbage-file") << QStringList{"user.db"} << "garbage" << true << moved << 0;
        QTest::newRow("read-only-garbage-file")
            << QStringList{"user.db"} << "read-only-garbage" << true << moved << 0;
        QTest::newRow("garbage-in-read-only-folder")
            << QStringList{"user.db"} << "garbage" << false
            << "%1 is not a readable store and cannot be moved aside" + given << 1;
        QTest::newRow("folder-in-place-of-store")
            << QStringList{"user.db"} << "folder" << true << "%1 is a folder, not a store" + given << 1;
        QTest::newRow("both-stores-garbage")
            << QStringList{"user.db", "machine.db"} << "garbage" << true << moved << 0;
    }
    void damagedStoreIsOneLine()
    {
        QFETCH(QStringList, damaged);
        QFETCH(QString, kind);
        QFETCH(bool, folderWritable);
        QFETCH(QString, says);
        QFETCH(int, exitCode);
        const QString folder = storeFolder(true);
        const auto restore =
            qScopeGuard([&] { QFile::setPermissions(folder, QFileDevice::Permissions(0x7777)); });
        for (const QString& name : damaged) {
            const QString path = QDir(folder).filePath(name);
            if (kind == "folder") {
                QVERIFY(QDir().mkpath(path + "/inside"));
                continue;
            }
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'G'));
            f.close();
            if (kind == "read-only-garbage")
                QVERIFY(f.setPermissions(QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                         QFileDevice::ReadOther));
        }
        storeFolder(folderWritable, false);
        const QString file = write("a.reg", "REGEDIT4\r\n\r\n[HKCU\\Cam]\r\n\"URL\"=\"u\"\r\n"
                                            "[HKLM\\Cam]\r\n\"URL\"=\"m\"\r\n");
        QFile::setPermissions(file, QFileDevice::Permissions(0x6644));
        const TRun r = runAsUser({"/S", file});
        QCOMPARE(r.Exit, exitCode);
        QStringList lines;
        for (const QString& line : QString::fromUtf8(r.Err).split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith("registry: "))
                lines.append(line);
        }
        QCOMPARE(lines.size(), damaged.size());
        for (int i = 0; i < damaged.size(); ++i)
            QVERIFY2(lines[i].contains(says.arg(QDir(folder).filePath(damaged[i]))), qPrintable(lines[i]));
    }

    void killedImportLeavesAllOrNothing()
    {
        constexpr int Cameras = 60000;
        QByteArray text("REGEDIT4\r\n\r\n");
        for (int i = 0; i < Cameras; ++i)
            text += "[HKLM\\Big\\Cam " + QByteArray::number(i) + "]\r\n\"URL\"=\"http://cam.example/" +
                    QByteArray::number(i) + "\"\r\n";
        const QString file = write("big.reg", text);
        TRegistryStore::closeAll();
        QProcess p;
        p.start(Tool, {"/S", file});
        QVERIFY(p.waitForStarted());
        // Pages of the open transaction reach the journal long before it commits.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_dir.filePath("machine.db-wal")).size() > 0 ||
                                     p.state() == QProcess::NotRunning,
                                 60000);
        // Killed in the middle (or, on a very fast machine, just after the end): never half of it.
        p.kill();
        p.waitForFinished();
        const int written = TRegKey::open(TRegRoot::LocalMachine, "Big").subKeyCount();
        QVERIFY2(written == 0 || written == Cameras, qPrintable(QString::number(written)));
    }

    void exportAndImportRoundTrip()
    {
        TRegKey cam = TRegKey::create(TRegRoot::LocalMachine, Catalog.mid(19) + "\\Europe\\Cam \"1\"");
        QVERIFY(cam.writeString("URL", "http://cam.example/ä.jpg"));
        QVERIFY(cam.writeDword("Scale", 50));
        QVERIFY(cam.setValue("Raw", TRegType::Binary, QByteArray(100, '\xab')));

        const QString file = m_dir.filePath("out.reg");
        const TRun toFile = run({"export", Catalog, file});
        QCOMPARE(toFile.Exit, 0);
        QCOMPARE(toFile.Err, QByteArray());
        const TRun toStdout = run({"export", "hklm\\" + Catalog.mid(19)});
        QCOMPARE(toStdout.Exit, 0);
        QFile written(file);
        QVERIFY(written.open(QIODevice::ReadOnly));
        const QByteArray text = written.readAll();
        QCOMPARE(toStdout.Out, text);
        QVERIFY(text.startsWith("REGEDIT4\r\n\r\n[" + Catalog.toUtf8() + "]\r\n"));

        QVERIFY(TRegKey::deleteTree(TRegRoot::LocalMachine, "SOFTWARE"));
        const TRun back = run({"/S", file});
        QCOMPARE(back.Exit, 0);
        const TRegKey again = TRegKey::open(TRegRoot::LocalMachine, Catalog.mid(19) + "\\Europe\\Cam \"1\"");
        QCOMPARE(again.readString("URL"), std::optional<QString>("http://cam.example/ä.jpg"));
        QCOMPARE(again.readDword("Scale"), std::optional<qint32>(50));
        QCOMPARE(again.queryValue("Raw")->Data, QByteArray(100, '\xab'));
    }

    // An export shows the key as it was at one moment: keys written together in one transaction
    // while it runs come out with the values of the same transaction. Between "AAA" (exported
    // among the first keys) and "ZZZ" (among the last) lie thousands of keys, and this process
    // rewrites both, each time together, for as long as the export runs.
    void exportSeesOneMomentWhileWritesGoOn()
    {
        constexpr int Fillers = 20000;
        {
            TRegTransaction tx(TRegRoot::CurrentUser);
            for (int i = 0; i < Fillers; ++i)
                QVERIFY(TRegKey::create(TRegRoot::CurrentUser,
                                        QStringLiteral("Snap\\M%1").arg(i, 5, 10, QChar('0')))
                            .writeString("URL", "http://cam.example/"));
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Snap\\AAA").writeDword("n", 0));
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Snap\\ZZZ").writeDword("n", 0));
            QVERIFY(tx.commit());
        }
        const QString file = m_dir.filePath("snap.reg");
        QProcess p;
        p.start(Tool, {"export", "HKCU\\Snap", file});
        QVERIFY(p.waitForStarted());
        qint32 written = 0;
        while (p.state() != QProcess::NotRunning) {
            ++written;
            TRegTransaction tx(TRegRoot::CurrentUser);
            QVERIFY(TRegKey::open(TRegRoot::CurrentUser, "Snap\\AAA").writeDword("n", written));
            QVERIFY(TRegKey::open(TRegRoot::CurrentUser, "Snap\\ZZZ").writeDword("n", written));
            QVERIFY(tx.commit());
            p.waitForFinished(0);
        }
        QCOMPARE(p.exitCode(), 0);
        QFile exported(file);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QByteArray text = exported.readAll();
        const auto valueOf = [&text](const QByteArray& key) {
            const QByteArray head = "[HKEY_CURRENT_USER\\Snap\\" + key + "]\r\n\"n\"=dword:";
            const qsizetype at = text.indexOf(head);
            return at < 0 ? QByteArray() : text.mid(at + head.size(), 8);
        };
        QVERIFY(!valueOf("AAA").isEmpty());
        QCOMPARE(valueOf("ZZZ"), valueOf("AAA"));
        // The writes went on during the export, not only before it began.
        QVERIFY2(valueOf("AAA").toInt(nullptr, 16) < written - 1, qPrintable(QString::number(written)));
    }
};

QTEST_GUILESS_MAIN(tst_vrelRegedit)
#include "tst_vrelRegedit.moc"
