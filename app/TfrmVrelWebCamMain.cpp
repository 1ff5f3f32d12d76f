#include "app/TfrmVrelWebCamMain.h"

#include "app/ClearRegistryKey.h"
#include "app/TMenuImages.h"
#include "app/TNoTrayNotice.h"
#include "app/TrayMenuSettings.h"
#include "camera/RegistryLayout.h"
#include "camera/TCameraFlows.h"
#include "camera/TWebCamera.h"
#include "catalog/TRegistryMenuTree.h"
#include "catalog/TRegistryMenus.h"
#include "catalog/fUpdate.h"
#include "dialogs/fTipsForm.h"
#include "dialogs/fmAbout.h"
#include "lang/ApplyLanguage.h"
#include "lang/Lang.h"
#include "options/ERegistryError.h"
#include "options/TfrmOptionsForm.h"
#include "options/fOptionsNew.h"
#include "platform/ForceForegroundWindow.h"
#include "platform/TMakerSite.h"
#include "platform/TRegistry.h"
#include "platform/TShell.h"
#include "platform/TTrace.h"
#include "platform/TUserPrompt.h"
#include "viewer/TKeptPicture.h"
#include "viewer/fImage.h"
#include "widgets/BarMenus.h"
#include "widgets/TX11WindowManager.h"
#include "widgets/TrayShell.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDir>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// How long a missing tray may take to appear before the program says it found none.
constexpr int NoTrayWaitMs = 5000;

QString windowName(const QWidget* window)
{
    const QString name = window->objectName();
    return name.isEmpty() ? QString::fromLatin1(window->metaObject()->className()) : name;
}

QString dialogResult(const QWidget* window)
{
    const auto* dialog = qobject_cast<const QDialog*>(window);
    if (!dialog)
        return QStringLiteral("-");
    switch (dialog->result()) {
    case QDialog::Accepted:
        return QStringLiteral("accepted");
    case QDialog::Rejected:
        return QStringLiteral("rejected");
    default:
        return QString::number(dialog->result());
    }
}

QString cameraName(const TfrmImage* window)
{
    return window->Camera() ? window->Camera()->Description : window->windowTitle();
}

// The options window through the dialog protocol, on the given page; the language is applied
// again after it has closed, however it closed.
void runOptionsWindow(TfrmVrelWebCamMain& form, int page)
{
    QPointer<TfrmOptionsForm> window = new TfrmOptionsForm(&form, &form);
    QWidget* const registered = window;
    form.CancelOpenDialogs();
    form.RegisterDialog(registered);
    window->ShowPage(page);
    window->exec();
    form.UnregisterDialog(registered);
    form.ReapplyLanguage();
    delete window;
}

} // namespace

TfrmVrelWebCamMain::TfrmVrelWebCamMain(const TCommandLine& commandLine, QWidget* parent)
    : QWidget(parent), m_commandLine(commandLine)
{
    setObjectName(QStringLiteral("frmVrelWebCamMain"));
    setWindowTitle(QStringLiteral("Vrel Web Camera"));
    setFixedSize(181, 87);
    // Centred, so that dialogs placed over their owner come up in the middle of the screen. Not
    // disabled: a disabled Qt window disables every dialog it owns along with it.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    BuildMenu();
    CreateTrayIcon();
}

TfrmVrelWebCamMain::~TfrmVrelWebCamMain()
{
    FormDestroy();
    // Camera windows go down with the program without their close handling, so nothing of
    // theirs (a favourite's position, say) is stored now.
    const QList<QPointer<TfrmImage>> windows = m_cameraWindows + m_closingWindows;
    m_cameraWindows.clear();
    m_closingWindows.clear();
    for (const auto& window : windows)
        delete window.data();
}

QList<QWidget*> TfrmVrelWebCamMain::DialogList() const
{
    QList<QWidget*> list;
    for (const auto& dialog : m_dialogList) {
        if (dialog)
            list.append(dialog.data());
    }
    return list;
}

QList<QWidget*> TfrmVrelWebCamMain::CameraWindows() const
{
    QList<QWidget*> list;
    for (const auto& window : m_cameraWindows) {
        if (window)
            list.append(window.data());
    }
    return list;
}

template <typename F> void TfrmVrelWebCamMain::runAction(F&& action)
{
    try {
        action();
    } catch (const ERegistryError& error) {
        ShowRegistryError(error);
    }
}

