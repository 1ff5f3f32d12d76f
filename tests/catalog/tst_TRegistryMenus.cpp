#include "app/TfrmVrelWebCamMain.h"
#include "camera/RegistryLayout.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "catalog/TRegistryMenus.h"
#include "options/fOptionsNew.h"
#include "platform/TRegImport.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "viewer/fImage.h"
#include "widgets/BarMenus.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TStoreSandbox.h"
#include "tests/support/WhenModalShows.h"

namespace {

const QString CatalogRootPath =
    QStringLiteral("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\Favorites");
const QString FavoritesRootPath =
    QStringLiteral("HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My Favorites");

// A .reg file with "[\\X]" standing for the key X below the catalog and "[~\\X]" below the favourites.
QByteArray regFile(const QByteArray& lines)
{
    QByteArray body = lines;
    body.replace("[~\\", "[" + FavoritesRootPath.toUtf8() + "\\");
    body.replace("[\\", "[" + CatalogRootPath.toUtf8() + "\\");
    return "REGEDIT4\r\n\r\n" + body;
}

// The side-bar sub-menu with its fixed items, as the tray menu has it.
struct TTrayLikeMenu
{
    TBcBarPopupMenu top;
    TBcBarPopupMenu* catalog = nullptr;
    QAction* load = nullptr;
    QAction* separator = nullptr;

    TTrayLikeMenu()
    {
        catalog = top.AddSubMenu(QStringLiteral("&Web Camera Catalog"));
        catalog->setSeparatorsCollapsible(true);
        load = catalog->addAction(QStringLiteral("Load Catalog from Vrel Kestro web site"));
        load->setObjectName(QStringLiteral("mnuLoadFavorites"));
        separator = catalog->addSeparator();
        separator->setObjectName(QStringLiteral("N5"));
    }
};

QStringList captions(const QMenu* menu)
{
    QStringList result;
    for (const QAction* a : menu->actions())
        result.append(a->isSeparator() ? QStringLiteral("-") : TRegistryMenus::ItemCaption(a));
    return result;
}

QAction* findItem(const QMenu* menu, const QString& caption)
{
    for (QAction* a : menu->actions()) {
        if (TRegistryMenus::ItemCaption(a) == caption)
            return a;
    }
    return nullptr;
}

// The item reached through the captions, folders populated on the way as showing them would.
QAction* itemAt(const QMenu* root, const QStringList& path)
{
    const QMenu* menu = root;
    QAction* item = nullptr;
    for (const QString& caption : path) {
        if (!menu)
            return nullptr;
        item = findItem(menu, caption);
        if (!item)
            return nullptr;
        menu = item->menu();
        if (item->menu())
            TRegistryMenus::PopulateFolder(item->menu());
    }
    return item;
}

int image(const QAction* a)
{
    return TBcBarPopupMenu::ImageIndex(a);
}

bool popupShown(QMenu* menu)
{
    menu->popup(QPoint(10, 10));
    return QTest::qWaitForWindowExposed(menu);
}

} // namespace

