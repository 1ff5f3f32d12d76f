#include "camera/RegistryLayout.h"
#include "camera/TMainFormServices.h"
#include "camera/TSpinEdit.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "lang/ApplyLanguage.h"
#include "lang/Lang.h"
#include "options/THelpFile.h"
#include "options/THelpViewer.h"
#include "options/TfrmOptionsForm.h"
#include "options/fOptionsNew.h"
#include "platform/TAutostart.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "platform/TShell.h"
#include "platform/TUserPrompt.h"
#include "viewer/TKeptPicture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QWhatsThis>
#include <QWindow>
#include <QtTest>

#include <memory>
#include <utility>

#include "tests/support/TCameraSettingsRows.h"
#include "tests/support/TStoreSandbox.h"
#include "tests/support/WhenModalShows.h"

namespace {

const QString Favorites = RegistryLayout::MyFavoritesKey;

void addFavorite(const QString& name, const QString& url = QStringLiteral("http://127.0.0.1:1/a.jpg"))
{
    TRegKey key = TRegKey::create(TRegRoot::CurrentUser, Favorites + "\\" + name);
    QVERIFY(key.writeString("URL", url));
    QVERIFY(key.writeDword("UpdateInterval", 0));
    QVERIFY(key.writeDword("Scale", 50));
    QVERIFY(key.writeDword("RunOnStartup", 1));
    QVERIFY(key.writeDword("AlwaysOnTop", 0));
}

QStringList storedFavorites()
{
    return TRegKey::open(TRegRoot::CurrentUser, Favorites).subKeyNames();
}

QStringList listed(const TfrmOptionsForm& form)
{
    QStringList names;
    for (int i = 0; i < form.lstFavorites->rowCount(); ++i)
        names.append(form.lstFavorites->item(i, 0)->text());
    return names;
}

// The main form as the options window uses it: it counts what it is asked to do.
class TStandInMainForm : public QObject, public TMainFormServices
{
public:
    TStandInMainForm()
    {
        actAddCamera = new QAction("Add new camera...", this);
        actAddCamera->setObjectName("actAddCamera");
    }

    void CancelOpenDialogs() override {}
    void RegisterDialog(QWidget*) override {}
    void UnregisterDialog(QWidget*) override {}
    void OpenCameraWindow(std::unique_ptr<TWebCamera> camera) override
    {
        Opened.append(camera->Description + " " + camera->URL);
    }
    void RemoveCameraWindow(QWidget*) override {}
    void BuildFavoritesMenu() override { ++MenuBuilds; }
    void RebuildMenus() override {}

    QAction* actAddCamera = nullptr;
    QStringList Opened;
    int MenuBuilds = 0;
};

} // namespace

class tst_TfrmOptionsForm : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    QList<TUserPrompt::TRequest> m_prompts;
    std::unique_ptr<TStandInMainForm> m_main;

    void answerPrompts(const QString& answer)
    {
        TUserPrompt::setResponder([this, answer](const TUserPrompt::TRequest& request) {
            m_prompts.append(request);
            return answer;
        });
    }
    QString autostartFile() const { return m_dir.filePath("config/autostart/vrel-web-camera.desktop"); }