void TfrmVrelWebCamMain::ShowRegistryError(const ERegistryError& error)
{
    if (!error.detail().isEmpty())
        std::fprintf(stderr, "vrel-web-camera: %s (%s)\n", error.what(), qPrintable(error.detail()));
    TUserPrompt::ShowMessage(nullptr, error.message());
}

void TfrmVrelWebCamMain::FormCreate()
{
    // The main form is never shown and camera windows are tool windows, so the program has
    // no task-bar entry without doing anything here.
    TTrace::step(QStringLiteral("hide-taskbar-button"));
    // Both lists are members, empty since construction.
    TTrace::step(QStringLiteral("create-lists"));
    ApplyLanguage(this);
    TTrace::step(QStringLiteral("apply-language"));

    if (m_commandLine.Switch() == TStartSwitch::Language) {
        const QString code = m_commandLine.LanguageCode();
        const QString name = GetLanguageName(code);
        TTrace::step(QStringLiteral("set-language %1 %2").arg(code, name));
        runAction([&] {
            ProgramOptions.SetLanguage(name);
            ProgramOptions.SaveOptions();
        });
        close();
        return;
    }

    TTrace::step(QStringLiteral("activate-tray-icon"));
    ActivateTrayIcon();
    // A request from another copy may end the program while a start-up window is open;
    // the remaining steps then have nobody to serve.
    if (!m_closed && ProgramOptions.ShowTipsOnStartup) {
        TTrace::step(QStringLiteral("tip-of-the-day"));
        runAction([this] { mnuTipsClick(); });
    }
    if (!m_closed && !m_commandLine.HasArgument()) {
        TTrace::step(QStringLiteral("options-window"));
        runAction([this] { mnuOptionsClick(); });
        if (!m_closed) {
            TTrace::step(QStringLiteral("add-camera"));
            runAction([this] { actAddCameraExecute(); });
        }
    }
    if (!m_closed && ProgramOptions.CheckForUpdatesOnStartup) {
        TTrace::step(QStringLiteral("catalog-update"));
        runAction([this] { RunCatalogUpdate(true); });
    }
    if (m_closed)
        return;
    TTrace::step(QStringLiteral("rebuild-menus"));
    runAction([this] { RebuildMenus(); });
    TTrace::step(QStringLiteral("open-startup-cameras"));
    runAction([this] { OpenStartupCameras(); });
    // Favourites an import deleted leave their kept pictures behind; once running is soon enough.
    QTimer::singleShot(0, this, [] { TKeptPicture::ForgetOrphans(RegistryLayout::MyFavoritesKey); });
}

void TfrmVrelWebCamMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    FormClose();
}

void TfrmVrelWebCamMain::FormClose()
{
    TTrace::step(QStringLiteral("form-close"));
    m_closed = true;
    // Queued: the quit takes effect once control is back in the application's own loop, and
    // a main loop that has not started yet is not entered at all (main() checks IsClosed()).
    // exit(), not quit(): Qt's quit() first closes every window, and a camera window that is
    // closed stores its place, which ending the program must not do. A form destroyed before
    // the call runs takes it along.
    QMetaObject::invokeMethod(
        this, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    CancelOpenDialogs();
    DeactivateTrayIcon();
}

void TfrmVrelWebCamMain::FormDestroy()
{
    CancelOpenDialogs();
    m_dialogList.clear();
}

void TfrmVrelWebCamMain::CancelOpenDialogs()
{
    // A copy: a dialog that unregisters itself as it ends must not disturb the walk.
    const QList<QPointer<QWidget>> dialogs = m_dialogList;
    for (const auto& window : dialogs) {
        if (!window)
            continue;
        if (auto* dialog = qobject_cast<QDialog*>(window.data()))
            dialog->done(QDialog::Rejected);
        else
            window->hide();
    }
}

void TfrmVrelWebCamMain::RegisterDialog(QWidget* dialog)
{
    m_dialogList.append(dialog);
    TTrace::write("dialog-open", windowName(dialog));
    DetachTrayMenu();
}

void TfrmVrelWebCamMain::UnregisterDialog(QWidget* dialog)
{
    const int index = m_dialogList.indexOf(dialog);
    if (index >= 0) {
        m_dialogList.removeAt(index);
        TTrace::write("dialog-close", windowName(dialog) + QLatin1Char(' ') + dialogResult(dialog));
    }
    AttachTrayMenu();
}

void TfrmVrelWebCamMain::OpenStartupCameras()
{
    TRegKey key = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey);
    if (!key.isOpen())
        return;
    const QStringList names = key.subKeyNames();
    key.close();
    for (const QString& name : names) {
        // The add-camera dialog of a first start may have opened (and stored) one already.
        if (IsFavoriteOpen(name))
            continue;
        auto camera = std::make_unique<TWebCamera>();
        camera->SetDescription(name);
        camera->LoadFromReg();
        if (camera->RunOnStartup)
            OpenCameraWindow(std::move(camera));
    }
}

