#include "camera/RegistryLayout.h"
#include "camera/TWebCamera.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"

namespace {

const QString Favorites = RegistryLayout::MyFavoritesKey;
const QString Catalog = RegistryLayout::CatalogKey;

QByteArray dwordBytes(qint32 value)
{
    QByteArray data(4, '\0');
    qToLittleEndian<qint32>(value, data.data());
    return data;
}

TWebCamera loadFavorite(const QString& description)
{
    TWebCamera camera;
    camera.SetDescription(description);
    camera.LoadFromReg();
    return camera;
}

} // namespace

class tst_TWebCamera : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.Reset());
        m_dir.Set("VREL_WEB_HOST", "www.maker.test");
    }
    void cleanup() { TRegistryStore::closeAll(); }

    // A favourite key holding one value (or none) next to a valid "URL": every other field
    // shows its own default, and the odd value shows how it is read.
    void loadDefaultsValueByValue_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("expected");

        QTest::newRow("only-url") << QString() << 0u << QByteArray() << "UpdateInterval" << QVariant(10000);
        QTest::newRow("interval-as-string") << "UpdateInterval" << TRegType::Sz << QByteArray("5\0", 2)
                                            << "UpdateInterval" << QVariant(10000);
        QTest::newRow("interval-eight-bytes") << "UpdateInterval" << TRegType::Dword << QByteArray(8, '\1')
                                              << "UpdateInterval" << QVariant(10000);
        QTest::newRow("interval-zero")
            << "UpdateInterval" << TRegType::Dword << dwordBytes(0) << "UpdateInterval" << QVariant(0);
        QTest::newRow("scale-75-kept")
            << "Scale" << TRegType::Dword << dwordBytes(75) << "Scale" << QVariant(75);
        QTest::newRow("scale-missing") << QString() << 0u << QByteArray() << "Scale" << QVariant(100);
        QTest::newRow("left-negative")
            << "Left" << TRegType::Dword << dwordBytes(-40) << "Left" << QVariant(-40);
        QTest::newRow("top-binary") << "Top" << TRegType::Binary << dwordBytes(7) << "Top" << QVariant(0);
        QTest::newRow("run-on-startup-2")
            << "RunOnStartup" << TRegType::Dword << dwordBytes(2) << "RunOnStartup" << QVariant(true);
        QTest::newRow("run-on-startup-missing")
            << QString() << 0u << QByteArray() << "RunOnStartup" << QVariant(false);
        QTest::newRow("always-on-top-missing")
            << QString() << 0u << QByteArray() << "AlwaysOnTop" << QVariant(true);
        QTest::newRow("always-on-top-0")
            << "AlwaysOnTop" << TRegType::Dword << dwordBytes(0) << "AlwaysOnTop" << QVariant(false);
        QTest::newRow("always-on-top-string")
            << "AlwaysOnTop" << TRegType::Sz << QByteArray("0\0", 2) << "AlwaysOnTop" << QVariant(true);
        QTest::newRow("opened-missing") << QString() << 0u << QByteArray() << "Opened" << QVariant(false);
    }
    void loadDefaultsValueByValue()
    {
        QFETCH(QString, value);
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, field);
        QFETCH(QVariant, expected);
        TRegKey key = TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\Harbour");
        QVERIFY(key.writeString("URL", "http://127.0.0.1/harbour.jpg"));
        if (!value.isEmpty())
            QVERIFY(key.setValue(value, type, data));

        const TWebCamera camera = loadFavorite("Harbour");

        QCOMPARE(camera.URL, QString("http://127.0.0.1/harbour.jpg"));
        const QHash<QString, QVariant> fields{{"UpdateInterval", camera.UpdateInterval},
                                              {"Scale", camera.Scale},
                                              {"Left", camera.Left},
                                              {"Top", camera.Top},
                                              {"RunOnStartup", camera.RunOnStartup},
                                              {"AlwaysOnTop", camera.AlwaysOnTop},
                                              {"Opened", camera.Opened}};
        QCOMPARE(fields.value(field), expected);
    }

    void loadUrlByType_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<quint32>("type");
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing") << false << 0u << QByteArray() << QString();
        QTest::newRow("sz") << true << TRegType::Sz << QByteArray("cam.example/a.jpg\0", 18)
                            << "cam.example/a.jpg";
        QTest::newRow("expand-sz") << true << TRegType::ExpandSz << QByteArray("cam.example/b.jpg\0", 18)
                                   << "cam.example/b.jpg";
        QTest::newRow("empty-sz") << true << TRegType::Sz << QByteArray() << QString();
        QTest::newRow("dword") << true << TRegType::Dword << dwordBytes(1)
                               << "www.maker.test/images/logo.jpg";
        QTest::newRow("binary-text") << true << TRegType::Binary << QByteArray("abc")
                                     << "www.maker.test/images/logo.jpg";
        QTest::newRow("empty-binary") << true << TRegType::Binary << QByteArray() << QString();
    }
    void loadUrlByType()
    {
        QFETCH(bool, present);
        QFETCH(quint32, type);
        QFETCH(QByteArray, data);
        QFETCH(QString, expected);
        TRegKey key = TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\Pier");
        QVERIFY(key.writeDword("Scale", 50));
        if (present)
            QVERIFY(key.setValue("URL", type, data));

        const TWebCamera camera = loadFavorite("Pier");

        QCOMPARE(camera.URL, expected);
        QCOMPARE(camera.Scale, 50);
    }

    void loadWithoutKeyLeavesTheRecord()
    {
        const TWebCamera fresh = loadFavorite("Nowhere");
        QCOMPARE(fresh.URL, QString());
        QCOMPARE(fresh.UpdateInterval, 0);
        QCOMPARE(fresh.Scale, 0);
        QCOMPARE(fresh.AlwaysOnTop, false);

        TWebCamera filled;
        filled.SetDescription("Nowhere");
        filled.SetURL("kept.example/x.jpg");
        filled.Scale = 25;
        filled.LoadFromReg();
        QCOMPARE(filled.URL, QString("kept.example/x.jpg"));
        QCOMPARE(filled.Scale, 25);
    }

    void catalogPathChoosesTheMachineTree()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\Tower")
                    .writeString("URL", "user.example/t.jpg"));
        TRegKey entry = TRegKey::create(TRegRoot::LocalMachine, Catalog + "\\Europe\\Alps\\Tower");
        QVERIFY(entry.writeString("URL", "catalog.example/t.jpg"));
        QVERIFY(entry.writeDword("Scale", 25));

        TWebCamera camera;
        camera.SetDescription("Tower");
        camera.CatalogPath = "Europe\\Alps";
        camera.LoadFromReg();
        QCOMPARE(camera.URL, QString("catalog.example/t.jpg"));
        QCOMPARE(camera.Scale, 25);
        QVERIFY(camera.isFavorite());

        camera.SetURL("changed.example/t.jpg");
        QVERIFY(camera.SaveToReg());
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, Favorites + "\\Tower").readString("URL"),
                 std::optional<QString>("changed.example/t.jpg"));
        QCOMPARE(TRegKey::open(TRegRoot::LocalMachine, Catalog + "\\Europe\\Alps\\Tower").readString("URL"),
                 std::optional<QString>("catalog.example/t.jpg"));
    }

    void saveWritesEightTypedValuesThatLoadBack()
    {
        TWebCamera camera;
        camera.SetDescription("Bridge");
        camera.SetURL("http://127.0.0.1:8080/bridge.jpg");
        camera.SetUpdateInterval(15);
        camera.SetRunOnStartup(true);
        camera.SetAlwaysOnTop(false);
        camera.Left = -300;
        camera.Top = 20;
        camera.Scale = 50;
        camera.Opened = true;
        camera.ImageHeight = 480;
        camera.ImageWidth = 640;
        QVERIFY(camera.SaveToReg());

        const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, Favorites + "\\Bridge");
        QVERIFY(key.isOpen());
        QCOMPARE(key.valueNames(), QStringList({"AlwaysOnTop", "Left", "Opened", "RunOnStartup", "Scale",
                                                "Top", "UpdateInterval", "URL"}));
        QCOMPARE(key.queryValue("URL")->Type, TRegType::Sz);
        QCOMPARE(key.queryValue("RunOnStartup")->Data, dwordBytes(1));
        QCOMPARE(key.queryValue("AlwaysOnTop")->Data, dwordBytes(0));

        TRegistryStore::closeAll();
        const TWebCamera loaded = loadFavorite("Bridge");
        QCOMPARE(loaded.URL, camera.URL);
        QCOMPARE(loaded.UpdateInterval, 15);
        QCOMPARE(loaded.RunOnStartup, true);
        QCOMPARE(loaded.AlwaysOnTop, false);
        QCOMPARE(loaded.Left, -300);
        QCOMPARE(loaded.Top, 20);
        QCOMPARE(loaded.Scale, 50);
        QCOMPARE(loaded.Opened, true);
        QCOMPARE(loaded.ImageHeight, 0);
    }

    void saveFailsWhenTheStoreCannotBeWritten()
    {
        QFile blocker(m_dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TRegistryStore::closeAll();
        m_dir.Set("VREL_USER_REGISTRY", m_dir.filePath("blocker/user.db").toUtf8());
        TWebCamera camera;
        camera.SetDescription("Quay");
        QVERIFY(!camera.SaveToReg());
        QVERIFY(!camera.isFavorite());
    }

    void clearRemovesOnlyThatFavoriteWithItsSubKeys()
    {
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\Beach\\Extra\\Deeper").isOpen());
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\Beach Bar")
                    .writeString("URL", "b.example"));
        TWebCamera camera;
        camera.SetDescription("Beach");
        QVERIFY(camera.isFavorite());
        camera.ClearReg();
        QVERIFY(!camera.isFavorite());
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, Favorites).subKeyNames(), QStringList{"Beach Bar"});

        camera.ClearReg();
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, Favorites).subKeyNames(), QStringList{"Beach Bar"});
    }

    // A description that names no key of its own must not reach the whole favourites tree.
    void emptyDescriptionTouchesNoFavorite_data()
    {
        QTest::addColumn<QString>("description");
        QTest::newRow("empty") << QString();
        QTest::newRow("backslash") << "\\";
    }
    void emptyDescriptionTouchesNoFavorite()
    {
        QFETCH(QString, description);
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\Keep").writeString("URL", "k.example"));
        TWebCamera camera;
        camera.SetDescription(description);
        QVERIFY(!camera.isFavorite());
        camera.ClearReg();
        QVERIFY(!camera.SaveToReg());
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, Favorites).subKeyNames(), QStringList{"Keep"});
        QVERIFY(!TRegKey::open(TRegRoot::CurrentUser, Favorites).hasValue("URL"));
    }

    void doOpenMarksRecordAndCatalogEntry()
    {
        QVERIFY(TRegKey::create(TRegRoot::LocalMachine, Catalog + "\\Asia\\Temple")
                    .writeString("URL", "t.example"));
        TWebCamera camera;
        camera.SetDescription("Temple");
        camera.CatalogPath = "Asia";
        camera.doOpen();
        QVERIFY(camera.Opened);
        QCOMPARE(TRegKey::open(TRegRoot::LocalMachine, Catalog + "\\Asia\\Temple").readDword("Opened"),
                 std::optional<qint32>(1));
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, Favorites + "\\Temple"));
    }

    void doOpenOnVanishedEntrySetsOnlyTheFlag()
    {
        QVERIFY(TRegKey::create(TRegRoot::LocalMachine, Catalog + "\\Asia").isOpen());
        TWebCamera camera;
        camera.SetDescription("Gone");
        camera.CatalogPath = "Asia";
        camera.doOpen();
        QVERIFY(camera.Opened);
        QVERIFY(!TRegKey::exists(TRegRoot::LocalMachine, Catalog + "\\Asia\\Gone"));
        QVERIFY(!TRegKey::open(TRegRoot::LocalMachine, Catalog + "\\Asia").hasValue("Opened"));
    }
};

QTEST_GUILESS_MAIN(tst_TWebCamera)
#include "tst_TWebCamera.moc"
