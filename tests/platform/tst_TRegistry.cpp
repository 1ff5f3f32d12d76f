#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const char* const WriterEnv = "VREL_TEST_REGISTRY_WRITER";
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
} // namespace

class tst_TRegistry : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString userDb() const { return m_dir.filePath("user.db"); }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        TRegistryStore::closeAll();
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.path());
        qputenv("VREL_USER_REGISTRY", userDb().toUtf8());
        qputenv("VREL_MACHINE_REGISTRY", m_dir.filePath("machine.db").toUtf8());
    }
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

    void unwritableFolderFailsWrites()
    {
        qputenv("VREL_USER_REGISTRY", "/proc/vrel-no-such-dir/user.db");
        TRegistryStore::closeAll();
        QVERIFY(!TRegKey::create(TRegRoot::CurrentUser, "K").isOpen());
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
    QCoreApplication app(argc, argv);
    tst_TRegistry tc;
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_TRegistry.moc"
