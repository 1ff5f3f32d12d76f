#include "options/TfrmOptionsForm.h"

#include "camera/RegistryLayout.h"
#include "camera/TMainFormServices.h"
#include "camera/TSpinEdit.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "lang/ApplyLanguage.h"
#include "lang/Lang.h"
#include "lang/TWidgetProperties.h"
#include "options/ERegistryError.h"
#include "options/THelpViewer.h"
#include "platform/ForceForegroundWindow.h"
#include "platform/TMakerSite.h"
#include "platform/TRegistry.h"
#include "platform/TShell.h"
#include "platform/TUserPrompt.h"
#include "viewer/TKeptPicture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QWhatsThis>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

constexpr int ClientWidth = 434;
constexpr int ClientHeight = 324;
// The inside of a page: the page control's place (see TOptionsDlgForm) less its frame.
constexpr int PageWidth = ClientWidth - 6 - 97 - 6 - 6 - 4;
constexpr int PageHeight = ClientHeight - 6 - 25 - 12 - 4;

void setHelpContext(QWidget* w, int context)
{
    w->setProperty("HelpContext", context);
}

// Favourites sort by description without regard to letter case; equal ones keep a fixed order.
class TFavoriteItem : public QTableWidgetItem
{
public:
    explicit TFavoriteItem(const QString& text) : QTableWidgetItem(text) {}
    bool operator<(const QTableWidgetItem& other) const override
    {
        const int folded = text().compare(other.text(), Qt::CaseInsensitive);
        return folded != 0 ? folded < 0 : text() < other.text();
    }
};

// The main form's "Add new camera..." action; null without a main form.
QAction* mainFormAddCamera(TMainFormServices* mainForm)
{
    auto* form = dynamic_cast<QObject*>(mainForm);
    return form ? form->findChild<QAction*>(QStringLiteral("actAddCamera")) : nullptr;
}

} // namespace