bool TfrmVrelWebCamMain::IsFavoriteOpen(const QString& name) const
{
    return std::any_of(m_cameraWindows.cbegin(), m_cameraWindows.cend(),
                       [&name](const QPointer<TfrmImage>& w) {
                           const TWebCamera* camera = w ? w->Camera() : nullptr;
                           return camera && camera->CatalogPath.isEmpty() &&
                                  camera->Description.compare(name, Qt::CaseInsensitive) == 0;
                       });
}

void TfrmVrelWebCamMain::OpenCameraWindow(std::unique_ptr<TWebCamera> camera)
{
    auto* window = new TfrmImage(this, nullptr);
    if (TX11WindowManager::CameraWindowsUnmanaged())
        window->setWindowFlag(Qt::X11BypassWindowManagerHint, true);
    window->BindCamera(std::move(camera));
    if (window->Camera()->AlwaysOnTop)
        window->Alwaysontop1Click();
    m_cameraWindows.append(window);
    connect(window, &TfrmImage::FrozenChanged, this, [this, window](bool frozen) {
        m_frozenWindows.removeAll(window);
        if (frozen)
            m_frozenWindows.append(window);
        MarkFrozenFavorites();
    });
    TTrace::write("camera-open", window->Camera()->Description);
    window->show();
}

void TfrmVrelWebCamMain::MarkFrozenFavorites()
{
    QStringList frozen;
    for (const QPointer<TfrmImage>& window : std::as_const(m_frozenWindows)) {
        const TWebCamera* camera = window && m_cameraWindows.contains(window) ? window->Camera() : nullptr;
        if (camera && camera->CatalogPath.isEmpty())
            frozen.append(camera->Description);
    }
    for (QAction* item : mnuMyFavorites->menu()->actions()) {
        if (TRegistryMenus::Tag(item) != TRegistryMenus::GeneratedTag || item->menu())
            continue;
        const QString name = TRegistryMenus::ItemCaption(item);
        QString text = QString(name).replace(QLatin1Char('&'), QStringLiteral("&&"));
        if (frozen.contains(name, Qt::CaseInsensitive))
            text += QStringLiteral(" (frozen)");
        item->setText(text);
    }
}

void TfrmVrelWebCamMain::RemoveCameraWindow(QWidget* window)
{
    for (int i = 0; i < m_cameraWindows.size(); ++i) {
        TfrmImage* listed = m_cameraWindows.at(i).data();
        if (listed != window)
            continue;
        m_cameraWindows.removeAt(i);
        if (m_frozenWindows.removeAll(listed) > 0)
            MarkFrozenFavorites();
        TTrace::write("camera-close", cameraName(listed));
        // The window is still inside its own close handling: destroy it from the event loop.
        m_closingWindows.append(listed);
        listed->deleteLater();
        return;
    }
}

void TfrmVrelWebCamMain::ReapplyLanguage()
{
    ApplyLanguage(this);
    LoadMessages();
    for (QWidget* dialog : DialogList())
        ApplyLanguage(dialog);
}

void TfrmVrelWebCamMain::HandleInstanceMessage(TInstanceMessage message)
{
    if (m_closed)
        return;
    TTrace::write("message", InstanceMessageName(message));
    switch (message) {
    case TInstanceMessage::ShowAbout:
        runAction([this] { WMShowAbout(); });
        break;
    case TInstanceMessage::ShowOptions:
        runAction([this] { WMShowOptions(); });
        break;
    case TInstanceMessage::QuitRequest:
        runAction([this] { WMQuitRequest(); });
        break;
    }
}

void TfrmVrelWebCamMain::WMShowAbout()
{
    mnuAboutClick();
}

