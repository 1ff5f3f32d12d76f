#pragma once

#include "app/TCommandLine.h"
#include "camera/TMainFormServices.h"
#include "platform/TSingleInstance.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

class ERegistryError;
class QAction;
class QMenu;
class TBcBarPopupMenu;
class TNoTrayNotice;
class TTrayIcon;
class TfrmImage;

// The hidden main form: never shown, it owns the open camera windows, the list of open
// modal dialogs and the tray icon with its menu, and it handles what second copies ask.
// One exists per process while the program runs; it hands itself to the windows it opens.
//
// The tray icon shows from construction on. A left click raises the camera windows (or the
// newest dialog), a right click opens PopupMenu1, a double click runs its default item
// "Options...". While a dialog is registered the icon has no menu and no double click.
class TfrmVrelWebCamMain : public QWidget, public TMainFormServices
{
    Q_OBJECT

public:
    explicit TfrmVrelWebCamMain(const TCommandLine& commandLine, QWidget* parent = nullptr);
    ~TfrmVrelWebCamMain() override;

    // The modal dialogs opened from here that are still open, oldest first (not owned).
    QList<QWidget*> DialogList() const;
    // The open camera windows in the order they were opened (owned).
    QList<QWidget*> CameraWindows() const;
    // True once the close handler has run: the program is ending.
    bool IsClosed() const { return m_closed; }

    void CancelOpenDialogs() override;
    void RegisterDialog(QWidget* dialog) override;
    void UnregisterDialog(QWidget* dialog) override;
    void OpenCameraWindow(std::unique_ptr<TWebCamera> camera) override;
    void RemoveCameraWindow(QWidget* window) override;
    // The generated items of "&Web Camera Catalog" and "&My Favorites", read anew from the store.
    void BuildCatalogMenu();
    void BuildFavoritesMenu() override;
    void RebuildMenus() override;
    void ReapplyLanguage() override;

public Q_SLOTS:
    // The start-up sequence; main() runs it once, right after construction.
    void FormCreate();
    // The close handler: ends the event loop, cancels open dialogs, removes the tray icon.
    void FormClose();
    void FormDestroy();

    void OpenStartupCameras();
    void actAddCameraExecute();
    void actOrgFavoritesExecute();
    void mnuOptionsClick();
    void mnuAboutClick();
    void mnuTipsClick();
    void mnuLoadFavoritesClick();
    // Automatic mode runs quietly; the result says whether the catalog was imported.
    bool RunCatalogUpdate(bool automatic);

    // Beeps, then brings the newest dialog to the front, or else every camera window in the
    // order they were opened (so the newest ends up in front).
    void tiMainClick();
    void tiMainDblClick();
    // Fits the menu's side bar to the display's colour depth before each opening.
    void PopupMenu1Popup();
    void mnuVrelClick();
    void mnuVrelTarnClick();
    void mnuVrelTarnFeatureClick();
    void mnuContactUsClick();
    void mnuFAQClick();
    // Opens Readme.txt from the executable's folder, wherever the program was started from.
    void mnuReadmeClick();
    void mnuExitClick();

    // Shows the no-tray notice when no tray can show the icon; it runs a few seconds after the
    // icon is activated (a panel started with the session may come up after the program) and
    // says so once per run.
    void CheckTrayPresence();

    // A second copy's request; ignored once the program is ending.
    void HandleInstanceMessage(TInstanceMessage message);
    void WMShowAbout();
    void WMShowOptions();
    // Offers to clear the personal settings, then ends the program.
    void WMQuitRequest();

public:
    TTrayIcon* tiMain = nullptr;
    TBcBarPopupMenu* PopupMenu1 = nullptr;
    QObject* actlstWebCam = nullptr;
    QAction* actAddCamera = nullptr;
    QAction* actOrgFavorites = nullptr;

    QAction* mnuAddnewCamera = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnuWebCameraCatalog = nullptr;
    QAction* mnuLoadFavorites = nullptr;
    QAction* N5 = nullptr;
    QAction* mnuMyFavorites = nullptr;
    QAction* mnuOrganizeMyFavorites = nullptr;
    QAction* mnuAddNewFavorite = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* mnuOnTheWeb = nullptr;
    QAction* mnuVrel = nullptr;
    QAction* mnuVrelTarn = nullptr;
    QAction* mnuVrelTarnFeature = nullptr;
    QAction* mnuContactUs = nullptr;
    QAction* mnuFAQ = nullptr;
    QAction* N1 = nullptr;
    QAction* mnuReadme = nullptr;
    QAction* N2 = nullptr;
    QAction* mnuAbout = nullptr;
    QAction* mnuTips = nullptr;
    QAction* mnuCloseMenu = nullptr;
    QAction* mnuExit = nullptr;

    // The display's colour depth in bits per pixel, as PopupMenu1Popup reads it. Tests stand in
    // for displays they cannot start (16 or 256 colours).
    std::function<int()> ColorDepth;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Runs one step of an action; a store write that fails ends that step with a message.
    template <typename F> void runAction(F&& action);
    void ShowRegistryError(const ERegistryError& error);

    void CreateTrayIcon();
    void BuildMenu();
    QAction* AddItem(QMenu* menu, const char* name, const QString& caption, int image,
                     void (TfrmVrelWebCamMain::*handler)());
    QAction* AddSeparator(QMenu* menu, const char* name);
    QMenu* AddSubMenu(TBcBarPopupMenu* menu, const char* name, const QString& caption, int image);
    void OpenMakerPage(const QString& page);
    // Whether a window shows the favourite stored under this name (names compare as the store's).
    bool IsFavoriteOpen(const QString& name) const;
    // The favourites' tray items of frozen camera windows say so after their name.
    void MarkFrozenFavorites();

    void ActivateTrayIcon();
    void DeactivateTrayIcon();
    void DetachTrayMenu();
    void AttachTrayMenu();

    TCommandLine m_commandLine;
    QList<QPointer<QWidget>> m_dialogList;
    QList<QPointer<TfrmImage>> m_cameraWindows;
    // Windows taken off the list whose deferred destruction has not happened yet.
    QList<QPointer<TfrmImage>> m_closingWindows;
    // Listed windows whose camera sends the same picture for a long time (TfrmImage::Frozen).
    QList<QPointer<TfrmImage>> m_frozenWindows;
    QPointer<TNoTrayNotice> m_noTrayNotice;
    bool m_closed = false;
    int m_popupDepth = 0;
};