TfrmOptionsForm::TfrmOptionsForm(TMainFormServices* mainForm, QWidget* owner)
    : TOptionsDlgForm(owner), m_mainForm(mainForm)
{
    setObjectName(QStringLiteral("frmOptionsForm"));
    setWindowTitle(QStringLiteral("Options"));
    // A window of its own in front of other programs, with a help button in its caption bar.
    // Qt::Window rather than Qt::Dialog: on X11 a dialog is always marked transient for some
    // window (the client leader when it has no parent), and task bars leave transient windows
    // out; this window keeps its own task-bar button although the hidden main form owns it.
    // CustomizeWindowHint: only the buttons named here, no minimise or maximise as a normal
    // window would get.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::MSWindowsFixedSizeDialogHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::WindowContextHelpButtonHint | Qt::WindowStaysOnTopHint);
    setFixedSize(ClientWidth, ClientHeight);
    PlaceControls();
    // Enter does not confirm the options; only a click on OK does.
    btnOk->setDefault(false);
    btnOk->setAutoDefault(false);
    btnCancel->setAutoDefault(false);

    pgGeneral = addTitledPage(QStringLiteral("General:GENERAL"), "pgGeneral", "lblGeneral",
                              QStringLiteral(" General Options"), &lblGeneral);
    lblStartup = addHeading(pgGeneral, "lblStartup", QStringLiteral("Startup/Shutdown Options "), 32);
    cbxStartup = new QCheckBox(QStringLiteral("&Start with Windows"), pgGeneral);
    cbxStartup->setObjectName(QStringLiteral("cbxStartup"));
    cbxStartup->setGeometry(16, 54, 280, 18);
    setHelpContext(cbxStartup, 14);
    cbxCheckForUpdates = new QCheckBox(QStringLiteral("&Check for Updates on Startup"), pgGeneral);
    cbxCheckForUpdates->setObjectName(QStringLiteral("cbxCheckForUpdates"));
    cbxCheckForUpdates->setGeometry(16, 76, 280, 18);
    setHelpContext(cbxCheckForUpdates, 35);
    lblLanguageSettings =
        addHeading(pgGeneral, "lblLanguageSettings", QStringLiteral("Language Settings "), 108);
    lblLanguages = new QLabel(QStringLiteral("Select interface &language:"), pgGeneral);
    lblLanguages->setObjectName(QStringLiteral("lblLanguages"));
    lblLanguages->setGeometry(16, 130, 280, 16);
    cbxLanguages = new QComboBox(pgGeneral);
    cbxLanguages->setObjectName(QStringLiteral("cbxLanguages"));
    cbxLanguages->setEditable(false);
    cbxLanguages->setGeometry(16, 148, 180, 22);
    setHelpContext(cbxLanguages, 31);
    lblLanguages->setBuddy(cbxLanguages);
    btnGetLatestVersion = new QPushButton(QStringLiteral("Get Latest Version..."), pgGeneral);
    btnGetLatestVersion->setObjectName(QStringLiteral("btnGetLatestVersion"));
    btnGetLatestVersion->setGeometry(16, 210, 140, 25);
    btnGetLatestVersion->setAutoDefault(false);

    TabSheet1 = addTitledPage(QStringLiteral("Favorites:FAVORITES"), "TabSheet1", "Label1",
                              QStringLiteral(" Favorite Web Cameras"), &Label1);
    lstFavorites = new QTableWidget(0, 1, TabSheet1);
    lstFavorites->setObjectName(QStringLiteral("lstFavorites"));
    lstFavorites->setGeometry(6, 30, PageWidth - 12, PageHeight - 36);
    lstFavorites->setHorizontalHeaderLabels({QStringLiteral("Description")});
    lstFavorites->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    lstFavorites->horizontalHeader()->setSectionsClickable(false);
    lstFavorites->verticalHeader()->hide();
    lstFavorites->setShowGrid(true);
    lstFavorites->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstFavorites->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstFavorites->setSelectionMode(QAbstractItemView::SingleSelection);
    lstFavorites->setSortingEnabled(true);
    lstFavorites->sortItems(0, Qt::AscendingOrder);
    lstFavorites->setContextMenuPolicy(Qt::CustomContextMenu);
    setHelpContext(lstFavorites, 2);

    mnuFavorites = new QMenu(lstFavorites);
    mnuFavorites->setObjectName(QStringLiteral("mnuFavorites"));
    mnuAdd = mnuFavorites->addAction(QStringLiteral("Add new camera..."));
    mnuAdd->setObjectName(QStringLiteral("mnuAdd"));
    if (QAction* action = mainFormAddCamera(m_mainForm)) {
        mnuAdd->setText(action->text());
        connect(mnuAdd, &QAction::triggered, action, &QAction::trigger);
    }
    N1 = mnuFavorites->addSeparator();
    N1->setObjectName(QStringLiteral("N1"));
    mnuOpenCamera = mnuFavorites->addAction(QStringLiteral("&Open..."));
    mnuOpenCamera->setObjectName(QStringLiteral("mnuOpenCamera"));
    mnuSettings = mnuFavorites->addAction(QStringLiteral("&Settings..."));
    mnuSettings->setObjectName(QStringLiteral("mnuSettings"));
    mnuFavorites->setDefaultAction(mnuSettings);
    mnuDelete = mnuFavorites->addAction(QStringLiteral("&Delete"));
    mnuDelete->setObjectName(QStringLiteral("mnuDelete"));
    mnuDelete->setShortcut(QKeySequence(Qt::Key_Delete));
    mnuDelete->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    mnuDelete->setEnabled(false);
    // The Del key works on the list as the menu's shortcut.
    lstFavorites->addAction(mnuDelete);

    lngLanguage = new TLanguage(this);
    lngLanguage->setObjectName(QStringLiteral("lngLanguage"));
    // The blank lines part the window's own buttons and its two pages.
    lngLanguage->SetProperties(
        {QStringLiteral("frmOptionsForm.btnOK.Caption"), QStringLiteral("frmOptionsForm.btnCancel.Caption"),
         QString(), QStringLiteral("frmOptionsForm.pgGeneral.Caption"),
         QStringLiteral("frmOptionsForm.lblGeneral.Caption"),
         QStringLiteral("frmOptionsForm.lblStartup.Caption"),
         QStringLiteral("frmOptionsForm.cbxStartup.Caption"),
         QStringLiteral("frmOptionsForm.cbxCheckForUpdates.Caption"),
         QStringLiteral("frmOptionsForm.lblLanguageSettings.Caption"),
         QStringLiteral("frmOptionsForm.lblLanguages.Caption"),
         QStringLiteral("frmOptionsForm.btnGetLatestVersion.Caption"), QString(),
         QStringLiteral("frmOptionsForm.TabSheet1.Caption"), QStringLiteral("frmOptionsForm.Label1.Caption"),
         QStringLiteral("frmOptionsForm.lstFavorites.Columns"),
         QStringLiteral("frmOptionsForm.mnuOpenCamera.Caption"),
         QStringLiteral("frmOptionsForm.mnuSettings.Caption"),
         QStringLiteral("frmOptionsForm.mnuDelete.Caption")});

    connect(mnuFavorites, &QMenu::aboutToShow, this, &TfrmOptionsForm::mnuFavoritesPopup);
    connect(lstFavorites, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { mnuFavorites->popup(lstFavorites->viewport()->mapToGlobal(at)); });
    connect(lstFavorites, &QTableWidget::cellDoubleClicked, this, &TfrmOptionsForm::lstFavoritesDblClick);
    connect(mnuOpenCamera, &QAction::triggered, this, &TfrmOptionsForm::mnuOpenCameraClick);
    connect(mnuSettings, &QAction::triggered, this, &TfrmOptionsForm::mnuSettingsClick);
    connect(mnuDelete, &QAction::triggered, this, &TfrmOptionsForm::mnuDeleteClick);
    connect(btnGetLatestVersion, &QPushButton::clicked, this, &TfrmOptionsForm::btnGetLatestVersionClick);
    // The base's OK closes at once; this window saves first.
    disconnect(btnOk, &QPushButton::clicked, nullptr, nullptr);
    connect(btnOk, &QPushButton::clicked, this, &TfrmOptionsForm::btnOkClick);

    FormCreate();
    OptionsForm = this;
}