void TfrmVrelWebCamMain::WMShowOptions()
{
    mnuOptionsClick();
}

void TfrmVrelWebCamMain::WMQuitRequest()
{
    ForceForegroundWindow(this);
    const QString question = MessageText(QStringLiteral("vchClearPersonalSettings"))
                                 .replace(QLatin1String("%s"), QApplication::applicationName());
    if (TUserPrompt::Confirm(nullptr, QStringLiteral("Confirm"), question))
        ClearRegistryKey(RegistryLayout::ProgramKey, false, false);
    CancelOpenDialogs();
    close();
}

void TfrmVrelWebCamMain::CreateTrayIcon()
{
    tiMain = new TTrayIcon(this);
    tiMain->setObjectName(QStringLiteral("tiMain"));
    tiMain->SetHint(QStringLiteral("Vrel Web Camera"));
    tiMain->OnClick = [this](TTrayIcon*, TMouseButton, TShiftState, int, int) {
        runAction([this] { tiMainClick(); });
    };
    AttachTrayMenu();
    // Active from the start: setting the picture puts the icon in the tray.
    tiMain->SetIcon(TMenuImages::ProgramIcon());
}

void TfrmVrelWebCamMain::BuildMenu()
{
    actlstWebCam = new QObject(this);
    actlstWebCam->setObjectName(QStringLiteral("actlstWebCam"));
    actOrgFavorites = new QAction(QStringLiteral("Organize Favorites..."), actlstWebCam);
    actOrgFavorites->setObjectName(QStringLiteral("actOrgFavorites"));
    connect(actOrgFavorites, &QAction::triggered, this,
            [this] { runAction([this] { actOrgFavoritesExecute(); }); });
    actAddCamera = new QAction(QStringLiteral("Add new camera..."), actlstWebCam);
    actAddCamera->setObjectName(QStringLiteral("actAddCamera"));
    connect(actAddCamera, &QAction::triggered, this,
            [this] { runAction([this] { actAddCameraExecute(); }); });

    PopupMenu1 = new TBcBarPopupMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    ApplyTrayMenuSettings(PopupMenu1);
    static_assert(TMenuImages::NewMarker == TRegistryMenuTree::NewMarkerImage,
                  "the catalog marks new cameras with the menu's burst picture");
    QList<QPixmap> images;
    for (const QImage& image : TMenuImages::ImageList())
        images.append(QPixmap::fromImage(image));
    PopupMenu1->SetImages(images);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TfrmVrelWebCamMain::PopupMenu1Popup);
    PopupMenu1->installEventFilter(this);

    // An item that runs an action shows the action's caption unless it has its own.
    const auto runs = [](QAction* item, QAction* action, bool ownCaption) {
        if (!ownCaption)
            item->setText(action->text());
        connect(action, &QAction::changed, item, [item, action, ownCaption] {
            if (!ownCaption)
                item->setText(action->text());
            item->setEnabled(action->isEnabled());
        });
        connect(item, &QAction::triggered, action, [action] { action->trigger(); });
    };

    // The menu in display order. A sub-menu row opens the menu that the rows naming it go into;
    // a row without a caption takes it from the action it runs (see below).
    using namespace TMenuImages;
    using F = TfrmVrelWebCamMain;
    enum class TKind
    {
        Item,
        Separator,
        SubMenu
    };
    enum class TIn
    {
        Main,
        Catalog,
        Favorites,
        Web
    };
    struct TRow
    {
        TKind Kind;
        TIn In;
        const char* Name;
        const char* Caption;
        int Image;
        void (F::*Handler)();
        QAction* F::*Field;
    };
    static const TRow Rows[] = {
        {TKind::Item, TIn::Main, "mnuAddnewCamera", nullptr, -1, nullptr, &F::mnuAddnewCamera},
        {TKind::Item, TIn::Main, "mnuOptions", "Options...", Options, &F::mnuOptionsClick, &F::mnuOptions},
        {TKind::SubMenu, TIn::Catalog, "mnuWebCameraCatalog", "&Web Camera Catalog", -1, nullptr,
         &F::mnuWebCameraCatalog},
        {TKind::Item, TIn::Catalog, "mnuLoadFavorites", "Load Catalog from Vrel Kestro web site", -1,
         &F::mnuLoadFavoritesClick, &F::mnuLoadFavorites},
        {TKind::Separator, TIn::Catalog, "N5", nullptr, -1, nullptr, &F::N5},
        {TKind::SubMenu, TIn::Favorites, "mnuMyFavorites", "&My Favorites", -1, nullptr, &F::mnuMyFavorites},
        {TKind::Item, TIn::Favorites, "mnuOrganizeMyFavorites", "Organize My Favorites...", -1, nullptr,
         &F::mnuOrganizeMyFavorites},
        {TKind::Item, TIn::Favorites, "mnuAddNewFavorite", "Add new Favorite camera...", -1, nullptr,
         &F::mnuAddNewFavorite},
        {TKind::Separator, TIn::Favorites, "N3", nullptr, -1, nullptr, &F::N3},
        {TKind::Separator, TIn::Main, "N4", nullptr, -1, nullptr, &F::N4},
        {TKind::SubMenu, TIn::Web, "mnuOnTheWeb", "On the Web", GlobeWithPage, nullptr, &F::mnuOnTheWeb},
        {TKind::Item, TIn::Web, "mnuVrel", "Vrel Kestro Software - other products", WebPage, &F::mnuVrelClick,
         &F::mnuVrel},
        {TKind::Item, TIn::Web, "mnuVrelTarn", "Vrel Web Camera - check latest version", WebPage,
         &F::mnuVrelTarnClick, &F::mnuVrelTarn},
        {TKind::Item, TIn::Web, "mnuVrelTarnFeature", "Vrel Web Camera - request new feature", WebPage,
         &F::mnuVrelTarnFeatureClick, &F::mnuVrelTarnFeature},
        {TKind::Item, TIn::Web, "mnuContactUs", "Contact us - get support or give your advise", WebPage,
         &F::mnuContactUsClick, &F::mnuContactUs},
        {TKind::Item, TIn::Web, "mnuFAQ", "FAQ - Frequently Asked Qustions", WebPage, &F::mnuFAQClick,
         &F::mnuFAQ},
        {TKind::Separator, TIn::Main, "N1", nullptr, -1, nullptr, &F::N1},
        {TKind::Item, TIn::Main, "mnuReadme", "&Readme", TextDocument, &F::mnuReadmeClick, &F::mnuReadme},
        {TKind::Separator, TIn::Main, "N2", nullptr, -1, nullptr, &F::N2},
        {TKind::Item, TIn::Main, "mnuAbout", "About...", About, &F::mnuAboutClick, &F::mnuAbout},
        {TKind::Item, TIn::Main, "mnuTips", "Show &Tip of the Day", LightBulb, &F::mnuTipsClick, &F::mnuTips},
        // Choosing it only closes the menu, as choosing any item does.
        {TKind::Item, TIn::Main, "mnuCloseMenu", "&Close this menu", Window, nullptr, &F::mnuCloseMenu},
        {TKind::Item, TIn::Main, "mnuExit", "E&xit", Exit, &F::mnuExitClick, &F::mnuExit},
    };
    QMenu* menus[4] = {PopupMenu1, nullptr, nullptr, nullptr};
    const auto in = [&menus](TIn which) -> QMenu*& { return menus[static_cast<int>(which)]; };
    for (const TRow& row : Rows) {
        const QString caption = row.Caption ? QString::fromUtf8(row.Caption) : QString();
        switch (row.Kind) {
        case TKind::Item:
            this->*row.Field = AddItem(in(row.In), row.Name, caption, row.Image, row.Handler);
            break;
        case TKind::Separator:
            this->*row.Field = AddSeparator(in(row.In), row.Name);
            break;
        case TKind::SubMenu:
            in(row.In) = AddSubMenu(PopupMenu1, row.Name, caption, row.Image);
            this->*row.Field = in(row.In)->menuAction();
            break;
        }
    }

    runs(mnuAddnewCamera, actAddCamera, false);
    runs(mnuOrganizeMyFavorites, actOrgFavorites, true);
    runs(mnuAddNewFavorite, actAddCamera, true);
    PopupMenu1->setDefaultAction(mnuOptions);
    // Filled at run time with the catalog's and the favourites' cameras after their separators;
    // a separator with nothing after it stays hidden.
    in(TIn::Catalog)->setSeparatorsCollapsible(true);
    in(TIn::Favorites)->setSeparatorsCollapsible(true);
    mnuTips->setStatusTip(QStringLiteral("mnuTips"));
}

