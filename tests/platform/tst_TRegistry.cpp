#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>

#include "tests/support/TStoreSandbox.h"
#include "tests/support/TTraceCapture.h"

#include <sqlite3.h>
#include <unistd.h>

namespace {
const char* const WriterEnv = "VREL_TEST_REGISTRY_WRITER";
const char* const HolderEnv = "VREL_TEST_REGISTRY_HOLDER";
constexpr int WritesPerProcess = 150;

// Child-process mode: hammer the store with writes that each must succeed.
int runWriter(const QString& tag)
{
    TRegKey key = TRegKey::create(TRegRoot::CurrentUser, "Shared\\" + tag);
    for (int i = 0; i < WritesPerProcess; ++i) {
        if (!key.writeDword(QString("v%1").arg(i), i))
            return 3;
        if (!TRegKey::create(TRegRoot::CurrentUser, "Shared\\Common").writeString(tag, tag))
            return 4;
    }
    return 0;
}
// Child-process mode: another program's long write. Takes the write lock on the store, says
// "locked", then commits once the parent writes a line (or after holdMs, when given).
int runHolder(const QString& path, int holdMs)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(path).constData(), &db) != SQLITE_OK)
        return 3;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE; INSERT INTO keys(parent, name, fold) VALUES(1, 'Held', 'HELD')",
                     nullptr, nullptr, nullptr) != SQLITE_OK)
        return 4;
    std::printf("locked\n");
    std::fflush(stdout);
    if (holdMs > 0) {
        QThread::msleep(static_cast<unsigned long>(holdMs));
    } else {
        char line[16];
        if (!std::fgets(line, sizeof line, stdin))
            return 5;
    }
    const int rc = sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK ? 0 : 6;
}

} // namespace

class tst_TRegistry : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

    QString userDb() const { return m_dir.filePath("user.db"); }

    void startHolder(QProcess* holder, int holdMs)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(HolderEnv, QString::number(holdMs));
        holder->setProcessEnvironment(env);
        holder->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder->start(QCoreApplication::applicationFilePath(), {});
    }

