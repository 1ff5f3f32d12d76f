#include "camera/RegistryLayout.h"
#include "camera/TCameraFlows.h"
#include "camera/TMainFormServices.h"
#include "camera/TSpinEdit.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "catalog/TRegistryMenuTree.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "viewer/TKeptPicture.h"
#include "widgets/BarMenus.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

#include "tests/support/TCameraSettingsRows.h"
#include "tests/support/TStoreSandbox.h"
#include "tests/support/WhenModalShows.h"

namespace {

// The main form as far as the flows use it: records every call and keeps the opened records.
class TRecordingMainForm : public TMainFormServices
{
public:
    QStringList Calls;
    std::vector<std::unique_ptr<TWebCamera>> Opened;
    QList<QWidget*> Registered;

    void CancelOpenDialogs() override { Calls.append(QStringLiteral("CancelOpenDialogs")); }
    void RegisterDialog(QWidget* dialog) override
    {
        Calls.append(QStringLiteral("RegisterDialog"));
        Registered.append(dialog);
    }
    void UnregisterDialog(QWidget* dialog) override
    {
        Calls.append(QStringLiteral("UnregisterDialog"));
        QVERIFY(Registered.removeOne(dialog));
    }
    void OpenCameraWindow(std::unique_ptr<TWebCamera> camera) override
    {
        Calls.append(QStringLiteral("OpenCameraWindow"));
        Opened.push_back(std::move(camera));
    }
    void RemoveCameraWindow(QWidget*) override { Calls.append(QStringLiteral("RemoveCameraWindow")); }
    void BuildFavoritesMenu() override { Calls.append(QStringLiteral("BuildFavoritesMenu")); }
    void RebuildMenus() override { Calls.append(QStringLiteral("RebuildMenus")); }
};

// Runs act on the camera settings dialog once it runs modally.
void whenDialogShows(std::function<void(TfrmCameraSettings*)> act)
{
    whenModalShows<TfrmCameraSettings>(std::move(act));
}

void writeCatalogCamera(const QString& path, const QString& url, qint32 interval, qint32 scale)
{
    TRegKey key =
        TRegKey::create(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + QLatin1Char('\\') + path);
    key.writeString(QStringLiteral("URL"), url);
    key.writeDword(QStringLiteral("UpdateInterval"), interval);
    key.writeDword(QStringLiteral("Scale"), scale);
    key.writeDword(QStringLiteral("AlwaysOnTop"), 0);
    key.writeDword(QStringLiteral("RunOnStartup"), 1);
}

int imageOf(const QAction* a)
{
    return TBcBarPopupMenu::ImageIndex(a);
}

} // namespace