TfrmOptionsForm::~TfrmOptionsForm()
{
    if (OptionsForm == this)
        OptionsForm = nullptr;
}

QWidget* TfrmOptionsForm::addTitledPage(const QString& caption, const char* pageName, const char* titleName,
                                        const QString& title, QLabel** titleLabel)
{
    auto* page = new QWidget;
    page->setObjectName(QLatin1String(pageName));
    AddPage(page, caption);
    auto* label = new QLabel(title, page);
    label->setObjectName(QLatin1String(titleName));
    label->setGeometry(0, 0, PageWidth, 22);
    label->setAutoFillBackground(true);
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    palette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(palette);
    QFont bold(QStringLiteral("Arial"));
    bold.setStyleHint(QFont::SansSerif);
    bold.setBold(true);
    bold.setPointSize(10);
    label->setFont(bold);
    *titleLabel = label;
    return page;
}

QLabel* TfrmOptionsForm::addHeading(QWidget* page, const char* name, const QString& text, int top)
{
    auto* label = new QLabel(text, page);
    label->setObjectName(QLatin1String(name));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    label->setProperty(AutoSizeProperty, true);
    label->adjustSize();
    label->move(8, top);
    auto* rule = new QFrame(page);
    rule->setObjectName(QLatin1String(name) + QStringLiteral("Rule"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    placeHeadingRule(label);
    return label;
}

void TfrmOptionsForm::placeHeadingRule(QLabel* heading)
{
    auto* rule = heading->parentWidget()->findChild<QFrame*>(heading->objectName() + QStringLiteral("Rule"),
                                                             Qt::FindDirectChildrenOnly);
    if (!rule)
        return;
    const int left = heading->geometry().right() + 2;
    rule->setGeometry(left, heading->y() + heading->height() / 2, std::max(0, PageWidth - left - 8), 2);
}

void TfrmOptionsForm::FormCreate()
{
    TOptionsDlgForm::FormCreate();
    for (const TLanguageRow& row : LanguageTable())
        cbxLanguages->addItem(row.Name);
    ApplyLanguage(this);
    LanguageUpdated();
    HelpFile = HelpFileName(GetLanguageCode());
    FillFavorites();
    if (lstFavorites->rowCount() > 0)
        SelectFavorite(0);
}

void TfrmOptionsForm::LanguageUpdated(QObject* Sender)
{
    Q_UNUSED(Sender);
    setWindowTitle(MessageText(QStringLiteral("vchOptions")) + QLatin1Char(' ') +
                   QApplication::applicationName());
    for (int i = 0; i < ListBox1->count() && i < PageControl1->count(); ++i) {
        QString shown;
        QString bitmap;
        SplitPageCaption(PageControl1->tabText(i), &shown, &bitmap);
        ListBox1->item(i)->setText(shown);
    }
    placeHeadingRule(lblStartup);
    placeHeadingRule(lblLanguageSettings);
}

void TfrmOptionsForm::FormShow()
{
    TOptionsDlgForm::FormShow();
    try {
        ProgramOptions.LoadOptions();
    } catch (const ERegistryError& error) {
        // The controls are set before the autostart entry is written, so they show the store.
        TUserPrompt::ShowMessage(this, error.message());
    }
    // Once shown, so the window manager has it to bring forward.
    QTimer::singleShot(0, this, [this] { ForceForegroundWindow(this); });
}

void TfrmOptionsForm::btnOkClick()
{
    try {
        ProgramOptions.SaveOptions();
    } catch (const ERegistryError& error) {
        // The window stays open with the user's choices.
        TUserPrompt::ShowMessage(this, error.message());
        return;
    }
    done(QDialog::Accepted);
}

void TfrmOptionsForm::FillFavorites()
{
    const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey);
    if (!key.isOpen())
        return;
    const QStringList names = key.subKeyNames();
    lstFavorites->setUpdatesEnabled(false);
    lstFavorites->setSortingEnabled(false);
    lstFavorites->clearContents();
    lstFavorites->setRowCount(static_cast<int>(names.size()));
    for (int i = 0; i < names.size(); ++i)
        lstFavorites->setItem(i, 0, new TFavoriteItem(names.at(i)));
    lstFavorites->setSortingEnabled(true);
    lstFavorites->sortItems(0, Qt::AscendingOrder);
    // The order is fixed; an arrow in the heading would promise another one on a click.
    lstFavorites->horizontalHeader()->setSortIndicatorShown(false);
    lstFavorites->setUpdatesEnabled(true);
}

int TfrmOptionsForm::SelectedFavorite() const
{
    const QList<QTableWidgetItem*> selected = lstFavorites->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
}

void TfrmOptionsForm::SelectFavorite(int row)
{
    if (row < 0 || row >= lstFavorites->rowCount()) {
        lstFavorites->clearSelection();
        lstFavorites->setCurrentItem(nullptr);
        return;
    }
    lstFavorites->setCurrentCell(row, 0);
    lstFavorites->selectRow(row);
}

QString TfrmOptionsForm::selectedDescription() const
{
    const int row = SelectedFavorite();
    return row < 0 ? QString() : lstFavorites->item(row, 0)->text();
}

void TfrmOptionsForm::mnuFavoritesPopup()
{
    const bool selected = SelectedFavorite() >= 0;
    mnuOpenCamera->setEnabled(selected);
    mnuDelete->setEnabled(selected);
    mnuSettings->setEnabled(selected);
}

void TfrmOptionsForm::lstFavoritesDblClick()
{
    if (SelectedFavorite() >= 0)
        mnuSettings->trigger();
}

void TfrmOptionsForm::mnuOpenCameraClick()
{
    if (SelectedFavorite() < 0 || !m_mainForm)
        return;
    auto camera = std::make_unique<TWebCamera>();
    camera->SetDescription(selectedDescription());
    camera->LoadFromReg();
    m_mainForm->OpenCameraWindow(std::move(camera));
}

void TfrmOptionsForm::mnuSettingsClick()
{
    const int remembered = SelectedFavorite();
    if (remembered < 0)
        return;
    TWebCamera camera;
    camera.SetDescription(selectedDescription());
    camera.LoadFromReg();

    QPointer<TfrmCameraSettings> dialog = new TfrmCameraSettings(this);
    dialog->LoadFrom(camera, TfrmCameraSettings::TFlow::Favorite);
    const int result = dialog->exec();
    if (dialog && result == TfrmCameraSettings::mrOk) {
        // The dialog refuses a description that is blank once trimmed, so a rename never
        // deletes the old key without a new one to take its place.
        const bool renamed = TfrmCameraSettings::Trimmed(camera.Description) != dialog->edtDescr->text();
        const QString oldURL = camera.URL;
        TKeptPicture::TKept kept;
        if (renamed) {
            // ClearReg takes the kept picture along with the old key; it moves to the new one.
            TKeptPicture::Load(camera.FavoriteKeyPath(), &kept);
            camera.ClearReg();
        }
        dialog->StoreInto(camera);
        bool stored = true;
        if (dialog->chkAdd->isChecked()) {
            stored = camera.SaveToReg();
            // A picture of another address, or one that another favourite kept under the new
            // name, would make the first refresh after a start ask about the wrong picture: the
            // key keeps only its own camera's (an empty one drops whatever it kept).
            const bool sameCamera =
                TfrmCameraSettings::Trimmed(oldURL) == TfrmCameraSettings::Trimmed(camera.URL);
            if (stored && (renamed || !sameCamera))
                TKeptPicture::Store(camera.FavoriteKeyPath(), sameCamera ? kept : TKeptPicture::TKept());
        }
        favoritesChanged(remembered);
        if (!stored)
            TUserPrompt::ShowMessage(this, ERegistryError(camera.Description).message());
    }
    delete dialog;
}

void TfrmOptionsForm::mnuDeleteClick()
{
    const int remembered = SelectedFavorite();
    if (remembered < 0)
        return;
    if (!TUserPrompt::Confirm(this, QStringLiteral("Confirm"), QStringLiteral("Are you sure?")))
        return;
    TWebCamera camera;
    camera.SetDescription(selectedDescription());
    camera.ClearReg();
    favoritesChanged(remembered);
}

void TfrmOptionsForm::favoritesChanged(int remembered)
{
    if (m_mainForm)
        m_mainForm->BuildFavoritesMenu();
    FillFavorites();
    const int count = lstFavorites->rowCount();
    SelectFavorite(count == 0 ? -1 : std::min(remembered, count - 1));
}

void TfrmOptionsForm::btnGetLatestVersionClick()
{
    TShell::Open(QStringLiteral("http://") + MakerWebHost() + QStringLiteral("/vrelcam.html"));
}

void TfrmOptionsForm::ShowHelp()
{
    THelpViewer viewer(this);
    viewer.ShowTopic(HelpFile, HelpContextOf(focusWidget()));
    viewer.exec();
}

void TfrmOptionsForm::showEvent(QShowEvent* event)
{
    // Owned by the main form, yet a top-level window of the desktop: no transient parent, which
    // would make a window manager or compositor treat it as the main form's child.
    if (QWindow* handle = windowHandle())
        handle->setTransientParent(nullptr);
    TOptionsDlgForm::showEvent(event);
}

void TfrmOptionsForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        ShowHelp();
        return;
    }
    TOptionsDlgForm::keyPressEvent(event);
}

