#include "app/ClearRegistryKey.h"
#include "app/TfrmVrelWebCamMain.h"
#include "camera/RegistryLayout.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "catalog/TRegistryMenus.h"
#include "catalog/fUpdate.h"
#include "dialogs/fTipsForm.h"
#include "lang/Lang.h"
#include "options/TfrmOptionsForm.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "platform/TUserPrompt.h"
#include "viewer/TRefreshCycle.h"
#include "viewer/fImage.h"
#include "widgets/BarMenus.h"
#include "widgets/TrayShell.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "tests/support/TStoreSandbox.h"
#include "tests/support/TTestHttpServer.h"
#include "tests/support/TTraceCapture.h"
#include "tests/support/WhenModalShows.h"
#include "tests/viewer/TCameraFixtures.h"

namespace {

const QString Favorites = RegistryLayout::MyFavoritesKey;

void addFavorite(const QString& name, qint32 runOnStartup)
{
    TRegKey key = TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\" + name);
    QVERIFY(key.writeString("URL", ""));
    QVERIFY(key.writeDword("RunOnStartup", runOnStartup));
    QVERIFY(key.writeDword("AlwaysOnTop", 0));
}

QStringList cameraNames(const TfrmVrelWebCamMain& form)
{
    QStringList names;
    for (QWidget* window : form.CameraWindows())
        names.append(static_cast<TfrmImage*>(window)->Camera()->Description);
    return names;
}

// A main form that counts how often the language is applied again.
class TCountingMainForm : public TfrmVrelWebCamMain
{
public:
    using TfrmVrelWebCamMain::TfrmVrelWebCamMain;
    void ReapplyLanguage() override
    {
        ++Reapplied;
        TfrmVrelWebCamMain::ReapplyLanguage();
    }
    int Reapplied = 0;
};

std::unique_ptr<TWebCamera> newCamera(const QString& description, bool alwaysOnTop)
{
    auto camera = std::make_unique<TWebCamera>();
    camera->SetDescription(description);
    camera->SetAlwaysOnTop(alwaysOnTop);
    camera->Scale = 100;
    return camera;
}

} // namespace

class tst_TfrmVrelWebCamMain : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    QList<TUserPrompt::TRequest> m_prompts;

    void answerPrompts(const QString& answer)
    {
        TUserPrompt::setResponder([this, answer](const TUserPrompt::TRequest& request) {
            m_prompts.append(request);
            return answer;
        });
    }

