#pragma once

#include "app/TCommandLine.h"
#include "app/TMainFormServices.h"
#include "platform/TSingleInstance.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class ERegistryError;
class TfrmImage;

// The hidden main form: never shown, it owns the open camera windows, the list of open
// modal dialogs and the tray icon with its menu, and it handles what second copies ask.
// One exists per process while the program runs; it registers itself as MainForm().
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
    void OpenCameraWindow(TWebCamera* camera) override;
    void RemoveCameraWindow(QWidget* window) override;
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
    void mnuOptionsClick();
    void mnuAboutClick();
    void mnuTipsClick();
    // Automatic mode runs quietly; the result says whether the catalog was imported.
    bool RunCatalogUpdate(bool automatic);

    // A second copy's request; ignored once the program is ending.
    void HandleInstanceMessage(TInstanceMessage message);
    void WMShowAbout();
    void WMShowOptions();
    // Offers to clear the personal settings, then ends the program.
    void WMQuitRequest();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Runs one step of an action; a store write that fails ends that step with a message.
    template <typename F> void runAction(F&& action);
    void ShowRegistryError(const ERegistryError& error);

    void ActivateTrayIcon();
    void DeactivateTrayIcon();
    void DetachTrayMenu();
    void AttachTrayMenu();

    TCommandLine m_commandLine;
    QList<QPointer<QWidget>> m_dialogList;
    QList<QPointer<TfrmImage>> m_cameraWindows;
    // Windows taken off the list whose deferred destruction has not happened yet.
    QList<QPointer<TfrmImage>> m_closingWindows;
    bool m_closed = false;
};