bool TfrmOptionsForm::eventFilter(QObject* watched, QEvent* event)
{
    // The caption bar's help button: straight to the topic of the focused control instead of
    // the pointer's question mark. Every top-level window hears of it; the active one answers.
    if (event->type() == QEvent::EnterWhatsThisMode && watched == this && isActiveWindow()) {
        QTimer::singleShot(0, this, [this] {
            QWhatsThis::leaveWhatsThisMode();
            ShowHelp();
        });
        return true;
    }
    return TOptionsDlgForm::eventFilter(watched, event);
}

bool TfrmOptionsForm::StartWithWindowsChecked() const
{
    return cbxStartup->isChecked();
}

void TfrmOptionsForm::SetStartWithWindowsChecked(bool checked)
{
    cbxStartup->setChecked(checked);
}

bool TfrmOptionsForm::CheckForUpdatesChecked() const
{
    return cbxCheckForUpdates->isChecked();
}

void TfrmOptionsForm::SetCheckForUpdatesChecked(bool checked)
{
    cbxCheckForUpdates->setChecked(checked);
}

QStringList TfrmOptionsForm::LanguageEntries() const
{
    QStringList entries;
    for (int i = 0; i < cbxLanguages->count(); ++i)
        entries.append(cbxLanguages->itemText(i));
    return entries;
}

int TfrmOptionsForm::SelectedLanguageIndex() const
{
    return cbxLanguages->currentIndex();
}

void TfrmOptionsForm::SelectLanguageIndex(int index)
{
    cbxLanguages->setCurrentIndex(index);
}