private Q_SLOTS:
    void initTestCase() { QApplication::setApplicationName("Vrel Web Camera"); }

    void init()
    {
        QVERIFY(m_dir.Reset());
        m_prompts.clear();
        ProgramOptions = TProgramOptions();
        ProgramOptions.LoadOptions();
        // The tip of the day waits for the user; the tests that want it switch it on.
        ProgramOptions.ShowTipsOnStartup = false;
    }
    void cleanup()
    {
        TUserPrompt::setResponder({});
        TRegistryStore::closeAll();
    }

    void registerAndUnregisterKeepOrder()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QDialog first;
        QDialog second;
        form.RegisterDialog(&first);
        form.RegisterDialog(&second);
        form.RegisterDialog(&first);
        QCOMPARE(form.DialogList(), (QList<QWidget*>{&first, &second, &first}));
        form.UnregisterDialog(&first);
        QCOMPARE(form.DialogList(), (QList<QWidget*>{&second, &first}));
        QDialog stranger;
        form.UnregisterDialog(&stranger);
        QCOMPARE(form.DialogList(), (QList<QWidget*>{&second, &first}));
    }

    void cancelHidesEveryDialogAndKeepsTheList()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QDialog first;
        QWidget plain;
        first.show();
        plain.show();
        first.setResult(QDialog::Accepted);
        form.RegisterDialog(&first);
        form.RegisterDialog(&plain);
        form.CancelOpenDialogs();
        QVERIFY(!first.isVisible());
        QVERIFY(!plain.isVisible());
        QCOMPARE(first.result(), int(QDialog::Rejected));
        QCOMPARE(form.DialogList(), (QList<QWidget*>{&first, &plain}));
    }

    // The protocol as openers follow it: a newer dialog cancels the older one, whose modal
    // loop ends once the newer one has closed.
    void newerDialogEndsTheOlderOne()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QDialog older;
        QDialog newer;
        int newerResult = -1;
        bool olderHiddenWhileNewerOpen = false;
        QTimer::singleShot(0, &form, [&] {
            form.CancelOpenDialogs();
            form.RegisterDialog(&newer);
            QTimer::singleShot(0, &newer, [&] {
                olderHiddenWhileNewerOpen = !older.isVisible();
                newer.accept();
            });
            newerResult = newer.exec();
            form.UnregisterDialog(&newer);
        });
        form.RegisterDialog(&older);
        const int olderResult = older.exec();
        form.UnregisterDialog(&older);

        QCOMPARE(newerResult, int(QDialog::Accepted));
        QCOMPARE(olderResult, int(QDialog::Rejected));
        QVERIFY(olderHiddenWhileNewerOpen);
        QVERIFY(form.DialogList().isEmpty());
    }

    void cameraWindowLeavesTheListAndDiesAfterItsClose()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.OpenCameraWindow(newCamera("North", true));
        form.OpenCameraWindow(newCamera("South", false));
        QCOMPARE(cameraNames(form), (QStringList{"North", "South"}));
        auto* north = static_cast<TfrmImage*>(form.CameraWindows().first());
        QVERIFY(north->isVisible());
        QVERIFY(north->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!form.CameraWindows().last()->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        QPointer<QWidget> closed(north);
        north->close();
        QCOMPARE(cameraNames(form), QStringList{"South"});
        QVERIFY2(closed, "the window was destroyed inside its own close handling");
        QTRY_VERIFY(closed.isNull());
    }

    // A camera window whose picture stays frozen marks the favourite's tray item, also across a
    // rebuild of the menu, until it thaws or closes. The camera answers "not modified" while its
    // picture stays; the windows' clock moves five minutes a refresh.
    void frozenCameraMarksItsFavoriteItem()
    {
        addFavorite("North", 0);
        addFavorite("Rock & Roll", 0);
        TTestHttpServer camera;
        QVERIFY(camera.start());
        const auto picture = [](const QByteArray& etag, int width) {
            TScriptedResponse response = TScriptedResponse::ok(CameraFixtures::jpegJfif(width), "image/jpeg");
            response.ETag = etag;
            return response;
        };
        const auto serve = [&](const QByteArray& etag, int width) {
            for (const char* path : {"/north.jpg", "/rock.jpg"})
                camera.route(QString::fromLatin1(path), picture(etag, width));
        };
        serve("\"v1\"", 64);

        TfrmVrelWebCamMain form{TCommandLine("-start")};
        const auto itemText = [&form](const QString& name) {
            for (QAction* item : form.mnuMyFavorites->menu()->actions()) {
                if (TRegistryMenus::ItemCaption(item) == name)
                    return item->text();
            }
            return QStringLiteral("<no item>");
        };
        form.BuildFavoritesMenu();
        const auto open = [&](const char* name, const char* path) {
            std::unique_ptr<TWebCamera> c = newCamera(name, false);
            c->SetURL(camera.url(QString::fromLatin1(path)));
            c->SetUpdateInterval(5);
            form.OpenCameraWindow(std::move(c));
        };
        open("North", "/north.jpg");
        open("Rock & Roll", "/rock.jpg");
        QDateTime now(QDate(2026, 12, 7), QTime(14, 5));
        QList<TfrmImage*> windows;
        for (QWidget* window : form.CameraWindows()) {
            windows.append(static_cast<TfrmImage*>(window));
            windows.last()->RefreshCycle().SetClock([&now] { return now; });
            QVERIFY(CameraFixtures::waitSettled(windows.last()));
        }
        const auto refreshAll = [&] {
            for (TfrmImage* window : windows) {
                window->mnuRefresh->trigger();
                QVERIFY(CameraFixtures::waitSettled(window));
            }
        };
        // A new picture at 14:05, then three intervals of the same one.
        serve("\"v2\"", 80);
        refreshAll();
        QCOMPARE(itemText("North"), QStringLiteral("North"));
        for (int i = 0; i < 3; ++i) {
            now = now.addSecs(300);
            refreshAll();
        }
        QCOMPARE(camera.notModifiedCount(), 6);
        QCOMPARE(itemText("North"), QStringLiteral("North (frozen)"));
        QCOMPARE(itemText("Rock & Roll"), QStringLiteral("Rock && Roll (frozen)"));
        form.BuildFavoritesMenu();
        QCOMPARE(itemText("North"), QStringLiteral("North (frozen)"));

        // North sends a new picture; Rock & Roll's window closes.
        camera.route(QStringLiteral("/north.jpg"), picture("\"v3\"", 96));
        now = now.addSecs(300);
        windows.first()->mnuRefresh->trigger();
        QVERIFY(CameraFixtures::waitSettled(windows.first()));
        QCOMPARE(itemText("North"), QStringLiteral("North"));
        windows.last()->close();
        QCOMPARE(itemText("Rock & Roll"), QStringLiteral("Rock && Roll"));
    }

    void startupCamerasAreTheFlaggedFavorites()
    {
        addFavorite("gamma", 2);
        addFavorite("Alpha", 1);
        addFavorite("Beta", 0);
        QVERIFY(TRegKey::create(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\Folder\\Delta")
                    .writeDword("RunOnStartup", 1));
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.OpenStartupCameras();
        QCOMPARE(cameraNames(form), (QStringList{"Alpha", "gamma"}));
    }

    void noFavoritesKeyOpensNothing()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.OpenStartupCameras();
        QVERIFY(form.CameraWindows().isEmpty());
        QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, Favorites));
    }

    void endingTheProgramStoresNothingOfItsWindows()
    {
        addFavorite("Alpha", 1);
        QPointer<QWidget> window;
        QVector<TRegValue> before;
        {
            TfrmVrelWebCamMain form{TCommandLine("-start")};
            form.FormCreate();
            QCOMPARE(cameraNames(form), QStringList{"Alpha"});
            window = form.CameraWindows().first();
            before = TRegKey::open(TRegRoot::CurrentUser, Favorites + "\\Alpha").values();
            window->move(300, 200);
        }
        QVERIFY(window.isNull());
        const auto after = TRegKey::open(TRegRoot::CurrentUser, Favorites + "\\Alpha").values();
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < after.size(); ++i)
            QCOMPARE(after.at(i).Data, before.at(i).Data);
    }

    // The same when the program ends through its event loop, as Exit does: the loop ends
    // without closing the camera windows, so none of them stores its place.
    void exitLeavesTheFavoritesAsTheyWere()
    {
        addFavorite("Alpha", 1);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.FormCreate();
        QCOMPARE(cameraNames(form), QStringList{"Alpha"});
        QWidget* window = form.CameraWindows().first();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        const auto before = TRegKey::open(TRegRoot::CurrentUser, Favorites + "\\Alpha").values();
        window->move(300, 200);

        QTimer::singleShot(0, form.mnuExit, &QAction::trigger);
        QTimer::singleShot(10000, [] { QCoreApplication::exit(1); });
        QCOMPARE(QCoreApplication::exec(), 0);

        QVERIFY(form.IsClosed());
        QCOMPARE(cameraNames(form), QStringList{"Alpha"});
        const auto after = TRegKey::open(TRegRoot::CurrentUser, Favorites + "\\Alpha").values();
        QCOMPARE(after.size(), before.size());
        for (int i = 0; i < after.size(); ++i)
            QCOMPARE(after.at(i).Data, before.at(i).Data);
    }

    void clearRegistryKey_data()
    {
        QTest::addColumn<bool>("machineWide");
        QTest::addColumn<bool>("deleteKey");
        QTest::addColumn<bool>("seed");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("keyRemains");
        QTest::newRow("user-values-only") << false << false << true << 3 << true;
        QTest::newRow("user-with-key") << false << true << true << 3 << false;
        QTest::newRow("machine-values-only") << true << false << true << 3 << true;
        QTest::newRow("missing-key") << false << false << false << 0 << false;
        QTest::newRow("missing-key-delete") << false << true << false << 0 << false;
    }
    void clearRegistryKey()
    {
        QFETCH(bool, machineWide);
        QFETCH(bool, deleteKey);
        QFETCH(bool, seed);
        QFETCH(int, count);
        QFETCH(bool, keyRemains);
        const TRegRoot root = machineWide ? TRegRoot::LocalMachine : TRegRoot::CurrentUser;
        const TRegRoot other = machineWide ? TRegRoot::CurrentUser : TRegRoot::LocalMachine;
        QVERIFY(TRegKey::create(other, "Top\\Program").writeDword("Other", 1));
        if (seed) {
            TRegKey key = TRegKey::create(root, "Top\\Program");
            QVERIFY(key.writeDword("A", 1));
            QVERIFY(key.writeString("B", "b"));
            QVERIFY(key.writeString("", "default"));
            QVERIFY(TRegKey::create(root, "Top\\Program\\Child").writeDword("Inner", 1));
        }

        QCOMPARE(ClearRegistryKey("Top\\Program", deleteKey, machineWide), count);

        const TRegKey key = TRegKey::open(root, "Top\\Program");
        QCOMPARE(key.isOpen(), keyRemains);
        if (keyRemains) {
            QVERIFY(key.valueNames().isEmpty());
            QCOMPARE(TRegKey::open(root, "Top\\Program\\Child").readDword("Inner"), std::optional<qint32>(1));
        }
        QCOMPARE(TRegKey::open(other, "Top\\Program").readDword("Other"), std::optional<qint32>(1));
    }

    void quitRequestAsksThenEnds_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("optionsRemain");
        QTest::newRow("yes-clears-options") << "yes" << false;
        QTest::newRow("no-keeps-them") << "no" << true;
    }
    void quitRequestAsksThenEnds()
    {
        QFETCH(QString, answer);
        QFETCH(bool, optionsRemain);
        ProgramOptions.SaveOptions();
        addFavorite("Alpha", 0);
        QVERIFY(TRegKey::create(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\F\\Cam")
                    .writeString("URL", "x"));
        answerPrompts(answer);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QDialog open;
        form.RegisterDialog(&open);
        open.show();

        form.HandleInstanceMessage(TInstanceMessage::QuitRequest);

        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(m_prompts.first().Kind, TUserPrompt::TKind::Confirm);
        QCOMPARE(m_prompts.first().Caption, QString("Confirm"));
        QCOMPARE(m_prompts.first().Text,
                 QString("Do you want to clear your personal settings for Vrel Web Camera?"));
        QVERIFY(form.IsClosed());
        QVERIFY(!open.isVisible());
        const TRegKey program = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
        QCOMPARE(program.hasValue("ShowTipsOnStartup"), optionsRemain);
        QCOMPARE(program.hasValue("ExePath"), optionsRemain);
        QVERIFY(TRegKey::open(TRegRoot::CurrentUser, Favorites + "\\Alpha").isOpen());
        QVERIFY(
            TRegKey::open(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\F\\Cam").hasValue("URL"));

        form.HandleInstanceMessage(TInstanceMessage::QuitRequest);
        QCOMPARE(m_prompts.size(), 1);
    }

    // Re-applying the language (after the options window) reloads the messages and reaches
    // every open dialog.
    void reapplyLanguageReachesTheOpenDialogs()
    {
        const QStringList before{vchAbout, vchOptions, vchClearPersonalSettings};
        const auto restore = qScopeGuard([before] {
            SetProgramFilePath(QString());
            vchAbout = before.at(0);
            vchOptions = before.at(1);
            vchClearPersonalSettings = before.at(2);
        });
        QFile file(m_dir.filePath("prog.DE"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[Messages]\r\nvchOptions=Optionen\r\n[Translations]\r\n"
                   "frmTipsForm.btnClose.Caption=&Schlie\xDF"
                   "en\r\n");
        file.close();
        SetProgramFilePath(m_dir.filePath("prog"));
        ProgramOptions.Language = "Deutsch";
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        TfrmTipsForm tips(&form);
        form.RegisterDialog(&tips);
        form.ReapplyLanguage();
        QCOMPARE(tips.btnClose->text(), QString::fromUtf8("&Schließen"));
        QCOMPARE(MessageText("vchOptions"), QString("Optionen"));
        form.UnregisterDialog(&tips);
    }

    void languageSwitchStoresTheNameAndEnds_data()
    {
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("name");
        QTest::newRow("lower") << "-lang:en"
                               << "Engish";
        QTest::newRow("inside") << "X-LANG:EN"
                                << "Engish";
        QTest::newRow("unknown-code") << "-LANG"
                                      << "Engish";
        QTest::newRow("german") << "-LANG:DE"
                                << "Deutsch";
        QTest::newRow("russian-lower") << "-lang:ru" << QString::fromUtf8("Русский");
    }
    void languageSwitchStoresTheNameAndEnds()
    {
        QFETCH(QString, argument);
        QFETCH(QString, name);
        addFavorite("Alpha", 1);
        TfrmVrelWebCamMain form{TCommandLine(argument)};
        form.FormCreate();
        QVERIFY(form.IsClosed());
        QVERIFY(form.CameraWindows().isEmpty());
        TRegistryStore::closeAll();
        QCOMPARE(TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).readString("Language"),
                 std::optional<QString>(name));
    }

    void languageSwitchOnAnUnwritableStoreSaysSo()
    {
        QFile blocker(m_dir.filePath("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        TRegistryStore::closeAll();
        m_dir.Set("VREL_USER_REGISTRY", m_dir.filePath("blocker/user.db").toUtf8());
        answerPrompts("ok");
        TfrmVrelWebCamMain form{TCommandLine("-lang:en")};
        form.FormCreate();
        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(m_prompts.first().Kind, TUserPrompt::TKind::Information);
        QCOMPARE(m_prompts.first().Text, QString("Failed to set data for 'ExePath'"));
        QVERIFY(form.IsClosed());
    }

    // Without an argument the user is asked for a camera before the rest of the start-up runs;
    // cancelling the dialog lets it go on in order.
    void startWithoutArgumentAsksForACameraThenGoesOn()
    {
        QVERIFY2(qEnvironmentVariableIntValue("VREL_TRACE") == 1, "this test reads the trace");
        addFavorite("Alpha", 1);
        ProgramOptions.ShowTipsOnStartup = true;
        ProgramOptions.CheckForUpdatesOnStartup = true;
        // The catalog check finds nobody listening on loopback, quickly.
        m_dir.Set("VREL_WEB_HOST", "127.0.0.1:1");
        const auto restore = qScopeGuard([] {
            qunsetenv("VREL_WEB_HOST");
            TfrmUpdateFavorites::StartDelayMs = 1500;
            TfrmUpdateFavorites::PauseMs = 3000;
        });
        TfrmUpdateFavorites::StartDelayMs = 10;
        TfrmUpdateFavorites::PauseMs = 10;
        bool detached = false;
        TfrmVrelWebCamMain form{TCommandLine()};
        whenModalShows<TfrmOptionsForm>(
            [](TfrmOptionsForm* options) { QTest::mouseClick(options->btnCancel, Qt::LeftButton); });
        auto* poll = new QTimer(&form);
        connect(poll, &QTimer::timeout, &form, [&] {
            // The tip of the day comes first; closing it lets the start-up go on.
            if (auto* tips = qobject_cast<TfrmTipsForm*>(QApplication::activeModalWidget())) {
                QTest::mouseClick(tips->btnClose, Qt::LeftButton);
                return;
            }
            auto* dialog = qobject_cast<TfrmCameraSettings*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            poll->stop();
            detached = form.tiMain->PopupMenu() == nullptr;
            QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
        });
        poll->start(10);
        TTraceCapture trace;

        form.FormCreate();

        QVERIFY(detached);
        QCOMPARE(trace.events({"step", "dialog-open", "dialog-close", "camera-open"}),
                 (QStringList{"step hide-taskbar-button", "step create-lists", "step apply-language",
                              "step activate-tray-icon", "step tip-of-the-day", "dialog-open frmTipsForm",
                              "dialog-close frmTipsForm 2", "step options-window",
                              "dialog-open frmOptionsForm", "dialog-close frmOptionsForm rejected",
                              "step add-camera", "dialog-open frmCameraSettings",
                              "dialog-close frmCameraSettings 2", "step catalog-update",
                              "dialog-open frmUpdateFavorites", "dialog-close frmUpdateFavorites rejected",
                              "step rebuild-menus", "step open-startup-cameras", "camera-open Alpha"}));
        QCOMPARE(cameraNames(form), QStringList{"Alpha"});
    }

    // The first start's dialog, with its ticks as they come, stores a favourite that opens at
    // start-up and opens it; the start-up cameras must not open it a second time.
    void cameraAddedAtFirstStartOpensOnce()
    {
        TfrmVrelWebCamMain form{TCommandLine()};
        whenModalShows<TfrmOptionsForm>(
            [](TfrmOptionsForm* options) { QTest::mouseClick(options->btnCancel, Qt::LeftButton); });
        whenModalShows<TfrmCameraSettings>([](TfrmCameraSettings* dialog) {
            dialog->edtURL->setText("http://127.0.0.1:1/beta.jpg");
            dialog->edtDescr->setText("Beta");
            QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
        });

        form.FormCreate();

        TWebCamera stored;
        stored.SetDescription("Beta");
        stored.LoadFromReg();
        QVERIFY2(stored.RunOnStartup, "the dialog's default ticks no longer flag the favourite for start-up");
        QCOMPARE(cameraNames(form), QStringList{"Beta"});
    }

    // However the options window closes, it was a registered dialog while open, is gone
    // afterwards and the language is applied again.
    void optionsWindowFollowsTheDialogProtocol_data()
    {
        QTest::addColumn<QString>("closedBy");
        QTest::addColumn<bool>("stored");
        QTest::newRow("ok") << "ok" << true;
        QTest::newRow("cancel-after-changing-the-language") << "cancel" << false;
        QTest::newRow("close-box") << "close" << false;
        QTest::newRow("another-dialog") << "cancel-open-dialogs" << false;
    }
    void optionsWindowFollowsTheDialogProtocol()
    {
        QFETCH(QString, closedBy);
        QFETCH(bool, stored);
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey)
                    .writeString("Language", "Old"));
        TCountingMainForm form{TCommandLine("-start")};
        bool registered = false;
        bool detached = false;
        int page = -1;
        whenModalShows<TfrmOptionsForm>([&](TfrmOptionsForm* options) {
            registered = form.DialogList() == QList<QWidget*>{options} && OptionsForm == options;
            detached = form.tiMain->PopupMenu() == nullptr;
            page = options->PageControl1->currentIndex();
            options->cbxLanguages->setCurrentIndex(0);
            if (closedBy == "ok")
                QTest::mouseClick(options->btnOk, Qt::LeftButton);
            else if (closedBy == "cancel")
                QTest::mouseClick(options->btnCancel, Qt::LeftButton);
            else if (closedBy == "close")
                options->close();
            else
                form.CancelOpenDialogs();
        });
        form.mnuOptionsClick();

        QVERIFY(registered);
        QVERIFY(detached);
        QCOMPARE(page, int(TfrmOptionsForm::GeneralPage));
        QVERIFY(form.DialogList().isEmpty());
        QCOMPARE(form.tiMain->PopupMenu(), form.PopupMenu1);
        QCOMPARE(OptionsForm, nullptr);
        QVERIFY(!form.findChild<TfrmOptionsForm*>());
        QCOMPARE(form.Reapplied, 1);
        const auto language =
            TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).readString("Language");
        QCOMPARE(*language, stored ? QString("Engish") : QString("Old"));
    }

    // "Organize My Favorites..." with three favourites opens on the Favorites page with its
    // navigator entry and the first favourite in sorted order selected.
    void organizeOpensTheFavoritesPage()
    {
        addFavorite("gamma", 0);
        addFavorite("Beta", 0);
        addFavorite("alpha", 0);
        TCountingMainForm form{TCommandLine("-start")};
        int page = -1;
        int navigator = -1;
        QString first;
        whenModalShows<TfrmOptionsForm>([&](TfrmOptionsForm* options) {
            page = options->PageControl1->currentIndex();
            navigator = options->ListBox1->currentRow();
            first = options->lstFavorites->item(options->SelectedFavorite(), 0)->text();
            options->reject();
        });
        form.actOrgFavorites->trigger();
        QCOMPARE(page, int(TfrmOptionsForm::FavoritesPage));
        QCOMPARE(navigator, int(TfrmOptionsForm::FavoritesPage));
        QCOMPARE(first, QString("alpha"));
        QCOMPARE(form.Reapplied, 1);
        QVERIFY(m_prompts.isEmpty());
    }

    void organizeWithoutFavorites_data()
    {
        QTest::addColumn<bool>("keyExists");
        QTest::newRow("no-favorites-key") << false;
        QTest::newRow("empty-favorites-key") << true;
    }
    void organizeWithoutFavorites()
    {
        QFETCH(bool, keyExists);
        if (keyExists)
            QVERIFY(TRegKey::create(TRegRoot::CurrentUser, Favorites).isOpen());
        answerPrompts("ok");
        TCountingMainForm form{TCommandLine("-start")};
        bool windowShown = false;
        eachTimeModalShows<TfrmOptionsForm>(&form, [&](TfrmOptionsForm* options) {
            windowShown = true;
            options->reject();
        });
        form.actOrgFavoritesExecute();
        QCOMPARE(form.Reapplied, 0);
        if (!keyExists) {
            QVERIFY(m_prompts.isEmpty());
        } else {
            QCOMPARE(m_prompts.size(), 1);
            QCOMPARE(m_prompts.first().Kind, TUserPrompt::TKind::Information);
            QCOMPARE(m_prompts.first().Text,
                     QString("You don't have Favorites yet, but you can download them "
                             "from \r\n Vrel Kestro Software web site."));
        }
        QVERIFY(!windowShown);
    }

    // A camera added from the favourites page's menu shows in its list at once.
    void cameraAddedWhileTheWindowIsOpenIsListed()
    {
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        QStringList listed;
        whenModalShows<TfrmOptionsForm>([&](TfrmOptionsForm* options) {
            whenModalShows<TfrmCameraSettings>([](TfrmCameraSettings* dialog) {
                dialog->edtURL->setText("http://127.0.0.1:1/new.jpg");
                dialog->edtDescr->setText("Newcomer");
                QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
            });
            options->mnuAdd->trigger();
            for (int i = 0; i < options->lstFavorites->rowCount(); ++i)
                listed.append(options->lstFavorites->item(i, 0)->text());
            options->reject();
        });
        form.mnuOptionsClick();
        QCOMPARE(listed, QStringList{"Newcomer"});
        QCOMPARE(cameraNames(form), QStringList{"Newcomer"});
    }

    void secondStartsRequestOpensTheOptionsWindow()
    {
        TCountingMainForm form{TCommandLine("-start")};
        bool shown = false;
        whenModalShows<TfrmOptionsForm>([&](TfrmOptionsForm* options) {
            shown = options->isVisible();
            options->reject();
        });
        form.HandleInstanceMessage(TInstanceMessage::ShowOptions);
        QVERIFY(shown);
        QCOMPARE(form.Reapplied, 1);
    }

    void formIsHiddenAndNamed()
    {
        TfrmVrelWebCamMain form{TCommandLine()};
        QCOMPARE(form.objectName(), QString("frmVrelWebCamMain"));
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(tst_TfrmVrelWebCamMain)
#include "tst_TfrmVrelWebCamMain.moc"
