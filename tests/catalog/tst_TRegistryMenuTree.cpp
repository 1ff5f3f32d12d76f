#include "camera/RegistryLayout.h"
#include "catalog/TRegistryMenuTree.h"
#include "platform/TRegImport.h"
#include "platform/TRegistryStore.h"

#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"

namespace {

const QByteArray CatalogHeader = "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel "
                                 "Kestro Web Camera\\Favorites]\r\n";

// The catalog key followed by these lines, with "[\\X]" standing for a key below the catalog key.
QByteArray catalog(const QByteArray& lines)
{
    QByteArray body = lines;
    body.replace("[\\",
                 "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\Favorites\\");
    return CatalogHeader + body;
}

// "Caption" with "*" for a camera, "+" for the new marker and the children in brackets.
QString describe(const std::vector<TRegistryMenuNode>& nodes)
{
    QStringList parts;
    for (const TRegistryMenuNode& node : nodes) {
        QString part = node.Caption;
        if (node.Camera)
            part += QLatin1Char('*');
        if (node.ImageIndex == TRegistryMenuTree::NewMarkerImage)
            part += QLatin1Char('+');
        else if (node.ImageIndex != TRegistryMenuTree::NoImage)
            part += QStringLiteral("?%1").arg(node.ImageIndex);
        if (!node.Children.empty())
            part += QLatin1Char('[') + describe(node.Children) + QLatin1Char(']');
        parts.append(part);
    }
    return parts.join(QLatin1Char(' '));
}

QString buildCatalog()
{
    TRegistryMenuTree tree(TRegRoot::LocalMachine, RegistryLayout::CatalogKey);
    return describe(tree.Build());
}

} // namespace

// Which items and markers a registry tree yields, read from a real store in a temporary folder.
class tst_TRegistryMenuTree : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;

    void import(const QByteArray& content)
    {
        const TRegImportResult result = RegImportBytes(content);
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(result.SkippedCount, 0);
    }