private Q_SLOTS:
    void init() { QVERIFY(m_dir.Reset()); }
    void cleanup() { TRegistryStore::closeAll(); }

    void missingFileIsAnEmptyRegistry()
    {
        QVERIFY(!TRegKey::open(TRegRoot::CurrentUser, "SOFTWARE").isOpen());
        QVERIFY(!TRegKey::deleteTree(TRegRoot::CurrentUser, "SOFTWARE"));
        QVERIFY(!QFile::exists(userDb()));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "SOFTWARE\\A").isOpen());
        QVERIFY(QFile::exists(userDb()));
        QVERIFY(!QFile::exists(m_dir.filePath("machine.db")));
        QVERIFY(!TRegKey::open(TRegRoot::LocalMachine, "SOFTWARE\\A").isOpen());
    }

    void valuesKeepTypeAndBytes_data()
    {
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::newRow("sz") << TRegType::Sz << QByteArray("text\0", 5);
        QTest::newRow("binary-with-nuls") << TRegType::Binary << QByteArray("\0\1\2\0", 4);
        QTest::newRow("dword") << TRegType::Dword << QByteArray("\x78\x56\x34\x12", 4);
        QTest::newRow("multi-sz") << TRegType::MultiSz << QByteArray("a\0b\0\0", 5);
        QTest::newRow("unknown-type-11") << quint32(11) << QByteArray("xyz");
        QTest::newRow("empty-binary") << TRegType::Binary << QByteArray();
    }
    void valuesKeepTypeAndBytes()
    {
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "K").setValue("v", type, data));
        TRegistryStore::closeAll();
        const auto v = TRegKey::open(TRegRoot::CurrentUser, "K").queryValue("v");
        QVERIFY(v.has_value());
        QCOMPARE(v->Type, type);
        QCOMPARE(v->Data, data);
    }

    void typedReadsRefuseOtherTypes()
    {
        TRegKey k = TRegKey::create(TRegRoot::CurrentUser, "K");
        QVERIFY(k.writeString("s", "hello"));
        QVERIFY(k.writeDword("d", -2));
        QVERIFY(k.setValue("short", TRegType::Dword, QByteArray("\x05", 1)));
        QVERIFY(k.setValue("long", TRegType::Dword, QByteArray(8, '\1')));
        QVERIFY(k.setValue("x", TRegType::ExpandSz, QByteArray("%HOME%\0junk", 11)));
        QCOMPARE(k.queryValue("s")->Data, QByteArray("hello\0", 6));
        QCOMPARE(k.readString("s"), std::optional<QString>("hello"));
        QCOMPARE(k.readString("x"), std::optional<QString>("%HOME%"));
        QCOMPARE(k.readDword("d"), std::optional<qint32>(-2));
        QCOMPARE(k.readDword("short"), std::optional<qint32>(5));
        QVERIFY(!k.readDword("long"));
        QVERIFY(!k.readDword("s"));
        QVERIFY(!k.readString("d"));
        QVERIFY(!k.readString("missing"));
    }

    void namesIgnoreCaseButKeepIt()
    {
        TRegKey k = TRegKey::create(TRegRoot::CurrentUser, "Software\\My Favorites\\Cam One");
        QVERIFY(k.writeString("URL", "a"));
        QVERIFY(k.writeString("url", "b"));
        TRegKey again = TRegKey::open(TRegRoot::CurrentUser, "SOFTWARE\\my favorites\\CAM ONE");
        QVERIFY(again.isOpen());
        QCOMPARE(again.path(), QString("Software\\My Favorites\\Cam One"));
        QCOMPARE(again.valueNames(), QStringList{"URL"});
        QCOMPARE(again.readString("Url"), std::optional<QString>("b"));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "SOFTWARE\\MY FAVORITES").isOpen());
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Software").subKeyNames(), QStringList{"My Favorites"});
    }

    void defaultValueHasAnEmptyName()
    {
        TRegKey k = TRegKey::create(TRegRoot::CurrentUser, "K");
        QVERIFY(k.writeString(QString(), "default"));
        QCOMPARE(k.readString(QString()), std::optional<QString>("default"));
        QCOMPARE(k.values().size(), 1);
        QVERIFY(k.deleteValue(QString()));
        QVERIFY(!k.deleteValue(QString()));
    }

    void subKeysEnumerateUpperCased()
    {
        const QStringList created{"zed", "_x", "Alpha", "beta", "a b", "B1", "Ärger"};
        for (const QString& name : created)
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Root\\" + name).isOpen());
        TRegKey root = TRegKey::open(TRegRoot::CurrentUser, "Root");
        QCOMPARE(root.subKeyNames(), (QStringList{"a b", "Alpha", "B1", "beta", "zed", "_x", "Ärger"}));
        QCOMPARE(root.subKeyCount(), 7);
    }

    void deleteTreeRemovesTheWholeSubtree()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "A\\B\\C\\D").writeDword("v", 1));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "A\\B\\E").writeDword("v", 1));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "A\\Keep").writeDword("v", 1));
        TRegKey handle = TRegKey::open(TRegRoot::CurrentUser, "A\\B\\C");
        QVERIFY(TRegKey::deleteTree(TRegRoot::CurrentUser, "a\\b"));
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "A").subKeyNames(), QStringList{"Keep"});
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "A\\B\\C\\D"));
        // A handle to a deleted key must not write into nowhere.
        QVERIFY(!handle.writeDword("orphan", 1));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "A\\B").values().isEmpty());
    }

    void rootsAreSeparateFiles()
    {
        QVERIFY(TRegKey::create(TRegRoot::LocalMachine, "SOFTWARE\\X").writeDword("v", 1));
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "SOFTWARE\\X"));
        QVERIFY(QFile::exists(m_dir.filePath("machine.db")));
    }

    void rolledBackTransactionLeavesNothing()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Keep").writeDword("v", 1));
        {
            TRegTransaction tx(TRegRoot::CurrentUser);
            QVERIFY(tx.isActive());
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "New\\Deep").writeDword("v", 2));
            QVERIFY(TRegKey::deleteTree(TRegRoot::CurrentUser, "Keep"));
        }
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "New"));
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Keep").readDword("v"), std::optional<qint32>(1));
    }

    void damagedFileIsKeptAsideAndReplaced()
    {
        QFile f(userDb());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(4096, 'G'));
        f.close();
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "After").writeDword("v", 7));
        const QStringList aside = QDir(m_dir.path()).entryList({"user.db.damaged-*"});
        QCOMPARE(aside.size(), 1);
        QFile kept(m_dir.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray(4096, 'G'));
        TRegistryStore::closeAll();
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "After").readDword("v"), std::optional<qint32>(7));
    }

    void damagedStoreIsReportedOnce_data()
    {
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QString>("says");
        QTest::newRow("garbage-file") << false << "is not a readable store; kept it as";
        QTest::newRow("folder-in-place-of-store")
            << true << "is a folder, not a store; nothing is read from or saved to it";
    }
    void damagedStoreIsReportedOnce()
    {
        QFETCH(bool, folder);
        QFETCH(QString, says);
        if (folder) {
            QVERIFY(QDir().mkpath(userDb() + "/inside"));
        } else {
            QFile f(userDb());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'G'));
        }
        TTraceCapture err;
        // What a start asks of the store: reads, then writes, then reads again.
        TRegKey::open(TRegRoot::CurrentUser, "Options").readDword("Language");
        TRegKey::open(TRegRoot::CurrentUser, "My Favorites").subKeyNames();
        QCOMPARE(TRegKey::create(TRegRoot::CurrentUser, "Options").writeDword("v", 1), !folder);
        QCOMPARE(TRegKey::create(TRegRoot::CurrentUser, "Other").isOpen(), !folder);
        TRegKey::open(TRegRoot::CurrentUser, "Options").readDword("v");
        const QStringList lines = QString::fromUtf8(err.text()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().startsWith("registry: " + userDb() + " " + says), qPrintable(lines.first()));
    }

    void unwritableFolderFailsWrites()
    {
        m_dir.Set("VREL_USER_REGISTRY", "/proc/vrel-no-such-dir/user.db");
        TRegistryStore::closeAll();
        QVERIFY(!TRegKey::create(TRegRoot::CurrentUser, "K").isOpen());
    }

    void namesFoldCharacterByCharacter_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("same");
        QTest::newRow("sharp-s-is-not-ss") << "Straße"
                                           << "STRASSE" << false;
        QTest::newRow("sharp-s-keeps-its-case") << "straße"
                                                << "STRAßE" << true;
        QTest::newRow("dotless-i-is-not-i") << "ıx"
                                            << "ix" << false;
        QTest::newRow("dotless-i-is-not-capital-i") << "ıx"
                                                    << "IX" << false;
        QTest::newRow("ligature-is-not-two-letters") << "ﬀ"
                                                     << "FF" << false;
        QTest::newRow("umlaut") << "ärger"
                                << "ÄRGER" << true;
        QTest::newRow("greek") << "σίσυφος"
                               << "ΣΊΣΥΦΟΣ" << true;
        QTest::newRow("outside-the-basic-plane") << "\U00010428x"
                                                 << "\U00010400X" << true;
    }
    void namesFoldCharacterByCharacter()
    {
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(bool, same);
        TRegKey parent = TRegKey::create(TRegRoot::CurrentUser, "P");
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "P\\" + first).isOpen());
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "P\\" + second).isOpen());
        QVERIFY(parent.writeDword(first, 1));
        QVERIFY(parent.writeDword(second, 2));
        TRegistryStore::closeAll();
        QCOMPARE(parent.subKeyCount(), same ? 1 : 2);
        QCOMPARE(parent.valueNames().size(), same ? 1 : 2);
        QCOMPARE(parent.readDword(first), std::optional<qint32>(same ? 2 : 1));
    }

    void storeOfTheOldFoldingKeepsItsKeys()
    {
        // As the earlier scheme wrote it: names folded with full case mapping, version 0.
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(QFile::encodeName(userDb()).constData(), &db), SQLITE_OK);
        const char* const oldStore = R"sql(
            PRAGMA journal_mode=WAL;
            CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT NOT NULL,
                              fold TEXT NOT NULL, UNIQUE(parent, fold));
            CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL,
                              type INTEGER NOT NULL, data BLOB NOT NULL,
                              PRIMARY KEY(key, fold)) WITHOUT ROWID;
            INSERT INTO keys VALUES(1, NULL, '', ''), (2, 1, 'Straße', 'STRASSE'),
                                   (3, 2, 'Cam', 'CAM'), (4, 1, 'ıx', 'IX');
            INSERT INTO vals VALUES(3, 'Größe', 'GRÖSSE', 4, x'07000000');
        )sql";
        QCOMPARE(sqlite3_exec(db, oldStore, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);

        // Read before anything is written to it.
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "straße\\cam").readDword("größe"),
                 std::optional<qint32>(7));
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, "ıx"));
        {
            // A write that is rolled back takes its refolding with it.
            TRegTransaction tx(TRegRoot::CurrentUser);
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Dropped").isOpen());
        }
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Straße\\Cam").readDword("Größe"),
                 std::optional<qint32>(7));
        // The first write refolds it.
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "STRASSE").writeDword("v", 1));
        TRegistryStore::closeAll();
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "STRAßE\\CAM").readDword("GRÖßE"),
                 std::optional<qint32>(7));
        QVERIFY(!TRegKey::open(TRegRoot::CurrentUser, "Straße").hasValue("v"));
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "STRASSE").readDword("v"), std::optional<qint32>(1));
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, "ıX"));
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, "IX"));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "ix").isOpen());
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, QString()).subKeyNames(),
                 (QStringList{"ix", "STRASSE", "Straße", "ıx"}));
    }

    void readsDoNotWaitForAnotherWriter()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Seed").writeString("v", "x"));
        TRegistryStore::closeAll();
        QProcess holder;
        startHolder(&holder, 0);
        QVERIFY(holder.waitForReadyRead(60000));
        QCOMPARE(holder.readLine(), QByteArray("locked\n"));
        TTraceCapture err;
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Seed").readString("v"), std::optional<QString>("x"));
        QCOMPARE(err.text(), QByteArray());
        holder.write("go\n");
        QVERIFY(holder.waitForFinished(60000));
        QCOMPARE(holder.exitCode(), 0);
    }

    void writeWaitsForAnotherWriterQuietly()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Seed").writeString("v", "x"));
        TRegistryStore::closeAll();
        QProcess holder;
        startHolder(&holder, 1500);
        QVERIFY(holder.waitForReadyRead(60000));
        TTraceCapture err;
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Mine").writeDword("v", 1));
        QCOMPARE(err.text(), QByteArray());
        QVERIFY(holder.waitForFinished(60000));
        QCOMPARE(holder.exitCode(), 0);
        TRegistryStore::closeAll();
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, "Held"));
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Mine").readDword("v"), std::optional<qint32>(1));
    }

    void writeThatGivesUpNamesTheLock()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Seed").writeString("v", "x"));
        TRegistryStore::closeAll();
        QProcess holder;
        startHolder(&holder, 0);
        QVERIFY(holder.waitForReadyRead(60000));
        TTraceCapture err;
        // Waits out the store's 15 s before it gives up.
        QVERIFY(!TRegKey::create(TRegRoot::CurrentUser, "Mine").isOpen());
        const QByteArray said = err.text();
        holder.write("go\n");
        QVERIFY(holder.waitForFinished(60000));
        QCOMPARE(said, "registry: cannot start a write (" + userDb().toUtf8() + "): database is locked\n");
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Seed").readString("v"), std::optional<QString>("x"));
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Mine").isOpen());
    }

    void twoProcessesWriteAtOnce()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, "Shared").isOpen());
        TRegistryStore::closeAll();
        QList<QProcess*> writers;
        for (const char* tag : {"one", "two", "three"}) {
            auto* p = new QProcess(this);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(WriterEnv, tag);
            p->setProcessEnvironment(env);
            p->setProcessChannelMode(QProcess::ForwardedChannels);
            p->start(QCoreApplication::applicationFilePath(), {});
            writers.append(p);
        }
        // The test process writes too, interleaved with the children.
        TRegKey mine = TRegKey::create(TRegRoot::CurrentUser, "Shared\\parent");
        for (int i = 0; i < WritesPerProcess; ++i)
            QVERIFY(mine.writeDword(QString("v%1").arg(i), i));
        for (QProcess* p : writers) {
            QVERIFY(p->waitForFinished(120000));
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            QCOMPARE(p->exitCode(), 0);
        }
        TRegistryStore::closeAll();
        for (const char* tag : {"one", "two", "three", "parent"})
            QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, QString("Shared\\") + tag).values().size(),
                     WritesPerProcess);
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, "Shared\\Common").values().size(), 3);
    }
};

int main(int argc, char* argv[])
{
    const QByteArray writer = qgetenv(WriterEnv);
    if (!writer.isEmpty()) {
        QCoreApplication app(argc, argv);
        return runWriter(QString::fromUtf8(writer));
    }
    const QByteArray holder = qgetenv(HolderEnv);
    if (!holder.isEmpty()) {
        QCoreApplication app(argc, argv);
        return runHolder(qEnvironmentVariable("VREL_USER_REGISTRY"), holder.toInt());
    }
    QCoreApplication app(argc, argv);
    tst_TRegistry tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_TRegistry.moc"