class tst_TCameraFlows : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    QWidget m_owner;

    // The catalog menu: Europe > Alps > {Cam1, Cam2}, Europe > Coast > Cam3. Every item marked.
    std::unique_ptr<QMenu> m_catalog;
    QAction* m_europe = nullptr;
    QAction* m_alps = nullptr;
    QAction* m_coast = nullptr;
    QAction* m_cam1 = nullptr;
    QAction* m_cam2 = nullptr;
    QAction* m_cam3 = nullptr;

    QAction* marked(QMenu* menu, const QString& text)
    {
        QAction* a = menu->addAction(text);
        TBcBarPopupMenu::SetImageIndex(a, TRegistryMenuTree::NewMarkerImage);
        return a;
    }
    QAction* markedFolder(QMenu* parent, const QString& text)
    {
        QMenu* sub = parent->addMenu(text);
        TBcBarPopupMenu::SetImageIndex(sub->menuAction(), TRegistryMenuTree::NewMarkerImage);
        return sub->menuAction();
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.Reset());

        m_catalog = std::make_unique<QMenu>(QStringLiteral("Web Camera Catalog"));
        m_europe = markedFolder(m_catalog.get(), QStringLiteral("Europe"));
        m_alps = markedFolder(m_europe->menu(), QStringLiteral("Alps"));
        m_coast = markedFolder(m_europe->menu(), QStringLiteral("Coast"));
        m_cam1 = marked(m_alps->menu(), QStringLiteral("Cam1"));
        m_cam2 = marked(m_alps->menu(), QStringLiteral("Cam2"));
        m_cam3 = marked(m_coast->menu(), QStringLiteral("Cam3"));
        TBcBarPopupMenu::SetImageIndex(m_catalog->menuAction(), TRegistryMenuTree::NewMarkerImage);
        writeCatalogCamera(QStringLiteral("Europe\\Alps\\Cam1"), QStringLiteral("alps.example/cam1.jpg"),
                           10000, 75);
        writeCatalogCamera(QStringLiteral("Europe\\Alps\\Cam2"), QStringLiteral("alps.example/cam2.jpg"), 0,
                           50);
        writeCatalogCamera(QStringLiteral("Europe\\Coast\\Cam3"), QStringLiteral("coast.example/cam3.jpg"), 5,
                           25);
    }
    void cleanup()
    {
        m_catalog.reset();
        TRegistryStore::closeAll();
    }

    void addShowsDefaultsAndOpensCamera_data()
    {
        QTest::addColumn<bool>("favourite");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("as-favourite")
            << true
            << QStringList{"RegisterDialog", "BuildFavoritesMenu", "OpenCameraWindow", "UnregisterDialog"};
        QTest::newRow("not-a-favourite")
            << false << QStringList{"RegisterDialog", "OpenCameraWindow", "UnregisterDialog"};
    }
    void addShowsDefaultsAndOpensCamera()
    {
        QFETCH(bool, favourite);
        QFETCH(QStringList, calls);
        TRecordingMainForm mainForm;
        bool sawDefaults = false;
        whenDialogShows([&](TfrmCameraSettings* d) {
            sawDefaults = d->edtURL->text().isEmpty() && d->edtDescr->text().isEmpty() &&
                          !d->btnOk->isEnabled() && d->edtPeriod->value() == 1 &&
                          d->cbxScale->currentText() == QLatin1String("Original Size") &&
                          d->chkStartup->isChecked() && d->chkStartup->isEnabled() &&
                          d->chkTop->isChecked() && d->chkAdd->isChecked();
            d->edtURL->setText(QStringLiteral("  127.0.0.1/cam.jpg "));
            d->edtDescr->setText(QStringLiteral(" Garden "));
            d->cbxScale->setCurrentIndex(1);
            d->chkTop->setChecked(false);
            d->chkAdd->setChecked(favourite);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        TCameraFlows::actAddCameraExecute(mainForm, &m_owner);

        QVERIFY(sawDefaults);
        QCOMPARE(mainForm.Calls, calls);
        QVERIFY(mainForm.Registered.isEmpty());
        QCOMPARE(mainForm.Opened.size(), size_t(1));
        const TWebCamera& c = *mainForm.Opened.front();
        QCOMPARE(c.URL, QStringLiteral("127.0.0.1/cam.jpg"));
        QCOMPARE(c.Description, QStringLiteral("Garden"));
        QCOMPARE(c.UpdateInterval, 1);
        QCOMPARE(c.Scale, 50);
        QCOMPARE(c.AlwaysOnTop, false);
        // Copied even when the box is disabled: it only matters for stored favourites.
        QCOMPARE(c.RunOnStartup, true);
        QVERIFY(c.CatalogPath.isEmpty());

        TWebCamera stored;
        stored.SetDescription(QStringLiteral("Garden"));
        QCOMPARE(stored.isFavorite(), favourite);
        if (favourite) {
            stored.LoadFromReg();
            QCOMPARE(stored.URL, QStringLiteral("127.0.0.1/cam.jpg"));
            QCOMPARE(stored.Scale, 50);
            QCOMPARE(stored.AlwaysOnTop, false);
        }
    }

    void addStoresEachControl_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("favourite");
        QTest::newRow("none") << "none"
                              << "cam.example/a.jpg|Garden|1|100|startup=1|top=1" << true;
        QTest::newRow("url") << "edtURL"
                             << "new.example/b.jpg|Garden|1|100|startup=1|top=1" << true;
        QTest::newRow("description") << "edtDescr"
                                     << "cam.example/a.jpg|Flipped|1|100|startup=1|top=1" << true;
        QTest::newRow("interval") << "edtPeriod"
                                  << "cam.example/a.jpg|Garden|0|100|startup=1|top=1" << true;
        QTest::newRow("scale") << "cbxScale"
                               << "cam.example/a.jpg|Garden|1|25|startup=1|top=1" << true;
        QTest::newRow("open-on-startup") << "chkStartup"
                                         << "cam.example/a.jpg|Garden|1|100|startup=0|top=1" << true;
        QTest::newRow("stay-on-top") << "chkTop"
                                     << "cam.example/a.jpg|Garden|1|100|startup=1|top=0" << true;
        QTest::newRow("add-to-favourites") << "chkAdd"
                                           << "cam.example/a.jpg|Garden|1|100|startup=1|top=1" << false;
    }
    void addStoresEachControl()
    {
        QFETCH(QString, control);
        QFETCH(QString, record);
        QFETCH(bool, favourite);
        TRecordingMainForm mainForm;
        whenDialogShows([&](TfrmCameraSettings* d) {
            d->edtURL->setText(QStringLiteral("cam.example/a.jpg"));
            d->edtDescr->setText(QStringLiteral("Garden"));
            CameraSettingsRows::flip(d, control, QStringLiteral("new.example/b.jpg"));
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        TCameraFlows::actAddCameraExecute(mainForm, &m_owner);

        QCOMPARE(mainForm.Opened.size(), size_t(1));
        const TWebCamera& opened = *mainForm.Opened.front();
        QCOMPARE(CameraSettingsRows::settingsOf(opened), record);
        TWebCamera stored;
        stored.SetDescription(opened.Description);
        QCOMPARE(stored.isFavorite(), favourite);
        if (favourite) {
            stored.LoadFromReg();
            QCOMPARE(CameraSettingsRows::settingsOf(stored), record);
        }
    }

    void addOverwritesFavouriteOfSameName()
    {
        TWebCamera old;
        old.SetDescription(QStringLiteral("Garden"));
        old.SetURL(QStringLiteral("old.example/a.jpg"));
        old.SetUpdateInterval(5);
        QVERIFY(old.SaveToReg());
        QVERIFY(TKeptPicture::Store(old.FavoriteKeyPath(), {"\"g1\"", {}, "the old camera's picture", {}}));
        TRecordingMainForm mainForm;
        whenDialogShows([](TfrmCameraSettings* d) {
            d->edtURL->setText(QStringLiteral("new.example/b.jpg"));
            d->edtDescr->setText(QStringLiteral("Garden"));
            QTest::keyClick(d->edtPeriod, Qt::Key_Up);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        TCameraFlows::actAddCameraExecute(mainForm, &m_owner);
        TWebCamera stored;
        stored.SetDescription(QStringLiteral("Garden"));
        stored.LoadFromReg();
        QCOMPARE(stored.URL, QStringLiteral("new.example/b.jpg"));
        QCOMPARE(stored.UpdateInterval, 2);
        // Nothing of the old camera's picture for the new one's first refresh to ask about.
        TKeptPicture::TKept kept;
        QVERIFY(!TKeptPicture::Load(stored.FavoriteKeyPath(), &kept));
        QVERIFY(!QFile::exists(TKeptPicture::FilePath(stored.FavoriteKeyPath())));
    }

    void addCancelledOpensAndStoresNothing()
    {
        TRecordingMainForm mainForm;
        whenDialogShows([](TfrmCameraSettings* d) {
            d->edtURL->setText(QStringLiteral("x.example/a.jpg"));
            d->edtDescr->setText(QStringLiteral("Garden"));
            QTest::mouseClick(d->btnCancel, Qt::LeftButton);
        });
        TCameraFlows::actAddCameraExecute(mainForm, &m_owner);
        QCOMPARE(mainForm.Calls, (QStringList{"RegisterDialog", "UnregisterDialog"}));
        QVERIFY(mainForm.Opened.empty());
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey));
    }

    void catalogFillsDialogFromCatalog()
    {
        TRecordingMainForm mainForm;
        QString seen;
        whenDialogShows([&](TfrmCameraSettings* d) {
            seen = QStringLiteral("%1|%2|%3|%4|add=%5|startup=%6/%7|top=%8")
                       .arg(d->edtPeriod->value())
                       .arg(d->edtDescr->text(), d->edtURL->text(), d->cbxScale->currentText())
                       .arg(d->chkAdd->isChecked())
                       .arg(d->chkStartup->isChecked())
                       .arg(d->chkStartup->isEnabled())
                       .arg(d->chkTop->isChecked());
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        TCameraFlows::CatalogClick(mainForm, &m_owner, m_cam1, m_catalog->menuAction(),
                                   QStringLiteral("Europe\\Alps"));
        QCOMPARE(seen, QStringLiteral("99|Cam1|alps.example/cam1.jpg|Original Size|add=0|startup=1/0|top=0"));
        QCOMPARE(mainForm.Calls, (QStringList{"CancelOpenDialogs", "RegisterDialog", "OpenCameraWindow",
                                              "UnregisterDialog"}));
        const TWebCamera& c = *mainForm.Opened.front();
        QCOMPARE(c.UpdateInterval, 99);
        QCOMPARE(c.Scale, 100);
        QCOMPARE(c.CatalogPath, QStringLiteral("Europe\\Alps"));
        QCOMPARE(c.RunOnStartup, true);
        QCOMPARE(c.AlwaysOnTop, false);
        QVERIFY(!c.isFavorite());
    }

    // Cam1's catalog key: interval 10000 (shown as 99), scale 75 (shown as "Original Size"),
    // not on top, open on start-up.
    void catalogStoresEachControl_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("favourite");
        QTest::newRow("none") << "none"
                              << "alps.example/cam1.jpg|Cam1|99|100|startup=1|top=0" << false;
        QTest::newRow("url") << "edtURL"
                             << "new.example/b.jpg|Cam1|99|100|startup=1|top=0" << false;
        QTest::newRow("description") << "edtDescr"
                                     << "alps.example/cam1.jpg|Flipped|99|100|startup=1|top=0" << false;
        QTest::newRow("interval") << "edtPeriod"
                                  << "alps.example/cam1.jpg|Cam1|98|100|startup=1|top=0" << false;
        QTest::newRow("scale") << "cbxScale"
                               << "alps.example/cam1.jpg|Cam1|99|25|startup=1|top=0" << false;
        QTest::newRow("open-on-startup") << "chkStartup"
                                         << "alps.example/cam1.jpg|Cam1|99|100|startup=0|top=0" << false;
        QTest::newRow("stay-on-top") << "chkTop"
                                     << "alps.example/cam1.jpg|Cam1|99|100|startup=1|top=1" << false;
        QTest::newRow("add-to-favourites") << "chkAdd"
                                           << "alps.example/cam1.jpg|Cam1|99|100|startup=1|top=0" << true;
    }
    void catalogStoresEachControl()
    {
        QFETCH(QString, control);
        QFETCH(QString, record);
        QFETCH(bool, favourite);
        TRecordingMainForm mainForm;
        whenDialogShows([&](TfrmCameraSettings* d) {
            CameraSettingsRows::flip(d, control, QStringLiteral("new.example/b.jpg"));
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        TCameraFlows::CatalogClick(mainForm, &m_owner, m_cam1, m_catalog->menuAction(),
                                   QStringLiteral("Europe\\Alps"));

        QCOMPARE(mainForm.Opened.size(), size_t(1));
        const TWebCamera& opened = *mainForm.Opened.front();
        QCOMPARE(CameraSettingsRows::settingsOf(opened), record);
        QCOMPARE(opened.CatalogPath, QStringLiteral("Europe\\Alps"));
        TWebCamera stored;
        stored.SetDescription(opened.Description);
        QCOMPARE(stored.isFavorite(), favourite);
        if (favourite) {
            stored.LoadFromReg();
            QCOMPARE(CameraSettingsRows::settingsOf(stored), record);
        }
    }

    void catalogZeroIntervalShowsOne()
    {
        TRecordingMainForm mainForm;
        int shown = -1;
        whenDialogShows([&](TfrmCameraSettings* d) {
            shown = d->edtPeriod->value();
            d->chkAdd->setChecked(true);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        TCameraFlows::CatalogClick(mainForm, &m_owner, m_cam2, m_catalog->menuAction(),
                                   QStringLiteral("Europe\\Alps"));
        QCOMPARE(shown, 1);
        QVERIFY(mainForm.Calls.contains(QStringLiteral("BuildFavoritesMenu")));
        TWebCamera stored;
        stored.SetDescription(QStringLiteral("Cam2"));
        stored.LoadFromReg();
        QCOMPARE(stored.URL, QStringLiteral("alps.example/cam2.jpg"));
        QCOMPARE(stored.UpdateInterval, 1);
        QCOMPARE(stored.Scale, 50);
    }

    void firstOpeningRemovesMarkers_data()
    {
        QTest::addColumn<QStringList>("alreadyOpened"); // cameras opened before, their markers gone
        QTest::addColumn<QString>("camera");
        QTest::addColumn<QString>("unmarked"); // items without marker afterwards, in tree order
        QTest::newRow("sibling-still-new-keeps-folder") << QStringList{} << "Cam1"
                                                        << "Cam1";
        QTest::newRow("last-in-folder-clears-folder") << QStringList{"Cam2"} << "Cam1"
                                                      << "Alps Cam1 Cam2";
        QTest::newRow("last-in-catalog-stops-below-root") << QStringList{"Cam2", "Cam3"} << "Cam1"
                                                          << "Europe Alps Cam1 Cam2 Coast Cam3";
    }
    void firstOpeningRemovesMarkers()
    {
        QFETCH(QStringList, alreadyOpened);
        QFETCH(QString, camera);
        QFETCH(QString, unmarked);
        const QList<QAction*> all = {m_europe, m_alps, m_cam1, m_cam2, m_coast, m_cam3};
        for (QAction* a : all) {
            if (alreadyOpened.contains(a->text()))
                TBcBarPopupMenu::SetImageIndex(a, TRegistryMenuTree::NoImage);
        }
        if (alreadyOpened.contains(QStringLiteral("Cam3")))
            TBcBarPopupMenu::SetImageIndex(m_coast, TRegistryMenuTree::NoImage);
        QAction* item = m_alps->menu()->actions().at(camera == QLatin1String("Cam1") ? 0 : 1);

        TRecordingMainForm mainForm;
        whenDialogShows([](TfrmCameraSettings* d) { QTest::mouseClick(d->btnCancel, Qt::LeftButton); });
        TCameraFlows::CatalogClick(mainForm, &m_owner, item, m_catalog->menuAction(),
                                   QStringLiteral("Europe\\Alps"));

        QStringList gone;
        for (const QAction* a : all) {
            if (imageOf(a) == TRegistryMenuTree::NoImage)
                gone.append(a->text());
        }
        QCOMPARE(gone.join(QLatin1Char(' ')), unmarked);
        QCOMPARE(imageOf(m_catalog->menuAction()), TRegistryMenuTree::NewMarkerImage);
        // Cancelled, yet counted as opened.
        QVERIFY(mainForm.Opened.empty());
        const TRegKey key = TRegKey::open(TRegRoot::LocalMachine, RegistryLayout::CatalogKey +
                                                                      QStringLiteral("\\Europe\\Alps\\Cam1"));
        QCOMPARE(key.readDword(QStringLiteral("Opened")), std::optional<qint32>(1));
    }

    void secondOpeningChangesNoMarker()
    {
        TRegKey::create(TRegRoot::LocalMachine,
                        RegistryLayout::CatalogKey + QStringLiteral("\\Europe\\Alps\\Cam1"))
            .writeDword(QStringLiteral("Opened"), 1);
        TRecordingMainForm mainForm;
        whenDialogShows([](TfrmCameraSettings* d) { QTest::mouseClick(d->btnCancel, Qt::LeftButton); });
        TCameraFlows::CatalogClick(mainForm, &m_owner, m_cam1, m_catalog->menuAction(),
                                   QStringLiteral("Europe\\Alps"));
        QCOMPARE(imageOf(m_cam1), TRegistryMenuTree::NewMarkerImage);
        QCOMPARE(imageOf(m_alps), TRegistryMenuTree::NewMarkerImage);
    }

    void favouriteOpensWithoutDialogEveryTime()
    {
        TWebCamera fav;
        fav.SetDescription(QStringLiteral("Harbour"));
        fav.SetURL(QStringLiteral("harbour.example/live.jpg"));
        fav.SetUpdateInterval(3);
        fav.Scale = 25;
        fav.Left = 40;
        fav.Top = 60;
        QVERIFY(fav.SaveToReg());
        QMenu favourites;
        QAction* item = favourites.addAction(QStringLiteral("Harbour"));

        TRecordingMainForm mainForm;
        TCameraFlows::MyFavoritesClick(mainForm, item);
        TCameraFlows::MyFavoritesClick(mainForm, item);
        QCOMPARE(mainForm.Calls, (QStringList{"OpenCameraWindow", "OpenCameraWindow"}));
        QCOMPARE(mainForm.Opened.size(), size_t(2));
        const TWebCamera& c = *mainForm.Opened.back();
        QCOMPARE(c.URL, QStringLiteral("harbour.example/live.jpg"));
        QCOMPARE(c.UpdateInterval, 3);
        QCOMPARE(c.Scale, 25);
        QCOMPARE(QPoint(c.Left, c.Top), QPoint(40, 60));
    }
};

QTEST_MAIN(tst_TCameraFlows)
#include "tst_TCameraFlows.moc"