private Q_SLOTS:
    void init() { QVERIFY(m_dir.Reset()); }
    void cleanup() { TRegistryStore::closeAll(); }

    void missingOrEmptyTreeYieldsNothing_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no-store") << QByteArray();
        QTest::newRow("program-key-without-catalog") << QByteArray(
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\r\n"
            "\"Other\"=\"x\"\r\n");
        QTest::newRow("empty-catalog-key") << catalog("");
        QTest::newRow("catalog-only-in-user-root") << QByteArray(
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web "
            "Camera\\Favorites\\Cam]\r\n\"URL\"=\"a\"\r\n");
    }
    void missingOrEmptyTreeYieldsNothing()
    {
        QFETCH(QByteArray, content);
        if (!content.isEmpty())
            import(content);
        QCOMPARE(buildCatalog(), QString());
    }

    void itemsAndMarkers_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected");
        QTest::newRow("store-order-not-sorted-by-case")
            << catalog("[\\beta]\r\n\"URL\"=\"b\"\r\n[\\Alpha]\r\n\"URL\"=\"a\"\r\n[\\Gamma]\r\n\"URL\"="
                       "\"g\"\r\n")
            << "Alpha*+ beta*+ Gamma*+";
        QTest::newRow("opened-0-counts-as-opened")
            << catalog("[\\Cam]\r\n\"URL\"=\"a\"\r\n\"Opened\"=dword:00000000\r\n") << "Cam*";
        QTest::newRow("opened-of-any-type")
            << catalog("[\\Cam]\r\n\"URL\"=\"a\"\r\n\"Opened\"=\"no\"\r\n") << "Cam*";
        QTest::newRow("url-of-any-type-makes-a-camera")
            << catalog("[\\Cam]\r\n\"URL\"=dword:00000001\r\n") << "Cam*+";
        QTest::newRow("names-in-other-letter-case")
            << catalog("[\\Cam]\r\n\"url\"=\"a\"\r\n\"OPENED\"=dword:1\r\n[\\Cam2]\r\n\"uRl\"=\"b\"\r\n")
            << "Cam* Cam2*+";
        QTest::newRow("empty-url-makes-a-camera") << catalog("[\\Cam]\r\n\"URL\"=\"\"\r\n") << "Cam*+";
        QTest::newRow("folder-with-one-new-camera")
            << catalog("[\\F\\A]\r\n\"URL\"=\"a\"\r\n\"Opened\"=dword:1\r\n"
                       "[\\F\\B]\r\n\"URL\"=\"b\"\r\n"
                       "[\\F\\C]\r\n\"URL\"=\"c\"\r\n\"Opened\"=dword:1\r\n")
            << "F+[A* B*+ C*]";
        QTest::newRow("folder-with-all-opened")
            << catalog("[\\F\\A]\r\n\"URL\"=\"a\"\r\n\"Opened\"=dword:1\r\n"
                       "[\\F\\B]\r\n\"URL\"=\"b\"\r\n\"Opened\"=dword:1\r\n"
                       "[\\F\\C]\r\n\"URL\"=\"c\"\r\n\"Opened\"=dword:1\r\n")
            << "F[A* B* C*]";
        QTest::newRow("marker-two-levels-up")
            << catalog("[\\Europe\\Italy\\Rome]\r\n\"URL\"=\"r\"\r\n"
                       "[\\Europe\\Spain\\Madrid]\r\n\"URL\"=\"m\"\r\n\"Opened\"=dword:1\r\n")
            << "Europe+[Italy+[Rome*+] Spain[Madrid*]]";
        QTest::newRow("no-marker-two-levels-up")
            << catalog("[\\Europe\\Italy\\Rome]\r\n\"URL\"=\"r\"\r\n\"Opened\"=dword:1\r\n")
            << "Europe[Italy[Rome*]]";
        // The folder key's own "Opened" does not count once it has items.
        QTest::newRow("opened-folder-with-new-camera")
            << catalog("[\\F]\r\n\"Opened\"=dword:1\r\n[\\F\\A]\r\n\"URL\"=\"a\"\r\n") << "F+[A*+]";
        QTest::newRow("camera-with-sub-keys-is-one-camera")
            << catalog(
                   "[\\Cam]\r\n\"URL\"=\"a\"\r\n\"Opened\"=dword:1\r\n[\\Cam\\Hidden]\r\n\"URL\"=\"h\"\r\n")
            << "Cam*";
        QTest::newRow("empty-folder-keeps-its-own-marker") << catalog("[\\Empty]\r\n") << "Empty+";
        QTest::newRow("empty-opened-folder") << catalog("[\\Empty]\r\n\"Opened\"=dword:1\r\n") << "Empty";
        QTest::newRow("folder-of-opened-empty-folders")
            << catalog("[\\F\\E]\r\n\"Opened\"=dword:1\r\n") << "F[E]";
        QTest::newRow("ampersand-and-blanks-kept")
            << catalog("[\\R&D  Lab]\r\n\"URL\"=\"a\"\r\n") << "R&D  Lab*+";
    }
    void itemsAndMarkers()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        import(content);
        QCOMPARE(buildCatalog(), expected);
    }

    void twoBuildsInARowAgreeAndSeeChanges()
    {
        import(catalog("[\\F\\A]\r\n\"URL\"=\"a\"\r\n[\\B]\r\n\"URL\"=\"b\"\r\n"));
        TRegistryMenuTree tree(TRegRoot::LocalMachine, RegistryLayout::CatalogKey);
        QCOMPARE(describe(tree.Build()), QString("B*+ F+[A*+]"));
        QCOMPARE(describe(tree.Build()), QString("B*+ F+[A*+]"));
        // Nothing is remembered between builds: a key gone or opened since shows so.
        TRegKey::open(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\F\\A").writeDword("Opened", 1);
        QVERIFY(TRegKey::deleteTree(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\B"));
        QCOMPARE(describe(tree.Build()), QString("F[A*]"));
    }

    void favouritesTreeUsesTheUserRoot()
    {
        import("REGEDIT4\r\n\r\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My "
               "Favorites\\Harbour]\r\n"
               "\"URL\"=\"h\"\r\n\"Opened\"=dword:0\r\n"
               "[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My "
               "Favorites\\Beach]\r\n"
               "\"URL\"=\"b\"\r\n");
        TRegistryMenuTree favourites(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey);
        QCOMPARE(describe(favourites.Build()), QString("Beach*+ Harbour*"));
        QCOMPARE(buildCatalog(), QString());
    }

    void keyValueExists_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("exists");
        QTest::newRow("present") << "\\F\\A"
                                 << "URL" << true;
        QTest::newRow("other-letter-case") << "\\f\\a"
                                           << "url" << true;
        QTest::newRow("doubled-backslashes") << "\\\\F\\\\\\A"
                                             << "URL" << true;
        QTest::newRow("trailing-backslash") << "\\F\\A\\"
                                            << "URL" << true;
        QTest::newRow("missing-value") << "\\F\\A"
                                       << "Opened" << false;
        QTest::newRow("missing-key") << "\\F\\Z"
                                     << "URL" << false;
        QTest::newRow("value-of-the-parent") << "\\F"
                                             << "URL" << false;
    }
    void keyValueExists()
    {
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(bool, exists);
        import(catalog("[\\F\\A]\r\n\"URL\"=\"a\"\r\n"));
        TRegistryMenuTree tree(TRegRoot::LocalMachine, RegistryLayout::CatalogKey);
        QCOMPARE(tree.KeyValueExists(RegistryLayout::CatalogKey + key, name), exists);
    }

    void collapseBackslashes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("three-become-one") << "A\\\\\\B"
                                          << "A\\B";
        QTest::newRow("single-trailing-stays") << "A\\B\\"
                                               << "A\\B\\";
        QTest::newRow("doubled-trailing") << "A\\\\"
                                          << "A\\";
        QTest::newRow("several-runs") << "\\\\A\\\\B\\\\\\\\C"
                                      << "\\A\\B\\C";
        QTest::newRow("only-backslashes") << "\\\\\\\\"
                                          << "\\";
        QTest::newRow("none") << "AB"
                              << "AB";
        QTest::newRow("empty") << ""
                               << "";
    }
    void collapseBackslashes()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(TRegistryMenuTree::CollapseBackslashes(text), expected);
    }
};

QTEST_GUILESS_MAIN(tst_TRegistryMenuTree)
#include "tst_TRegistryMenuTree.moc"