// The generated items of the registry-tree sub-menus, built from a store in a temporary folder.
class tst_TRegistryMenus : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    QList<QAction*> m_clicked;

    void import(const QByteArray& lines)
    {
        const TRegImportResult result = RegImportBytes(regFile(lines));
        QVERIFY2(result.Ok, qPrintable(result.Error));
        QCOMPARE(result.SkippedCount, 0);
    }

    void buildCatalog(TTrayLikeMenu& menu)
    {
        TRegistryMenus::BuildRegistryMenu(TRegRoot::LocalMachine, RegistryLayout::CatalogKey, menu.catalog,
                                          [this](QAction* item) { m_clicked.append(item); });
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setApplicationName("Vrel Web Camera"); }

    void init()
    {
        QVERIFY(m_dir.Reset());
        ProgramOptions = TProgramOptions();
        m_clicked.clear();
    }
    void cleanup()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        TRegistryStore::closeAll();
    }

    void rebuildKeepsFixedItemsFirstWithoutDuplicates()
    {
        import("[\\Europe\\Rome]\r\n\"URL\"=\"r\"\r\n[\\Harbour]\r\n\"URL\"=\"h\"\r\n");
        TTrayLikeMenu menu;
        buildCatalog(menu);
        buildCatalog(menu);
        const QStringList expected{"Load Catalog from Vrel Kestro web site", "-", "Europe", "Harbour"};
        QCOMPARE(captions(menu.catalog), expected);
        QCOMPARE(menu.catalog->actions().at(0), menu.load);
        QCOMPARE(menu.catalog->actions().at(1), menu.separator);
        QCOMPARE(TRegistryMenus::Tag(menu.load), 0);
        QCOMPARE(TRegistryMenus::Tag(findItem(menu.catalog, "Europe")), -1);
        QCOMPARE(TRegistryMenus::Tag(findItem(menu.catalog, "Harbour")), -1);

        // A key gone from the store is gone from the menu, and the removed items are destroyed.
        QPointer<QAction> harbour = findItem(menu.catalog, "Harbour");
        QVERIFY(TRegKey::deleteTree(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\Harbour"));
        buildCatalog(menu);
        QCOMPARE(captions(menu.catalog),
                 QStringList({"Load Catalog from Vrel Kestro web site", "-", "Europe"}));
        QTRY_VERIFY(harbour.isNull());
    }

    void separatorHiddenWithNothingBelow_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<bool>("separatorShown");
        QTest::newRow("missing-tree") << QByteArray() << false;
        QTest::newRow("empty-tree") << QByteArray("[" + CatalogRootPath.toUtf8() + "]\r\n") << false;
        QTest::newRow("one-camera") << QByteArray("[\\Harbour]\r\n\"URL\"=\"h\"\r\n") << true;
    }
    void separatorHiddenWithNothingBelow()
    {
        QFETCH(QByteArray, lines);
        QFETCH(bool, separatorShown);
        if (!lines.isEmpty())
            import(lines.startsWith("[HKEY") ? "\r\n" + lines : lines);
        TTrayLikeMenu menu;
        buildCatalog(menu);
        QVERIFY(popupShown(menu.catalog));
        QVERIFY(!menu.catalog->actionGeometry(menu.load).isEmpty());
        QCOMPARE(!menu.catalog->actionGeometry(menu.separator).isEmpty(), separatorShown);
    }

    void captionIsTheKeyNameWithoutAccelerator()
    {
        import("[\\R&D]\r\n\"URL\"=\"a\"\r\n[\\Tom && Jerry\\Cat]\r\n\"URL\"=\"c\"\r\n");
        TTrayLikeMenu menu;
        buildCatalog(menu);
        QAction* camera = findItem(menu.catalog, "R&D");
        QVERIFY(camera);
        // What the menu draws and what the keyboard uses: "R&D" as written, no mnemonic key.
        QCOMPARE(camera->iconText(), QString("R&D"));
        QVERIFY(QKeySequence::mnemonic(camera->text()).isEmpty());
        QAction* folder = findItem(menu.catalog, "Tom && Jerry");
        QVERIFY(folder && folder->menu());
        QCOMPARE(folder->iconText(), QString("Tom && Jerry"));
        QCOMPARE(TRegistryMenus::MenuItemKeyPath(itemAt(menu.catalog, {"Tom && Jerry", "Cat"})),
                 QString("Tom && Jerry"));
    }

    void foldersShowTheirItemsAndMarkers()
    {
        import("[\\Europe\\Italy\\Rome]\r\n\"URL\"=\"r\"\r\n"
               "[\\Europe\\Italy\\Milan]\r\n\"URL\"=\"m\"\r\n\"Opened\"=dword:0\r\n"
               "[\\Europe\\Spain\\Madrid]\r\n\"URL\"=\"m\"\r\n\"Opened\"=dword:1\r\n"
               "[\\Empty]\r\n"
               "[\\Cam]\r\n\"URL\"=\"c\"\r\n[\\Cam\\Sub]\r\n\"URL\"=\"s\"\r\n");
        TTrayLikeMenu menu;
        buildCatalog(menu);
        QCOMPARE(captions(menu.catalog),
                 QStringList({"Load Catalog from Vrel Kestro web site", "-", "Cam", "Empty", "Europe"}));
        QAction* europe = findItem(menu.catalog, "Europe");
        QVERIFY(europe->menu());
        QCOMPARE(image(europe), 10);
        QCOMPARE(image(findItem(menu.catalog, "Cam")), 10);
        QVERIFY(!findItem(menu.catalog, "Cam")->menu());
        QAction* empty = findItem(menu.catalog, "Empty");
        QVERIFY(!empty->menu());
        QCOMPARE(image(empty), 10);

        // Opening the folder on screen makes its items.
        QVERIFY(popupShown(menu.catalog));
        menu.catalog->setActiveAction(europe);
        QTRY_VERIFY(europe->menu()->isVisible());
        QCOMPARE(captions(europe->menu()), QStringList({"Italy", "Spain"}));
        QCOMPARE(image(findItem(europe->menu(), "Italy")), 10);
        QCOMPARE(image(findItem(europe->menu(), "Spain")), -1);
        QCOMPARE(image(itemAt(menu.catalog, {"Europe", "Italy", "Rome"})), 10);
        QCOMPARE(image(itemAt(menu.catalog, {"Europe", "Italy", "Milan"})), -1);
        QCOMPARE(captions(itemAt(menu.catalog, {"Europe", "Italy"})->menu()), QStringList({"Milan", "Rome"}));

        // Showing it again adds nothing.
        TRegistryMenus::PopulateFolder(europe->menu());
        QCOMPARE(captions(europe->menu()), QStringList({"Italy", "Spain"}));
    }

    void onlyCameraItemsRunTheHandler_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<bool>("runs");
        QTest::newRow("camera-at-the-top") << QStringList{"Harbour"} << true;
        QTest::newRow("camera-in-a-folder") << QStringList{"A", "B", "Cam"} << true;
        QTest::newRow("empty-folder") << QStringList{"Empty"} << false;
        QTest::newRow("folder") << QStringList{"A"} << false;
    }
    void onlyCameraItemsRunTheHandler()
    {
        QFETCH(QStringList, path);
        QFETCH(bool, runs);
        import("[\\Harbour]\r\n\"URL\"=\"h\"\r\n[\\A\\B\\Cam]\r\n\"URL\"=\"c\"\r\n[\\Empty]\r\n");
        TTrayLikeMenu menu;
        buildCatalog(menu);
        QAction* item = itemAt(menu.catalog, path);
        QVERIFY(item);
        item->trigger();
        QCOMPARE(m_clicked, runs ? QList<QAction*>{item} : QList<QAction*>{});
    }

    void menuItemKeyPath_data()
    {
        QTest::addColumn<QStringList>("path");
        QTest::addColumn<QString>("keyPath");
        QTest::newRow("below-the-root") << QStringList{"Harbour"} << "";
        QTest::newRow("below-A-and-B") << QStringList{"A", "B", "Cam"} << "A\\B";
        QTest::newRow("folder-itself") << QStringList{"A", "B"} << "A";
    }
    void menuItemKeyPath()
    {
        QFETCH(QStringList, path);
        QFETCH(QString, keyPath);
        import("[\\Harbour]\r\n\"URL\"=\"h\"\r\n[\\A\\B\\Cam]\r\n\"URL\"=\"c\"\r\n");
        TTrayLikeMenu menu;
        buildCatalog(menu);
        QCOMPARE(TRegistryMenus::MenuItemKeyPath(itemAt(menu.catalog, path)), keyPath);
    }

    // The main form's sub-menus: built at start-up, camera items open their cameras.
    void startUpBuildsBothMenus()
    {
        import("[\\Europe\\Rome]\r\n\"URL\"=\"r\"\r\n[~\\Harbour]\r\n\"URL\"=\"h\"\r\n");
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.FormCreate();
        QCOMPARE(captions(form.mnuWebCameraCatalog->menu()),
                 QStringList({"Load Catalog from Vrel Kestro web site", "-", "Europe"}));
        QCOMPARE(captions(form.mnuMyFavorites->menu()),
                 QStringList({"Organize My Favorites...", "Add new Favorite camera...", "-", "Harbour"}));
        QCOMPARE(image(itemAt(form.mnuMyFavorites->menu(), {"Harbour"})), 10);
    }

    void favouriteItemOpensItsCamera()
    {
        import("[~\\R&D]\r\n\"URL\"=\"127.0.0.1:9/x.jpg\"\r\n\"UpdateInterval\"=dword:0\r\n");
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.RebuildMenus();
        itemAt(form.mnuMyFavorites->menu(), {"R&D"})->trigger();
        QCOMPARE(form.CameraWindows().size(), 1);
        auto* window = qobject_cast<TfrmImage*>(form.CameraWindows().first());
        QVERIFY(window && window->Camera());
        QCOMPARE(window->Camera()->Description, QString("R&D"));
        QCOMPARE(window->Camera()->URL, QString("127.0.0.1:9/x.jpg"));
    }

    // "Add new camera..." with "Add Web camera to Favorites" ticked: the favourites menu shows it
    // at once, and a second rebuild does not add it twice.
    void addedFavouriteShowsInTheMenu()
    {
        import("[~\\Harbour]\r\n\"URL\"=\"h\"\r\n");
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.RebuildMenus();
        whenModalShows<TfrmCameraSettings>([](TfrmCameraSettings* dialog) {
            dialog->edtURL->setText(QStringLiteral("127.0.0.1:9/garden.jpg"));
            dialog->edtDescr->setText(QStringLiteral("Garden"));
            dialog->chkAdd->setChecked(true);
            QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
        });
        form.mnuAddNewFavorite->trigger();
        const QStringList expected{"Organize My Favorites...", "Add new Favorite camera...", "-", "Garden",
                                   "Harbour"};
        QCOMPARE(captions(form.mnuMyFavorites->menu()), expected);
        QCOMPARE(form.CameraWindows().size(), 1);
        form.BuildFavoritesMenu();
        QCOMPARE(captions(form.mnuMyFavorites->menu()), expected);
    }

    void catalogItemOpensItsCameraAndLosesItsMarkers()
    {
        import("[\\Europe\\Italy\\Rome]\r\n\"URL\"=\"r\"\r\n"
               "[\\Europe\\Italy\\Milan]\r\n\"URL\"=\"m\"\r\n\"Opened\"=dword:1\r\n"
               "[\\Europe\\Spain\\Madrid]\r\n\"URL\"=\"m\"\r\n"
               "[\\Asia\\Tokyo]\r\n\"URL\"=\"t\"\r\n");
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.RebuildMenus();
        QMenu* catalog = form.mnuWebCameraCatalog->menu();
        QAction* rome = itemAt(catalog, {"Europe", "Italy", "Rome"});
        QString sawDescription;
        whenModalShows<TfrmCameraSettings>([&](TfrmCameraSettings* dialog) {
            sawDescription = dialog->edtDescr->text();
            dialog->reject();
        });
        rome->trigger();
        QCOMPARE(sawDescription, QString("Rome"));
        QVERIFY(TRegKey::open(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\Europe\\Italy\\Rome")
                    .hasValue("Opened"));
        // Italy has no new camera left; Europe still has Madrid.
        QCOMPARE(image(rome), -1);
        QCOMPARE(image(itemAt(catalog, {"Europe", "Italy"})), -1);
        QCOMPARE(image(itemAt(catalog, {"Europe"})), 10);
        QCOMPARE(image(itemAt(catalog, {"Asia"})), 10);

        // A fresh build shows the same markers.
        form.BuildCatalogMenu();
        QCOMPARE(image(itemAt(catalog, {"Europe", "Italy", "Rome"})), -1);
        QCOMPARE(image(itemAt(catalog, {"Europe", "Italy"})), -1);
        QCOMPARE(image(itemAt(catalog, {"Europe"})), 10);
    }
};

QTEST_MAIN(tst_TRegistryMenus)
#include "tst_TRegistryMenus.moc"
