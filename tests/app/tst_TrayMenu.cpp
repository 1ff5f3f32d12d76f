#include "app/TMenuImages.h"
#include "app/TfrmVrelWebCamMain.h"
#include "camera/RegistryLayout.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "dialogs/fTipsForm.h"
#include "dialogs/fmAbout.h"
#include "options/TfrmOptionsForm.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "platform/TShell.h"
#include "viewer/fImage.h"
#include "widgets/BarMenus.h"
#include "widgets/TrayShell.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "tests/support/TStoreSandbox.h"
#include "tests/support/TTraceCapture.h"
#include "tests/support/WhenModalShows.h"

namespace {

std::unique_ptr<TWebCamera> newCamera(const QString& description)
{
    auto camera = std::make_unique<TWebCamera>();
    camera->SetDescription(description);
    camera->Scale = 100;
    return camera;
}

// Runs act on the camera settings dialog once it runs modally.
void whenSettingsShow(std::function<void(TfrmCameraSettings*)> act)
{
    whenModalShows<TfrmCameraSettings>(std::move(act));
}

QAction* item(const TfrmVrelWebCamMain& form, const QString& name)
{
    return form.findChild<QAction*>(name);
}

QStringList names(const QList<QAction*>& actions)
{
    QStringList result;
    for (const QAction* action : actions)
        result.append(action->objectName());
    return result;
}

// Opens the tray menu as a right click on the icon does and waits until it is on screen.
bool openByRightClick(TfrmVrelWebCamMain& form)
{
    form.tiMain->HandleActivation(QSystemTrayIcon::Context);
    return QTest::qWaitForWindowExposed(form.PopupMenu1);
}

bool near(QRgb pixel, const QColor& wanted, int tolerance)
{
    return qAbs(qRed(pixel) - wanted.red()) <= tolerance &&
           qAbs(qGreen(pixel) - wanted.green()) <= tolerance &&
           qAbs(qBlue(pixel) - wanted.blue()) <= tolerance;
}

} // namespace

// The tray icon and the main menu of the hidden main form, without a display.
class tst_TrayMenu : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    QStringList m_opened;