private Q_SLOTS:
    void initTestCase() { QApplication::setApplicationName("Vrel Web Camera"); }

    void init()
    {
        QVERIFY(m_dir.Reset());
        m_dir.Set("VREL_WEB_HOST", "maker.test");
        m_prompts.clear();
        answerPrompts("cancel");
        ProgramOptions = TProgramOptions();
        ProgramOptions.LoadOptions();
        m_main = std::make_unique<TStandInMainForm>();
    }
    void cleanup()
    {
        m_main.reset();
        TUserPrompt::setResponder({});
        TShell::setLauncher({});
        TRegistryStore::closeAll();
        QVERIFY(!OptionsForm);
    }

    void componentsCarryTheirNamesCaptionsAndHelp_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("help");
        QTest::newRow("btnOk") << "btnOk"
                               << "OK" << 0;
        QTest::newRow("btnCancel") << "btnCancel"
                                   << "Cancel" << 0;
        QTest::newRow("lblGeneral") << "lblGeneral"
                                    << " General Options" << 0;
        QTest::newRow("lblStartup") << "lblStartup"
                                    << "Startup/Shutdown Options " << 0;
        QTest::newRow("cbxStartup") << "cbxStartup"
                                    << "&Start with Windows" << 14;
        QTest::newRow("cbxCheckForUpdates") << "cbxCheckForUpdates"
                                            << "&Check for Updates on Startup" << 35;
        QTest::newRow("lblLanguageSettings") << "lblLanguageSettings"
                                             << "Language Settings " << 0;
        QTest::newRow("lblLanguages") << "lblLanguages"
                                      << "Select interface &language:" << 0;
        QTest::newRow("cbxLanguages") << "cbxLanguages" << QString() << 31;
        QTest::newRow("btnGetLatestVersion") << "btnGetLatestVersion"
                                             << "Get Latest Version..." << 0;
        QTest::newRow("Label1") << "Label1"
                                << " Favorite Web Cameras" << 0;
        QTest::newRow("lstFavorites") << "lstFavorites" << QString() << 2;
        QTest::newRow("mnuAdd") << "mnuAdd"
                                << "Add new camera..." << 0;
        QTest::newRow("mnuOpenCamera") << "mnuOpenCamera"
                                       << "&Open..." << 0;
        QTest::newRow("mnuSettings") << "mnuSettings"
                                     << "&Settings..." << 0;
        QTest::newRow("mnuDelete") << "mnuDelete"
                                   << "&Delete" << 0;
        QTest::newRow("pgGeneral") << "pgGeneral" << QString() << 0;
        QTest::newRow("TabSheet1") << "TabSheet1" << QString() << 0;
        QTest::newRow("PageControl1") << "PageControl1" << QString() << 0;
        QTest::newRow("ListBox1") << "ListBox1" << QString() << 0;
        QTest::newRow("mnuFavorites") << "mnuFavorites" << QString() << 0;
    }
    void componentsCarryTheirNamesCaptionsAndHelp()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(int, help);
        TfrmOptionsForm form(m_main.get());
        QObject* component = form.findChild<QObject*>(name);
        QVERIFY2(component, qPrintable(name));
        if (!caption.isNull())
            QCOMPARE(component->property("text").toString(), caption);
        QCOMPARE(component->property("HelpContext").toInt(), help);
    }

    void windowLayout()
    {
        TfrmOptionsForm form(m_main.get());
        QCOMPARE(form.objectName(), QString("frmOptionsForm"));
        QCOMPARE(form.size(), QSize(434, 324));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
        QVERIFY(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(form.PageControl1->count(), 2);
        QCOMPARE(form.PageControl1->tabText(0), QString("General:GENERAL"));
        QCOMPARE(form.PageControl1->tabText(1), QString("Favorites:FAVORITES"));
        QCOMPARE(form.PageControl1->widget(0), form.pgGeneral);
        QCOMPARE(form.PageControl1->widget(1), form.TabSheet1);
        QVERIFY(!form.cbxLanguages->isEditable());
        QCOMPARE(form.lblLanguages->buddy(), form.cbxLanguages);
        QCOMPARE(form.mnuFavorites->defaultAction(), form.mnuSettings);
        QCOMPARE(form.mnuDelete->shortcut(), QKeySequence(Qt::Key_Delete));
        QVERIFY(!form.mnuDelete->isEnabled());
        QVERIFY(form.lstFavorites->showGrid());
        QCOMPARE(form.lstFavorites->horizontalHeaderItem(0)->text(), QString("Description"));
    }

    // Owned by the main form, yet a window of its own: a normal top-level window with no
    // transient parent, which task bars list (a dialog or a transient window they leave out).
    void ownsATaskBarButton()
    {
        QWidget owner;
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        TfrmOptionsForm form(nullptr, &owner);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.parent(), &owner);
        QCOMPARE(form.windowType(), Qt::Window);
        QVERIFY(form.windowHandle());
        QCOMPARE(form.windowHandle()->transientParent(), nullptr);
        QVERIFY(form.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    }

    void creationFillsTheLanguagesTitleAndSortedFavorites()
    {
        addFavorite("gamma");
        addFavorite("Alpha");
        addFavorite("beta");
        {
            TfrmOptionsForm form(m_main.get());
            QCOMPARE(OptionsForm, static_cast<TOptionsFormControls*>(&form));
            QCOMPARE(form.windowTitle(), QString("Options Vrel Web Camera"));
            QCOMPARE(form.LanguageEntries(), (QStringList{"Engish", "Deutsch", QStringLiteral("Русский")}));
            QVERIFY2(form.HelpFile.endsWith("/Options.EN"), qPrintable(form.HelpFile));
            QCOMPARE(listed(form), (QStringList{"Alpha", "beta", "gamma"}));
            QCOMPARE(form.SelectedFavorite(), 0);
            QCOMPARE(form.PageControl1->currentIndex(), 0);
        }
        QCOMPARE(OptionsForm, nullptr);
    }

    // Another program changed the store since the options were last read: the window shows
    // the store and the autostart entry follows it.
    void showingReadsTheStoreAnew()
    {
        QVERIFY(!QFileInfo::exists(autostartFile()));
        TRegKey key = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
        QVERIFY(key.writeDword("StartOnStartup", 1));
        QVERIFY(key.writeDword("CheckForUpdatesOnStartup", 0));
        QVERIFY(key.writeString("Language", "ENGISH"));
        TfrmOptionsForm form(m_main.get());
        form.cbxCheckForUpdates->setChecked(true);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(form.cbxStartup->isChecked());
        QVERIFY(!form.cbxCheckForUpdates->isChecked());
        QCOMPARE(form.cbxLanguages->currentIndex(), 0);
        QVERIFY(QFileInfo::exists(autostartFile()));
        QCOMPARE(form.ListBox1->count(), 2);
        QCOMPARE(form.ListBox1->currentRow(), 0);
    }

    void onlyOkStoresTheOptions_data()
    {
        QTest::addColumn<QString>("closedBy");
        QTest::addColumn<bool>("stored");
        QTest::newRow("ok") << "ok" << true;
        QTest::newRow("cancel") << "cancel" << false;
        QTest::newRow("escape") << "escape" << false;
        QTest::newRow("close-box") << "close" << false;
        QTest::newRow("enter-does-not-confirm") << "enter" << false;
    }
    void onlyOkStoresTheOptions()
    {
        QFETCH(QString, closedBy);
        QFETCH(bool, stored);
        TfrmOptionsForm form(m_main.get());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.cbxStartup->setChecked(true);
        form.cbxCheckForUpdates->setChecked(false);
        if (closedBy == "ok") {
            QTest::mouseClick(form.btnOk, Qt::LeftButton);
        } else if (closedBy == "cancel") {
            QTest::mouseClick(form.btnCancel, Qt::LeftButton);
        } else if (closedBy == "escape") {
            QTest::keyClick(form.cbxStartup, Qt::Key_Escape);
        } else if (closedBy == "close") {
            form.close();
        } else {
            form.cbxStartup->setFocus();
            QTest::keyClick(form.cbxStartup, Qt::Key_Return);
            QTest::keyClick(form.cbxStartup, Qt::Key_Enter);
            QVERIFY(form.isVisible());
        }
        QCOMPARE(form.isVisible(), closedBy == "enter");
        const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
        QCOMPARE(key.readDword("StartOnStartup").has_value(), stored);
        if (stored) {
            QCOMPARE(*key.readDword("StartOnStartup"), 1);
            QCOMPARE(*key.readDword("CheckForUpdatesOnStartup"), 0);
            QCOMPARE(*key.readString("Language"), QString("Engish"));
            QCOMPARE(form.result(), int(QDialog::Accepted));
        }
        // The autostart entry follows only at the next load.
        QVERIFY(!QFileInfo::exists(autostartFile()));
    }

    void cancelAfterChangingTheLanguageKeepsTheStoredOne()
    {
        TRegKey key = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
        QVERIFY(key.writeString("Language", "Deutsch"));
        TfrmOptionsForm form(m_main.get());
        form.cbxLanguages->addItem("Deutsch");
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.cbxLanguages->currentText(), QString("Deutsch"));
        form.cbxLanguages->setCurrentIndex(0);
        QTest::mouseClick(form.btnCancel, Qt::LeftButton);
        QCOMPARE(*TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).readString("Language"),
                 QString("Deutsch"));
    }

    // The language chosen on the General page counts only with OK: the next window (after the
    // messages are reloaded, as the main form does once the window has closed) speaks it.
    void languageTakesEffectOnlyAfterOk_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("texts");
        const QStringList english{"Options Vrel Web Camera",
                                  "Cancel",
                                  "&Start with Windows",
                                  "General",
                                  "Favorites",
                                  "&Delete",
                                  "Description",
                                  "Options.EN"};
        QTest::newRow("german-ok") << "Deutsch"
                                   << "ok"
                                   << "Deutsch"
                                   << QStringList{"Optionen Vrel Web Camera",
                                                  "Abbrechen",
                                                  "Mit &Windows starten",
                                                  "Allgemein",
                                                  "Favoriten",
                                                  "&Löschen",
                                                  "Beschreibung",
                                                  "Options.DE"};
        QTest::newRow("russian-ok") << QString::fromUtf8("Русский") << "ok" << QString::fromUtf8("Русский")
                                    << QStringList{QString::fromUtf8("Настройки Vrel Web Camera"),
                                                   QString::fromUtf8("Отмена"),
                                                   QString::fromUtf8("&Запускать вместе с Windows"),
                                                   QString::fromUtf8("Общие"),
                                                   QString::fromUtf8("Избранное"),
                                                   QString::fromUtf8("&Удалить"),
                                                   QString::fromUtf8("Описание"),
                                                   "Options.RU"};
        QTest::newRow("german-cancel") << "Deutsch"
                                       << "cancel"
                                       << "Engish" << english;
        QTest::newRow("german-close-box") << "Deutsch"
                                          << "close"
                                          << "Engish" << english;
    }
    void languageTakesEffectOnlyAfterOk()
    {
        QFETCH(QString, language);
        QFETCH(QString, button);
        QFETCH(QString, stored);
        QFETCH(QStringList, texts);
        SetProgramFilePath(VREL_BIN_DIR "/vrel-web-camera");
        const auto restore = qScopeGuard([] {
            SetProgramFilePath(QString());
            ProgramOptions = TProgramOptions();
            LoadMessages();
        });
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey)
                    .writeString("Language", "Engish"));
        LoadMessages();
        {
            TfrmOptionsForm form;
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QCOMPARE(form.btnCancel->text(), QString("Cancel"));
            form.cbxLanguages->setCurrentIndex(form.cbxLanguages->findText(language));
            if (button == "ok")
                QTest::mouseClick(form.btnOk, Qt::LeftButton);
            else if (button == "cancel")
                QTest::mouseClick(form.btnCancel, Qt::LeftButton);
            else
                form.close();
            QVERIFY(!form.isVisible());
        }
        QCOMPARE(*TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey).readString("Language"),
                 stored);
        LoadMessages();

        TfrmOptionsForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QStringList shown{form.windowTitle(),
                                form.btnCancel->text(),
                                form.cbxStartup->text(),
                                form.ListBox1->item(0)->text(),
                                form.ListBox1->item(1)->text(),
                                form.mnuDelete->text(),
                                form.lstFavorites->horizontalHeaderItem(0)->text(),
                                QFileInfo(form.HelpFile).fileName()};
        QCOMPARE(shown, texts);
        QCOMPARE(form.cbxLanguages->currentText(), stored);
        // A translated page caption keeps its picture.
        QString name;
        QString bitmap;
        TOptionsDlgForm::SplitPageCaption(form.PageControl1->tabText(1), &name, &bitmap);
        QCOMPARE(bitmap, QString("FAVORITES"));
        // The section rule starts after its heading, whatever the heading's new width.
        const auto* rule = form.pgGeneral->findChild<QWidget*>("lblStartupRule");
        QVERIFY(rule->x() > form.lblStartup->geometry().right());
    }

    // Applying a language to the open window (as ReapplyLanguage does for the open dialogs)
    // re-captions it, its navigator included, and moves the section rules with their headings.
    void openWindowTakesANewLanguage()
    {
        SetProgramFilePath(VREL_BIN_DIR "/vrel-web-camera");
        const auto restore = qScopeGuard([] {
            SetProgramFilePath(QString());
            ProgramOptions = TProgramOptions();
            LoadMessages();
        });
        LoadMessages();
        TfrmOptionsForm form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.ListBox1->item(0)->text(), QString("General"));
        const int englishRule = form.pgGeneral->findChild<QWidget*>("lblStartupRule")->x();

        ProgramOptions.Language = "Deutsch";
        LoadMessages();
        ApplyLanguage(&form);
        QCOMPARE(form.windowTitle(), QString("Optionen Vrel Web Camera"));
        QCOMPARE(form.ListBox1->item(0)->text(), QString("Allgemein"));
        QCOMPARE(form.ListBox1->item(1)->text(), QString("Favoriten"));
        QCOMPARE(form.lblStartup->text(), QString("Start und Beenden "));
        const auto* rule = form.pgGeneral->findChild<QWidget*>("lblStartupRule");
        QVERIFY(rule->x() != englishRule);
        QVERIFY(rule->x() > form.lblStartup->geometry().right());
    }

    void popupEnablesTheCommandsForASelection_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::newRow("entry-selected") << true;
        QTest::newRow("nothing-selected") << false;
    }
    void popupEnablesTheCommandsForASelection()
    {
        QFETCH(bool, selected);
        addFavorite("Alpha");
        TfrmOptionsForm form(m_main.get());
        form.ShowPage(TfrmOptionsForm::FavoritesPage);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(!form.mnuDelete->isEnabled());
        form.SelectFavorite(selected ? 0 : -1);
        QCOMPARE(form.SelectedFavorite(), selected ? 0 : -1);
        emit form.lstFavorites->customContextMenuRequested(QPoint(5, 5));
        QVERIFY(QTest::qWaitForWindowExposed(form.mnuFavorites));
        QCOMPARE(form.mnuOpenCamera->isEnabled(), selected);
        QCOMPARE(form.mnuSettings->isEnabled(), selected);
        QCOMPARE(form.mnuDelete->isEnabled(), selected);
        QVERIFY(form.mnuAdd->isEnabled());
        form.mnuFavorites->close();
    }

    void deleteAsksThenReselects_data()
    {
        QTest::addColumn<QStringList>("favorites");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("left");
        QTest::addColumn<int>("selected");
        QTest::newRow("last-entry") << QStringList{"A", "B", "C"} << 2 << "yes" << QStringList{"A", "B"} << 1;
        QTest::newRow("middle-entry")
            << QStringList{"A", "B", "C"} << 1 << "yes" << QStringList{"A", "C"} << 1;
        QTest::newRow("only-entry") << QStringList{"A"} << 0 << "yes" << QStringList{} << -1;
        QTest::newRow("answered-no") << QStringList{"A", "B"} << 1 << "no" << QStringList{"A", "B"} << 1;
    }
    void deleteAsksThenReselects()
    {
        QFETCH(QStringList, favorites);
        QFETCH(int, row);
        QFETCH(QString, answer);
        QFETCH(QStringList, left);
        QFETCH(int, selected);
        for (const QString& name : favorites)
            addFavorite(name);
        answerPrompts(answer);
        TfrmOptionsForm form(m_main.get());
        form.SelectFavorite(row);
        form.mnuDeleteClick();

        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(m_prompts.first().Kind, TUserPrompt::TKind::Confirm);
        QCOMPARE(m_prompts.first().Text, QString("Are you sure?"));
        QCOMPARE(storedFavorites(), left);
        QCOMPARE(listed(form), left);
        QCOMPARE(form.SelectedFavorite(), selected);
        QCOMPARE(m_main->MenuBuilds, answer == "yes" ? 1 : 0);
    }

    void editingRenamesByTheDialogsRules_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("favorite");
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<QString>("storedUrl");
        const QString oldUrl = "http://127.0.0.1:1/a.jpg";
        const QString newUrl = "http://127.0.0.1:1/b.jpg";
        QTest::newRow("rename-ticked") << "Cam B" << newUrl << true << QStringList{"Cam B"} << newUrl;
        QTest::newRow("rename-unticked") << "Cam B" << newUrl << false << QStringList{} << QString();
        QTest::newRow("url-only-unticked") << "Cam A" << newUrl << false << QStringList{"Cam A"} << oldUrl;
        QTest::newRow("url-only-ticked") << "Cam A" << newUrl << true << QStringList{"Cam A"} << newUrl;
        QTest::newRow("letter-case-only") << "cam a" << oldUrl << true << QStringList{"cam a"} << oldUrl;
        QTest::newRow("blanks-around-name")
            << "  Cam A  " << newUrl << true << QStringList{"Cam A"} << newUrl;
    }
    void editingRenamesByTheDialogsRules()
    {
        QFETCH(QString, description);
        QFETCH(QString, url);
        QFETCH(bool, favorite);
        QFETCH(QStringList, stored);
        QFETCH(QString, storedUrl);
        addFavorite("Cam A");
        addFavorite("Cam C");
        TfrmOptionsForm form(m_main.get());
        form.SelectFavorite(0);
        bool filledForEditing = false;
        whenModalShows<TfrmCameraSettings>([&](TfrmCameraSettings* dialog) {
            filledForEditing = dialog->EditMode && dialog->edtDescr->text() == "Cam A" &&
                               dialog->edtURL->text() == "http://127.0.0.1:1/a.jpg" &&
                               dialog->edtPeriod->value() == 0 && dialog->chkAdd->isChecked() &&
                               dialog->chkStartup->isChecked() && !dialog->chkTop->isChecked();
            dialog->edtDescr->setText(description);
            dialog->edtURL->setText(url);
            dialog->chkAdd->setChecked(favorite);
            QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
        });
        form.mnuSettingsClick();

        QVERIFY(filledForEditing);
        QCOMPARE(storedFavorites(), stored + QStringList{"Cam C"});
        if (!storedUrl.isEmpty()) {
            TWebCamera camera;
            camera.SetDescription(stored.first());
            camera.LoadFromReg();
            QCOMPARE(camera.URL, storedUrl);
            QCOMPARE(camera.Scale, 50);
            QCOMPARE(camera.UpdateInterval, 0);
        }
        QCOMPARE(listed(form), stored + QStringList{"Cam C"});
        QCOMPARE(form.SelectedFavorite(), 0);
        QCOMPARE(m_main->MenuBuilds, 1);
    }

    // A favourite keeps its last picture (validators in its key, the bytes in a file beside the
    // store) for the first refresh after a start. The file must not outlive the key, must follow a
    // rename, and must not stay with a key whose camera is now another one.
    void keptPictureGoesWithItsFavorite_data()
    {
        QTest::addColumn<QString>("description"); // empty: the favourite is deleted
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("favorite");
        QTest::addColumn<QStringList>("kept");
        const QString same = "http://127.0.0.1:1/a.jpg";
        const QString other = "http://127.0.0.1:1/b.jpg";
        const QString a = "Cam A: picture a";
        const QString inner = "Cam A\\Inner: picture i";
        const QString c = "Cam C: picture c";
        QTest::newRow("deleted") << QString() << same << true << QStringList{c};
        QTest::newRow("renamed") << "Cam B" << same << true << QStringList{"Cam B: picture a", c};
        QTest::newRow("renamed-unticked") << "Cam B" << same << false << QStringList{c};
        QTest::newRow("renamed-to-another-favorite")
            << "Cam C" << same << true << QStringList{"Cam C: picture a"};
        QTest::newRow("letter-case-only") << "cam a" << same << true << QStringList{a, c};
        QTest::newRow("renamed-and-readdressed") << "Cam B" << other << true << QStringList{c};
        QTest::newRow("readdressed") << "Cam A" << other << true << QStringList{inner, c};
        QTest::newRow("readdressed-unticked") << "Cam A" << other << false << QStringList{a, inner, c};
        QTest::newRow("unchanged") << "Cam A" << same << true << QStringList{a, inner, c};
    }
    void keptPictureGoesWithItsFavorite()
    {
        QFETCH(QString, description);
        QFETCH(QString, url);
        QFETCH(bool, favorite);
        QFETCH(QStringList, kept);
        // "Cam A\Inner" is a favourite below "Cam A": its key goes with "Cam A"'s.
        const QList<std::pair<QString, QByteArray>> stored{
            {"Cam A", "a"}, {"Cam A\\Inner", "i"}, {"Cam C", "c"}};
        for (const auto& [name, tag] : stored) {
            addFavorite(name);
            QVERIFY(
                TKeptPicture::Store(Favorites + "\\" + name, {'"' + tag + '"', {}, "picture " + tag, {}}));
        }
        TfrmOptionsForm form(m_main.get());
        form.SelectFavorite(0);
        if (description.isEmpty()) {
            answerPrompts("yes");
            form.mnuDeleteClick();
        } else {
            whenModalShows<TfrmCameraSettings>([&](TfrmCameraSettings* dialog) {
                dialog->edtDescr->setText(description);
                dialog->edtURL->setText(url);
                dialog->chkAdd->setChecked(favorite);
                QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
            });
            form.mnuSettingsClick();
        }

        QStringList found;
        QStringList files;
        for (const QString name : {"Cam A", "Cam A\\Inner", "Cam B", "Cam C"}) {
            TKeptPicture::TKept picture;
            if (TKeptPicture::Load(Favorites + "\\" + name, &picture)) {
                found.append(name + ": " + QString::fromLatin1(picture.Body));
                files.append(QFileInfo(TKeptPicture::FilePath(Favorites + "\\" + name)).fileName());
            }
        }
        QCOMPARE(found, kept);
        // No file left that no key refers to.
        const QDir folder = QFileInfo(TKeptPicture::FilePath(Favorites)).dir();
        QStringList onDisk = folder.entryList(QDir::Files);
        onDisk.sort();
        files.sort();
        QCOMPARE(onDisk, files);
    }

    // "Cam A" as addFavorite stores it. The scale is not the dialog's to change here.
    void editingStoresEachControl_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("record");
        QTest::newRow("none") << "none"
                              << "http://127.0.0.1:1/a.jpg|Cam A|0|50|startup=1|top=0";
        QTest::newRow("url") << "edtURL"
                             << "http://127.0.0.1:1/b.jpg|Cam A|0|50|startup=1|top=0";
        QTest::newRow("description") << "edtDescr"
                                     << "http://127.0.0.1:1/a.jpg|Flipped|0|50|startup=1|top=0";
        QTest::newRow("interval") << "edtPeriod"
                                  << "http://127.0.0.1:1/a.jpg|Cam A|1|50|startup=1|top=0";
        QTest::newRow("scale-not-read") << "cbxScale"
                                        << "http://127.0.0.1:1/a.jpg|Cam A|0|50|startup=1|top=0";
        QTest::newRow("open-on-startup") << "chkStartup"
                                         << "http://127.0.0.1:1/a.jpg|Cam A|0|50|startup=0|top=0";
        QTest::newRow("stay-on-top") << "chkTop"
                                     << "http://127.0.0.1:1/a.jpg|Cam A|0|50|startup=1|top=1";
        QTest::newRow("untick-keeps-favourite") << "chkAdd"
                                                << "http://127.0.0.1:1/a.jpg|Cam A|0|50|startup=1|top=0";
    }
    void editingStoresEachControl()
    {
        QFETCH(QString, control);
        QFETCH(QString, record);
        addFavorite("Cam A");
        TfrmOptionsForm form(m_main.get());
        form.SelectFavorite(0);
        whenModalShows<TfrmCameraSettings>([&](TfrmCameraSettings* dialog) {
            CameraSettingsRows::flip(dialog, control, "http://127.0.0.1:1/b.jpg");
            QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
        });
        form.mnuSettingsClick();

        const QString description = record.section('|', 1, 1);
        QCOMPARE(storedFavorites(), QStringList{description});
        TWebCamera stored;
        stored.SetDescription(description);
        stored.LoadFromReg();
        QCOMPARE(CameraSettingsRows::settingsOf(stored), record);
    }

    // A description that is blank once trimmed is refused as in the camera window, so the
    // favourite is not lost.
    void editingToABlankDescriptionIsRefused()
    {
        addFavorite("Cam A");
        TfrmOptionsForm form(m_main.get());
        form.SelectFavorite(0);
        bool stayedOpen = false;
        whenModalShows<TfrmCameraSettings>([&](TfrmCameraSettings* dialog) {
            dialog->edtDescr->setText("   ");
            QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
            stayedOpen = dialog->isVisible();
            QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
        });
        form.mnuSettingsClick();

        QVERIFY(stayedOpen);
        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(m_prompts.first().Text, QString("Please enter description!"));
        QCOMPARE(storedFavorites(), QStringList{"Cam A"});
        QCOMPARE(m_main->MenuBuilds, 0);
    }

    void doubleClickEditsAndCancelChangesNothing()
    {
        addFavorite("Cam A");
        TfrmOptionsForm form(m_main.get());
        form.ShowPage(TfrmOptionsForm::FavoritesPage);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QString edited;
        whenModalShows<TfrmCameraSettings>([&](TfrmCameraSettings* dialog) {
            edited = dialog->edtDescr->text();
            dialog->edtURL->setText("http://elsewhere/");
            QTest::mouseClick(dialog->btnCancel, Qt::LeftButton);
        });
        const QRect cell = form.lstFavorites->visualItemRect(form.lstFavorites->item(0, 0));
        // A double click as the view receives it: a press of its own first.
        QTest::mouseClick(form.lstFavorites->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(form.lstFavorites->viewport(), Qt::LeftButton, {}, cell.center());
        QTRY_COMPARE(edited, QString("Cam A"));
        TWebCamera camera;
        camera.SetDescription("Cam A");
        camera.LoadFromReg();
        QCOMPARE(camera.URL, QString("http://127.0.0.1:1/a.jpg"));
        QCOMPARE(m_main->MenuBuilds, 0);
    }

    void openShowsTheFavoriteAndStaysOpen()
    {
        addFavorite("Cam A", "http://127.0.0.1:1/cam-a.jpg");
        TfrmOptionsForm form(m_main.get());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.SelectFavorite(0);
        form.mnuOpenCamera->trigger();
        QCOMPARE(m_main->Opened, QStringList{"Cam A http://127.0.0.1:1/cam-a.jpg"});
        QVERIFY(form.isVisible());
    }

    void addRunsTheMainFormsActionAndRefreshes()
    {
        TfrmOptionsForm form(m_main.get());
        QSignalSpy added(m_main->actAddCamera, &QAction::triggered);
        connect(m_main->actAddCamera, &QAction::triggered, this, [] {
            addFavorite("New one");
            OptionsForm->FillFavorites();
        });
        form.mnuAdd->trigger();
        QCOMPARE(added.size(), 1);
        QCOMPARE(listed(form), QStringList{"New one"});
    }

    // Without a favourites key the list keeps what it shows.
    void missingFavoritesKeyLeavesTheList()
    {
        addFavorite("Cam A");
        TfrmOptionsForm form(m_main.get());
        QVERIFY(TRegKey::deleteTree(TRegRoot::CurrentUser, Favorites));
        form.FillFavorites();
        QCOMPARE(listed(form), QStringList{"Cam A"});
    }

    void getLatestVersionOpensTheProductPage()
    {
        QStringList opened;
        TShell::setLauncher([&](const QString& address) {
            opened.append(address);
            return true;
        });
        TfrmOptionsForm form(m_main.get());
        QTest::mouseClick(form.btnGetLatestVersion, Qt::LeftButton);
        QCOMPARE(opened, QStringList{"http://maker.test/vrelcam.html"});
    }

    // Every language the options window offers ships its help file beside the program.
    void shippedHelpFileHasEveryTopic_data()
    {
        QTest::addColumn<QString>("code");
        for (const TLanguageRow& row : LanguageTable())
            QTest::newRow(qPrintable(row.Code)) << row.Code;
    }
    void shippedHelpFileHasEveryTopic()
    {
        QFETCH(QString, code);
        THelpFile file;
        QString error;
        QVERIFY2(file.Load(VREL_BIN_DIR "/Options." + code, &error), qPrintable(error));
        QCOMPARE(file.Contexts(), (QList<int>{2, 14, 31, 35}));
        for (int context : file.Contexts())
            QVERIFY(!file.Topic(context).Paragraphs.isEmpty());
    }

    void helpFileFormat()
    {
        THelpFile file;
        QVERIFY(file.Parse("; comment\nignored before\n[7] Seven\nfirst line\nstill first\n\n"
                           "second\n[x] broken\nlost\n[ 9 ]Nine\n"));
        QCOMPARE(file.Contexts(), (QList<int>{7, 9}));
        QCOMPARE(file.Topic(7).Title, QString("Seven"));
        QCOMPARE(file.Topic(7).Paragraphs, (QStringList{"first line still first", "second"}));
        QCOMPARE(file.Topic(9).Title, QString("Nine"));
        QVERIFY(!file.Parse("no topics at all\n"));
    }

    void f1ShowsTheFocusedControlsTopic_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("page");
        QTest::addColumn<QString>("title");
        QTest::newRow("start-with-windows") << "cbxStartup" << 0 << "Start with Windows";
        QTest::newRow("check-for-updates") << "cbxCheckForUpdates" << 0 << "Check for Updates on Startup";
        QTest::newRow("languages") << "cbxLanguages" << 0 << "Interface language";
        QTest::newRow("favorites") << "lstFavorites" << 1 << "My Favorites";
        QTest::newRow("no-context-shows-every-topic") << "btnGetLatestVersion" << 0 << "My Favorites";
    }
    void f1ShowsTheFocusedControlsTopic()
    {
        QFETCH(QString, control);
        QFETCH(int, page);
        QFETCH(QString, title);
        TfrmOptionsForm form(m_main.get());
        form.HelpFile = VREL_BIN_DIR "/Options.EN";
        form.ShowPage(page);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        auto* focused = form.findChild<QWidget*>(control);
        focused->setFocus();
        QString shown;
        whenModalShows<THelpViewer>([&](THelpViewer* viewer) {
            shown = viewer->txtTopic->toPlainText();
            viewer->accept();
        });
        QTest::keyClick(focused, Qt::Key_F1);
        QVERIFY2(shown.startsWith(title), qPrintable(shown));
        if (control == "btnGetLatestVersion")
            QVERIFY2(shown.contains("Check for Updates on Startup"), qPrintable(shown));
    }

    // The caption bar's help button puts the application in "What's This?" mode; the window
    // answers with the focused control's topic instead.
    void helpButtonShowsTheFocusedControlsTopic()
    {
        TfrmOptionsForm form(m_main.get());
        form.HelpFile = VREL_BIN_DIR "/Options.EN";
        form.show();
        form.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&form));
        form.cbxStartup->setFocus();
        QString shown;
        whenModalShows<THelpViewer>([&](THelpViewer* viewer) {
            shown = viewer->txtTopic->toPlainText();
            viewer->accept();
        });
        QWhatsThis::enterWhatsThisMode();
        QTRY_VERIFY2(shown.startsWith("Start with Windows"), qPrintable(shown));
        QVERIFY(!QWhatsThis::inWhatsThisMode());
    }

    // The autostart entry cannot be written: the window still opens with the stored values
    // and says what failed.
    void unwritableAutostartEntryIsReported()
    {
        QVERIFY(QDir().mkpath(m_dir.filePath("config")));
        QFile blocker(m_dir.filePath("config/autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey)
                    .writeDword("StartOnStartup", 1));
        answerPrompts("ok");
        TfrmOptionsForm form(m_main.get());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(m_prompts.first().Text, QString("Failed to set data for 'Vrel Web Camera'"));
        QVERIFY(form.cbxStartup->isChecked());
        QVERIFY(form.isVisible());
    }

    void helpWithoutItsFileSaysSo()
    {
        TfrmOptionsForm form(m_main.get());
        form.HelpFile = m_dir.filePath("Options.XX");
        THelpViewer viewer;
        QVERIFY(!viewer.ShowTopic(form.HelpFile, 14));
        QVERIFY2(viewer.txtTopic->toPlainText().contains("Options.XX"),
                 qPrintable(viewer.txtTopic->toPlainText()));
    }
};

QTEST_MAIN(tst_TfrmOptionsForm)
#include "tst_TfrmOptionsForm.moc"