QAction* TfrmVrelWebCamMain::AddItem(QMenu* menu, const char* name, const QString& caption, int image,
                                     void (TfrmVrelWebCamMain::*handler)())
{
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    TBcBarPopupMenu::SetImageIndex(item, image);
    connect(item, &QAction::triggered, this, [this, item, handler] {
        TTrace::write("menu-item", item->objectName());
        if (handler)
            runAction([this, handler] { (this->*handler)(); });
    });
    return item;
}

QAction* TfrmVrelWebCamMain::AddSeparator(QMenu* menu, const char* name)
{
    QAction* separator = menu->addSeparator();
    separator->setObjectName(QLatin1String(name));
    TBcBarPopupMenu::SetImageIndex(separator, -1);
    return separator;
}

QMenu* TfrmVrelWebCamMain::AddSubMenu(TBcBarPopupMenu* menu, const char* name, const QString& caption,
                                      int image)
{
    TBcBarPopupMenu* sub = menu->AddSubMenu(caption);
    sub->setObjectName(QLatin1String(name));
    sub->menuAction()->setObjectName(QLatin1String(name));
    TBcBarPopupMenu::SetImageIndex(sub->menuAction(), image);
    return sub;
}

bool TfrmVrelWebCamMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == PopupMenu1) {
        if (event->type() == QEvent::Show) {
            const QRect g = PopupMenu1->geometry();
            TTrace::write("menu-open", QStringLiteral("%1,%2 %3x%4 depth %5")
                                           .arg(g.x())
                                           .arg(g.y())
                                           .arg(g.width())
                                           .arg(g.height())
                                           .arg(m_popupDepth));
        } else if (event->type() == QEvent::Hide) {
            TTrace::write("menu-close", PopupMenu1->objectName());
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmVrelWebCamMain::tiMainClick()
{
    TTrace::write("tray", QStringLiteral("click"));
    QApplication::beep();
    TTrace::write("beep", QStringLiteral("tray-click"));
    const QList<QWidget*> dialogs = DialogList();
    if (!dialogs.isEmpty()) {
        QWidget* newest = dialogs.last();
        if (newest->isVisible())
            TTrace::write("raise", windowName(newest));
        ForceForegroundWindow(newest);
        return;
    }
    // A copy: raising lets events run, and a window may close meanwhile.
    const QList<QPointer<TfrmImage>> windows = m_cameraWindows;
    for (const auto& window : windows) {
        if (!window || !window->isVisible())
            continue;
        TTrace::write("raise", cameraName(window));
        ForceForegroundWindow(window);
    }
}

void TfrmVrelWebCamMain::tiMainDblClick()
{
    TTrace::write("tray", QStringLiteral("double-click"));
    mnuOptionsClick();
}

void TfrmVrelWebCamMain::PopupMenu1Popup()
{
    m_popupDepth = ColorDepth ? ColorDepth() : GetColorDepth(PopupMenu1);
    ApplyTrayBarColorDepth(PopupMenu1, m_popupDepth);
}

void TfrmVrelWebCamMain::OpenMakerPage(const QString& page)
{
    QString address = QStringLiteral("http://") + MakerWebHost();
    if (!page.isEmpty())
        address += QLatin1Char('/') + page;
    TShell::Open(address);
}

void TfrmVrelWebCamMain::mnuVrelClick()
{
    OpenMakerPage(QString());
}

void TfrmVrelWebCamMain::mnuVrelTarnClick()
{
    OpenMakerPage(QStringLiteral("vrelcam.html"));
}

void TfrmVrelWebCamMain::mnuVrelTarnFeatureClick()
{
    OpenMakerPage(QStringLiteral("vrelcam_next.html"));
}

void TfrmVrelWebCamMain::mnuContactUsClick()
{
    OpenMakerPage(QStringLiteral("contact_us.html"));
}

void TfrmVrelWebCamMain::mnuFAQClick()
{
    OpenMakerPage(QStringLiteral("vrelcam_faq.html"));
}

void TfrmVrelWebCamMain::mnuReadmeClick()
{
    TShell::Open(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Readme.txt")));
}

void TfrmVrelWebCamMain::mnuExitClick()
{
    CancelOpenDialogs();
    close();
}

void TfrmVrelWebCamMain::actAddCameraExecute()
{
    TCameraFlows::actAddCameraExecute(*this, this);
}

void TfrmVrelWebCamMain::mnuLoadFavoritesClick()
{
    if (RunCatalogUpdate(false))
        RebuildMenus();
}

void TfrmVrelWebCamMain::mnuOptionsClick()
{
    runOptionsWindow(*this, TfrmOptionsForm::GeneralPage);
}

void TfrmVrelWebCamMain::actOrgFavoritesExecute()
{
    const TRegKey key = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey);
    if (!key.isOpen())
        return;
    if (key.subKeyCount() == 0) {
        TUserPrompt::ShowMessage(nullptr, QStringLiteral("You don't have Favorites yet, but you can download "
                                                         "them from \r\n Vrel Kestro Software web site."));
        return;
    }
    runOptionsWindow(*this, TfrmOptionsForm::FavoritesPage);
}

// The windows these open arrive with their own features; until then they open nothing.
void TfrmVrelWebCamMain::mnuAboutClick()
{
    TAboutForm::Execute(*this, this);
}

void TfrmVrelWebCamMain::mnuTipsClick()
{
    TfrmTipsForm::Execute(*this, this);
}

bool TfrmVrelWebCamMain::RunCatalogUpdate(bool automatic)
{
    QPointer<TfrmUpdateFavorites> window = new TfrmUpdateFavorites(this);
    window->FAutoUpdate = automatic;
    QWidget* const registered = window;
    CancelOpenDialogs();
    RegisterDialog(registered);
    const int result = window->exec();
    UnregisterDialog(registered);
    const bool imported = window && result == QDialog::Accepted;
    if (imported) {
        ProgramOptions.SetLastUpdateSize(window->FNewSize);
        ProgramOptions.SaveOptions();
    }
    delete window;
    return imported;
}

void TfrmVrelWebCamMain::BuildCatalogMenu()
{
    TRegistryMenus::BuildRegistryMenu(
        TRegRoot::LocalMachine, RegistryLayout::CatalogKey,
        qobject_cast<TBcBarPopupMenu*>(mnuWebCameraCatalog->menu()), [this](QAction* item) {
            runAction([this, item] {
                TCameraFlows::CatalogClick(*this, this, item, mnuWebCameraCatalog,
                                           TRegistryMenus::MenuItemKeyPath(item));
            });
        });
}

void TfrmVrelWebCamMain::BuildFavoritesMenu()
{
    TRegistryMenus::BuildRegistryMenu(
        TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey,
        qobject_cast<TBcBarPopupMenu*>(mnuMyFavorites->menu()),
        [this](QAction* item) { runAction([this, item] { TCameraFlows::MyFavoritesClick(*this, item); }); });
    MarkFrozenFavorites();
}

void TfrmVrelWebCamMain::RebuildMenus()
{
    BuildCatalogMenu();
    BuildFavoritesMenu();
}

void TfrmVrelWebCamMain::ActivateTrayIcon()
{
    tiMain->SetActive(true);
    tiMain->SetHint(QApplication::applicationName());
    // The headless platforms have no tray and nobody to tell.
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        QTimer::singleShot(NoTrayWaitMs, this, &TfrmVrelWebCamMain::CheckTrayPresence);
}

void TfrmVrelWebCamMain::CheckTrayPresence()
{
    if (m_closed || m_noTrayNotice || tiMain->TrayAvailable())
        return;
    TTrace::write("tray-missing", tiMain->UsesStatusNotifier() ? QStringLiteral("status-notifier")
                                                               : QStringLiteral("xembed"));
    m_noTrayNotice = new TNoTrayNotice(
        PopupMenu1, [this] { runAction([this] { tiMainClick(); }); }, this);
    m_noTrayNotice->show();
    ForceForegroundWindow(m_noTrayNotice);
}

void TfrmVrelWebCamMain::DeactivateTrayIcon()
{
    tiMain->SetActive(false);
}

void TfrmVrelWebCamMain::DetachTrayMenu()
{
    tiMain->SetPopupMenu(nullptr);
    tiMain->OnDblClick = nullptr;
}

void TfrmVrelWebCamMain::AttachTrayMenu()
{
    tiMain->SetPopupMenu(PopupMenu1);
    tiMain->OnDblClick = [this](TTrayIcon*) { runAction([this] { tiMainDblClick(); }); };
}