private Q_SLOTS:
    void initTestCase()
    {
        QApplication::setApplicationName("Vrel Web Camera");
        QVERIFY2(qEnvironmentVariableIntValue("VREL_TRACE") == 1, "this test reads the trace");
    }

    void init()
    {
        QVERIFY(m_dir.Reset());
        m_dir.Set("VREL_WEB_HOST", "maker.test");
        ProgramOptions = TProgramOptions();
        m_opened.clear();
        TShell::setLauncher([this](const QString& address) {
            m_opened.append(address);
            return true;
        });
    }
    void cleanup()
    {
        TShell::setLauncher({});
        TRegistryStore::closeAll();
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
    }

    void itemsInTheirMenus_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("PopupMenu1") << "PopupMenu1"
                                    << QStringList{"mnuAddnewCamera",
                                                   "mnuOptions",
                                                   "mnuWebCameraCatalog",
                                                   "mnuMyFavorites",
                                                   "N4",
                                                   "mnuOnTheWeb",
                                                   "N1",
                                                   "mnuReadme",
                                                   "N2",
                                                   "mnuAbout",
                                                   "mnuTips",
                                                   "mnuCloseMenu",
                                                   "mnuExit"};
        QTest::newRow("mnuWebCameraCatalog")
            << "mnuWebCameraCatalog" << QStringList{"mnuLoadFavorites", "N5"};
        QTest::newRow("mnuMyFavorites")
            << "mnuMyFavorites" << QStringList{"mnuOrganizeMyFavorites", "mnuAddNewFavorite", "N3"};
        QTest::newRow("mnuOnTheWeb") << "mnuOnTheWeb"
                                     << QStringList{"mnuVrel", "mnuVrelTarn", "mnuVrelTarnFeature",
                                                    "mnuContactUs", "mnuFAQ"};
    }
    void itemsInTheirMenus()
    {
        QFETCH(QString, menu);
        QFETCH(QStringList, items);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        const QMenu* found = form.findChild<QMenu*>(menu);
        QVERIFY(found);
        QCOMPARE(names(found->actions()), items);
    }

    void itemCaptionsAndImages_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("image");
        QTest::addColumn<bool>("separator");
        QTest::addColumn<bool>("subMenu");
        const auto row = [](const char* name, const char* caption, int image, bool subMenu = false) {
            QTest::newRow(name) << QString(caption) << image << (QString(caption) == "-") << subMenu;
        };
        row("mnuAddnewCamera", "Add new camera...", -1);
        row("mnuOptions", "Options...", 1);
        row("mnuWebCameraCatalog", "&Web Camera Catalog", -1, true);
        row("mnuLoadFavorites", "Load Catalog from Vrel Kestro web site", -1);
        row("N5", "-", -1);
        row("mnuMyFavorites", "&My Favorites", -1, true);
        row("mnuOrganizeMyFavorites", "Organize My Favorites...", -1);
        row("mnuAddNewFavorite", "Add new Favorite camera...", -1);
        row("N3", "-", -1);
        row("N4", "-", -1);
        row("mnuOnTheWeb", "On the Web", 4, true);
        row("mnuVrel", "Vrel Kestro Software - other products", 3);
        row("mnuVrelTarn", "Vrel Web Camera - check latest version", 3);
        row("mnuVrelTarnFeature", "Vrel Web Camera - request new feature", 3);
        row("mnuContactUs", "Contact us - get support or give your advise", 3);
        row("mnuFAQ", "FAQ - Frequently Asked Qustions", 3);
        row("N1", "-", -1);
        row("mnuReadme", "&Readme", 5);
        row("N2", "-", -1);
        row("mnuAbout", "About...", 2);
        row("mnuTips", "Show &Tip of the Day", 9);
        row("mnuCloseMenu", "&Close this menu", 6);
        row("mnuExit", "E&xit", 0);
    }
    void itemCaptionsAndImages()
    {
        QFETCH(QString, caption);
        QFETCH(int, image);
        QFETCH(bool, separator);
        QFETCH(bool, subMenu);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        const QAction* action = item(form, QTest::currentDataTag());
        QVERIFY(action);
        QCOMPARE(action->isSeparator(), separator);
        if (!separator)
            QCOMPARE(action->text(), caption);
        QCOMPARE(TBcBarPopupMenu::ImageIndex(action), image);
        QCOMPARE(action->menu() != nullptr, subMenu);
        QVERIFY(action->isEnabled());
    }

    void componentsOfTheForm()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QCOMPARE(form.findChild<TTrayIcon*>("tiMain"), form.tiMain);
        QCOMPARE(form.findChild<TBcBarPopupMenu*>("PopupMenu1"), form.PopupMenu1);
        QCOMPARE(item(form, "actAddCamera")->text(), QString("Add new camera..."));
        QCOMPARE(item(form, "actOrgFavorites")->text(), QString("Organize Favorites..."));
        QCOMPARE(form.PopupMenu1->defaultAction(), item(form, "mnuOptions"));
        QCOMPARE(item(form, "mnuTips")->statusTip(), QString("mnuTips"));

        // The icon is in the tray from the form's creation on, with the menu attached.
        QVERIFY(form.tiMain->IsAdded());
        QCOMPARE(form.tiMain->Hint(), QString("Vrel Web Camera"));
        QCOMPARE(form.tiMain->PopupMenu(), form.PopupMenu1);
        QVERIFY(!form.tiMain->Icon().isNull());
        QVERIFY(form.tiMain->Icon().availableSizes().contains(QSize(32, 32)));

        const QList<QPixmap> images = form.PopupMenu1->Images();
        QCOMPARE(images.size(), 11);
        for (const QPixmap& image : images)
            QCOMPARE(image.size(), QSize(16, 16));
        QCOMPARE(form.PopupMenu1->Bar()->Width(), 21);
        QCOMPARE(form.PopupMenu1->Bar()->BarCaption()->Caption(), QString("Vrel Kestro Software"));
    }

    // Drawn pictures must differ from each other and show something; a blank or repeated one
    // would leave an item without its meaning.
    void imagesAreDistinctPictures()
    {
        const QList<QImage> images = TMenuImages::ImageList();
        QCOMPARE(images.size(), 11);
        for (int i = 0; i < images.size(); ++i) {
            int opaque = 0;
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    opaque += qAlpha(images[i].pixel(x, y)) > 128 ? 1 : 0;
            QVERIFY2(opaque >= 30, qPrintable(QString("image %1 is nearly empty").arg(i)));
            for (int j = 0; j < i; ++j)
                QVERIFY2(images[i] != images[j],
                         qPrintable(QString("images %1 and %2 are equal").arg(j).arg(i)));
        }
        QVERIFY(TMenuImages::MenuImage(11).isNull());
        QVERIFY(TMenuImages::MenuImage(-1).isNull());
        QCOMPARE(TMenuImages::ProgramIconImage(48).size(), QSize(48, 48));
    }

    void webItemsOpenTheMakersPages_data()
    {
        QTest::addColumn<QString>("address");
        QTest::newRow("mnuVrel") << "http://maker.test";
        QTest::newRow("mnuVrelTarn") << "http://maker.test/vrelcam.html";
        QTest::newRow("mnuVrelTarnFeature") << "http://maker.test/vrelcam_next.html";
        QTest::newRow("mnuContactUs") << "http://maker.test/contact_us.html";
        QTest::newRow("mnuFAQ") << "http://maker.test/vrelcam_faq.html";
    }
    void webItemsOpenTheMakersPages()
    {
        QFETCH(QString, address);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        TTraceCapture trace;
        item(form, QTest::currentDataTag())->trigger();
        QCOMPARE(m_opened, QStringList{address});
        QCOMPARE(trace.events({"menu-item", "shell-open"}),
                 (QStringList{QString("menu-item ") + QTest::currentDataTag(), "shell-open " + address}));
    }

    void readmeComesFromTheProgramsFolder()
    {
        // A Readme.txt in the current folder must not be the one opened.
        QFile decoy(m_dir.filePath("Readme.txt"));
        QVERIFY(decoy.open(QIODevice::WriteOnly));
        decoy.close();
        const QString before = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
        auto back = qScopeGuard([&] { QDir::setCurrent(before); });

        TfrmVrelWebCamMain form{TCommandLine("-start")};
        item(form, "mnuReadme")->trigger();
        QCOMPARE(m_opened, QStringList{QCoreApplication::applicationDirPath() + "/Readme.txt"});
    }

    void exitChosenInTheMenuEndsTheProgram()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.OpenCameraWindow(newCamera("North"));
        // A cancelled dialog whose modal loop has not finished yet stays listed after a newer
        // one has closed, and the menu is back: Exit must end it too.
        QDialog older;
        QDialog newer;
        older.show();
        form.RegisterDialog(&older);
        form.RegisterDialog(&newer);
        form.UnregisterDialog(&newer);
        QVERIFY(openByRightClick(form));

        QTest::mouseClick(form.PopupMenu1, Qt::LeftButton, {},
                          form.PopupMenu1->actionGeometry(item(form, "mnuExit")).center());

        QVERIFY(form.IsClosed());
        QVERIFY(!form.PopupMenu1->isVisible());
        QVERIFY(!older.isVisible());
        QCOMPARE(older.result(), int(QDialog::Rejected));
        QVERIFY(!form.tiMain->Active());
        QVERIFY(!form.tiMain->IsAdded());
        QVERIFY(m_opened.isEmpty());
    }

    void closeThisMenuOnlyClosesTheMenu()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.OpenCameraWindow(newCamera("North"));
        TTraceCapture trace;
        QVERIFY(openByRightClick(form));

        QTest::mouseClick(form.PopupMenu1, Qt::LeftButton, {},
                          form.PopupMenu1->actionGeometry(item(form, "mnuCloseMenu")).center());

        QTRY_VERIFY(!form.PopupMenu1->isVisible());
        QCOMPARE(trace.events({"menu-item", "shell-open", "dialog-open", "camera-close", "step", "raise"}),
                 QStringList{"menu-item mnuCloseMenu"});
        QVERIFY(!form.IsClosed());
        QCOMPARE(form.CameraWindows().size(), 1);
        QVERIFY(form.CameraWindows().first()->isVisible());
        QCOMPARE(form.tiMain->PopupMenu(), form.PopupMenu1);
    }

    // Both items run the one action: the settings dialog follows the dialog protocol (no menu
    // and no double click on the icon while it is open) and its camera opens in a window.
    void addCameraItemsOpenTheSettingsDialog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("main-menu") << "mnuAddnewCamera";
        QTest::newRow("favorites-menu") << "mnuAddNewFavorite";
    }
    void addCameraItemsOpenTheSettingsDialog()
    {
        QFETCH(QString, name);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        TTraceCapture trace;
        QStringList listedWhileOpen;
        QMenu* menuWhileOpen = form.PopupMenu1;
        bool dblClickWhileOpen = true;
        whenSettingsShow([&](TfrmCameraSettings* d) {
            for (const QWidget* dialog : form.DialogList())
                listedWhileOpen.append(dialog->objectName());
            menuWhileOpen = form.tiMain->PopupMenu();
            dblClickWhileOpen = bool(form.tiMain->OnDblClick);
            d->edtURL->setText("127.0.0.1:1/cam.jpg");
            d->edtDescr->setText("Garden");
            d->chkAdd->setChecked(true);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        item(form, name)->trigger();

        QCOMPARE(listedWhileOpen, QStringList{"frmCameraSettings"});
        QCOMPARE(menuWhileOpen, nullptr);
        QVERIFY(!dblClickWhileOpen);
        QCOMPARE(form.tiMain->PopupMenu(), form.PopupMenu1);
        QVERIFY(form.tiMain->OnDblClick);
        QVERIFY(form.DialogList().isEmpty());
        QCOMPARE(form.CameraWindows().size(), 1);
        QCOMPARE(static_cast<TfrmImage*>(form.CameraWindows().first())->Camera()->Description,
                 QString("Garden"));
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey + "\\Garden"));
        QCOMPARE(trace.events({"menu-item", "dialog-open", "dialog-close", "camera-open"}),
                 (QStringList{"menu-item " + name, "dialog-open frmCameraSettings", "camera-open Garden",
                              "dialog-close frmCameraSettings accepted"}));
    }

    // "Show Tip of the Day", "About..." and a second start's request for the about box open
    // their windows through the dialog protocol: the tray menu is detached while they are open.
    void tipsAndAboutOpenTheirWindows_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("mnuTips") << "mnuTips"
                                 << "frmTipsForm"
                                 << QStringList{"menu-item mnuTips", "dialog-open frmTipsForm",
                                                "dialog-close frmTipsForm 2"};
        QTest::newRow("mnuAbout") << "mnuAbout"
                                  << "AboutForm"
                                  << QStringList{"menu-item mnuAbout", "dialog-open AboutForm",
                                                 "dialog-close AboutForm accepted"};
        QTest::newRow("second-start")
            << "WM_SHOWABOUT"
            << "AboutForm" << QStringList{"dialog-open AboutForm", "dialog-close AboutForm accepted"};
    }
    void tipsAndAboutOpenTheirWindows()
    {
        QFETCH(QString, how);
        QFETCH(QString, window);
        QFETCH(QStringList, events);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        TTraceCapture trace;
        QStringList listedWhileOpen;
        QMenu* menuWhileOpen = form.PopupMenu1;
        whenModalShows<QDialog>([&](QDialog* d) {
            for (const QWidget* dialog : form.DialogList())
                listedWhileOpen.append(dialog->objectName());
            menuWhileOpen = form.tiMain->PopupMenu();
            QTest::keyClick(d, Qt::Key_Escape);
        });
        if (how == "WM_SHOWABOUT")
            form.HandleInstanceMessage(TInstanceMessage::ShowAbout);
        else
            item(form, how)->trigger();
        QCOMPARE(listedWhileOpen, QStringList{window});
        QCOMPARE(menuWhileOpen, nullptr);
        QCOMPARE(form.tiMain->PopupMenu(), form.PopupMenu1);
        QVERIFY(form.DialogList().isEmpty());
        QCOMPARE(trace.events({"menu-item", "dialog-open", "dialog-close"}), events);
    }

    void leftClickRaisesTheCameraWindowsInOrder()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        for (const char* name : {"North", "South", "East"})
            form.OpenCameraWindow(newCamera(name));
        for (QWidget* window : form.CameraWindows())
            QVERIFY(QTest::qWaitForWindowExposed(window));
        form.CameraWindows().first()->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), form.CameraWindows().first());
        TTraceCapture trace;

        form.tiMain->HandleActivation(QSystemTrayIcon::Trigger);

        QCOMPARE(trace.events({"tray", "beep", "raise", "menu-open"}),
                 (QStringList{"tray click", "beep tray-click", "raise North", "raise South", "raise East"}));
        QTRY_COMPARE(QApplication::activeWindow(), form.CameraWindows().last());
    }

    void clickWithNothingOpenOnlyBeeps()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        TTraceCapture trace;
        form.tiMain->HandleActivation(QSystemTrayIcon::Trigger);
        QCOMPARE(trace.events({"tray", "beep", "raise", "menu-open"}),
                 (QStringList{"tray click", "beep tray-click"}));
    }

    // While a dialog is open a right click shows no menu: like a left click it brings the
    // newest dialog to the front, and leaves the camera windows where they are.
    void clickWithADialogOpenRaisesTheDialog_data()
    {
        QTest::addColumn<QSystemTrayIcon::ActivationReason>("reason");
        QTest::newRow("left-click") << QSystemTrayIcon::Trigger;
        QTest::newRow("right-click") << QSystemTrayIcon::Context;
    }
    void clickWithADialogOpenRaisesTheDialog()
    {
        QFETCH(QSystemTrayIcon::ActivationReason, reason);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.OpenCameraWindow(newCamera("North"));
        QDialog older;
        older.setObjectName("frmOlder");
        QDialog newer;
        newer.setObjectName("frmNewer");
        for (QDialog* dialog : {&older, &newer}) {
            dialog->show();
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            form.RegisterDialog(dialog);
        }
        form.CameraWindows().first()->activateWindow();
        QTRY_COMPARE(QApplication::activeWindow(), form.CameraWindows().first());
        TTraceCapture trace;

        form.tiMain->HandleActivation(reason);

        QCOMPARE(trace.events({"tray", "beep", "raise", "menu-open"}),
                 (QStringList{"tray click", "beep tray-click", "raise frmNewer"}));
        QVERIFY(!form.PopupMenu1->isVisible());
        QTRY_COMPARE(QApplication::activeWindow(), &newer);
    }

    void rightClickOpensTheMenuWithoutAClick()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.OpenCameraWindow(newCamera("North"));
        TTraceCapture trace;
        QVERIFY(openByRightClick(form));
        QCOMPARE(form.PopupMenu1->PopupComponent(), form.tiMain);
        const QStringList seen = trace.events({"tray", "beep", "raise", "menu-open"});
        QCOMPARE(seen.size(), 1);
        QVERIFY2(seen.first().startsWith("menu-open "), qPrintable(seen.first()));
    }

    void doubleClick_data()
    {
        QTest::addColumn<bool>("dialogOpen");
        QTest::addColumn<bool>("optionsEnabled");
        QTest::addColumn<QStringList>("events");
        QTest::newRow("runs-the-default-item") << false << true << QStringList{"menu-item mnuOptions"};
        QTest::newRow("dialog-open-does-nothing") << true << true << QStringList{};
        QTest::newRow("default-disabled-runs-the-handler")
            << false << false << QStringList{"tray double-click"};
    }
    void doubleClick()
    {
        QFETCH(bool, dialogOpen);
        QFETCH(bool, optionsEnabled);
        QFETCH(QStringList, events);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QDialog dialog;
        if (dialogOpen)
            form.RegisterDialog(&dialog);
        item(form, "mnuOptions")->setEnabled(optionsEnabled);
        int optionsWindows = 0;
        eachTimeModalShows<TfrmOptionsForm>(&form, [&](TfrmOptionsForm* options) {
            ++optionsWindows;
            options->reject();
        });
        TTraceCapture trace;

        form.tiMain->HandleActivation(QSystemTrayIcon::DoubleClick);

        QCOMPARE(trace.events({"tray", "menu-item", "menu-open"}), events);
        QCOMPARE(optionsWindows, dialogOpen ? 0 : 1);
        QVERIFY(!form.PopupMenu1->isVisible());
    }

    void sideBarFollowsTheColourDepth_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("bar");
        QTest::addColumn<QColor>("top");
        QTest::addColumn<QColor>("bottom");
        QTest::newRow("16-colours") << 4 << false << QColor() << QColor();
        QTest::newRow("256-colours") << 8 << true << QColor(0, 0, 128) << QColor(0, 0, 128);
        QTest::newRow("true-colour") << 32 << true << QColor(0, 0, 0) << QColor(156, 182, 214);
    }
    void sideBarFollowsTheColourDepth()
    {
        QFETCH(int, depth);
        QFETCH(bool, bar);
        QFETCH(QColor, top);
        QFETCH(QColor, bottom);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.ColorDepth = [depth] { return depth; };
        TTraceCapture trace;
        QVERIFY(openByRightClick(form));
        const QImage shot = form.PopupMenu1->grab().toImage().convertToFormat(QImage::Format_RGB32);

        QVERIFY(trace.events({"menu-open"}).first().endsWith(QString(" depth %1").arg(depth)));
        QCOMPARE(form.PopupMenu1->Bar()->Visible(), bar);
        // Beside the first item, a few pixels in from the frame.
        const QRect first = form.PopupMenu1->actionGeometry(item(form, "mnuAddnewCamera"));
        const QPoint barTop(first.left() + 1, first.top());
        if (!bar) {
            QCOMPARE(QColor(shot.pixel(barTop)), form.PopupMenu1->palette().color(QPalette::Window));
            return;
        }
        QCOMPARE(QColor(shot.pixel(barTop)), top);
        const QRect last = form.PopupMenu1->actionGeometry(item(form, "mnuExit"));
        const QRgb lowest = shot.pixel(last.left() + 1, last.bottom());
        QVERIFY2(near(lowest, bottom, 3), qPrintable(QColor(lowest).name()));
    }

    // With no catalog or favourite entries yet, the separators that would lead them are hidden.
    void emptySubMenusHideTheirSeparators()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        for (const char* name : {"mnuWebCameraCatalog", "mnuMyFavorites"}) {
            QMenu* sub = form.findChild<QMenu*>(name);
            sub->popup(QPoint(10, 10));
            QVERIFY(QTest::qWaitForWindowExposed(sub));
            QAction* separator = sub->actions().last();
            QVERIFY(separator->isSeparator());
            QVERIFY2(sub->actionGeometry(separator).isEmpty(), name);
            QVERIFY(!sub->actionGeometry(sub->actions().first()).isEmpty());
            sub->close();
        }
    }

    void dialogProtocolDetachesAndReattachesTheMenu()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QDialog first;
        QDialog second;
        form.RegisterDialog(&first);
        form.RegisterDialog(&second);
        QCOMPARE(form.tiMain->PopupMenu(), nullptr);
        QVERIFY(!form.tiMain->OnDblClick);
        // Each unregistering attaches them again, even with another dialog still open.
        form.UnregisterDialog(&second);
        QCOMPARE(form.tiMain->PopupMenu(), form.PopupMenu1);
        QVERIFY(form.tiMain->OnDblClick);
        QCOMPARE(form.DialogList(), QList<QWidget*>{&first});
    }
};

QTEST_MAIN(tst_TrayMenu)
#include "tst_TrayMenu.moc"
