#include "camera/RegistryLayout.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "viewer/TKeptPicture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"

namespace {

const QString Favorites = RegistryLayout::MyFavoritesKey;

QString favorite(const QString& description)
{
    return Favorites + QLatin1Char('\\') + description;
}

bool writeFile(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("picture") == 7;
}

} // namespace

class tst_TKeptPicture : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

private Q_SLOTS:
    void init() { QVERIFY(m_dir.Reset()); }

    // The files of favourites whose keys an import deleted go; the files of favourites that
    // exist, nested ones too, and whatever else the folder holds stay.
    void forgetOrphansRemovesOnlyPicturesOfDeletedFavourites_data()
    {
        QTest::addColumn<bool>("favoritesKey"); // "My Favorites" still exists
        QTest::addColumn<bool>("programKey");   // the key above it exists: the store could be read
        QTest::addColumn<QStringList>("left");  // of Harbour, Harbour\Pier, Deleted, leftover, notes
        QTest::newRow("deleted-favourite-goes")
            << true << true << QStringList{"Harbour", "Harbour\\Pier", "notes"};
        QTest::newRow("no-favourites-left") << false << true << QStringList{"notes"};
        QTest::newRow("unreadable-store-keeps-everything")
            << false << false << QStringList{"Harbour", "Harbour\\Pier", "Deleted", "leftover", "notes"};
    }
    void forgetOrphansRemovesOnlyPicturesOfDeletedFavourites()
    {
        QFETCH(bool, favoritesKey);
        QFETCH(bool, programKey);
        QFETCH(QStringList, left);
        if (programKey)
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).isOpen());
        if (favoritesKey) {
            QVERIFY(
                TRegKey::create(TRegRoot::CurrentUser, favorite("Harbour")).writeString("URL", "http://a/"));
            // Key names ignore letter case: the file of a key spelt otherwise is still its own.
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, favorite("harbour\\PIER")).isOpen());
        }
        const QMap<QString, QString> files{
            {"Harbour", TKeptPicture::FilePath(favorite("Harbour"))},
            {"Harbour\\Pier", TKeptPicture::FilePath(favorite("Harbour\\Pier"))},
            {"Deleted", TKeptPicture::FilePath(favorite("Deleted"))},
            // What an interrupted save of a kept picture leaves beside it.
            {"leftover", TKeptPicture::FilePath(favorite("Harbour")) + ".aB3xYz"},
            {"notes", QFileInfo(TKeptPicture::FilePath(favorite("Harbour"))).absolutePath() + "/notes.txt"},
        };
        for (const QString& path : files)
            QVERIFY(writeFile(path));

        TKeptPicture::ForgetOrphans(Favorites);

        QStringList found;
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            if (QFile::exists(it.value()))
                found.append(it.key());
        }
        left.sort();
        found.sort();
        QCOMPARE(found, left);
    }
};

QTEST_GUILESS_MAIN(tst_TKeptPicture)
#include "tst_TKeptPicture.moc"
