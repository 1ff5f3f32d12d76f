#include "app/TfrmVrelWebCamMain.h"

#include "app/ClearRegistryKey.h"
#include "camera/RegistryLayout.h"
#include "camera/TWebCamera.h"
#include "lang/Lang.h"
#include "options/ERegistryError.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistry.h"
#include "platform/TTrace.h"
#include "platform/TUserPrompt.h"
#include "viewer/fImage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>

#include <cstdio>
#include <memory>

namespace {

void traceStep(const QString& detail)
{
    TTrace::write("step", detail);
}

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

} // namespace

TfrmVrelWebCamMain::TfrmVrelWebCamMain(const TCommandLine& commandLine, QWidget* parent)
    : QWidget(parent), m_commandLine(commandLine)
{
    setObjectName(QStringLiteral("frmVrelWebCamMain"));
    setWindowTitle(QStringLiteral("Vrel Web Camera"));
    setFixedSize(181, 87);
    setEnabled(false);
    g_mainFormServices = this;
}

TfrmVrelWebCamMain::~TfrmVrelWebCamMain()
{
    FormDestroy();
    if (g_mainFormServices == this)
        g_mainFormServices = nullptr;
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
    traceStep(QStringLiteral("hide-taskbar-button"));
    // Both lists are members, empty since construction.
    traceStep(QStringLiteral("create-lists"));
    ApplyLanguage(this);
    traceStep(QStringLiteral("apply-language"));

    if (m_commandLine.Switch() == TStartSwitch::Language) {
        const QString code = m_commandLine.LanguageCode();
        const QString name = GetLanguageName(code);
        traceStep(QStringLiteral("set-language %1 %2").arg(code, name));
        runAction([&] {
            ProgramOptions.SetLanguage(name);
            ProgramOptions.SaveOptions();
        });
        close();
        return;
    }

    traceStep(QStringLiteral("activate-tray-icon"));
    ActivateTrayIcon();
    // A request from another copy may end the program while a start-up window is open;
    // the remaining steps then have nobody to serve.
    if (!m_closed && ProgramOptions.ShowTipsOnStartup) {
        traceStep(QStringLiteral("tip-of-the-day"));
        runAction([this] { mnuTipsClick(); });
    }
    if (!m_closed && !m_commandLine.HasArgument()) {
        traceStep(QStringLiteral("options-window"));
        runAction([this] { mnuOptionsClick(); });
        if (!m_closed) {
            traceStep(QStringLiteral("add-camera"));
            runAction([this] { actAddCameraExecute(); });
        }
    }
    if (!m_closed && ProgramOptions.CheckForUpdatesOnStartup) {
        traceStep(QStringLiteral("catalog-update"));
        runAction([this] { RunCatalogUpdate(true); });
    }
    if (m_closed)
        return;
    traceStep(QStringLiteral("rebuild-menus"));
    runAction([this] { RebuildMenus(); });
    traceStep(QStringLiteral("open-startup-cameras"));
    runAction([this] { OpenStartupCameras(); });
}

void TfrmVrelWebCamMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    FormClose();
}

void TfrmVrelWebCamMain::FormClose()
{
    traceStep(QStringLiteral("form-close"));
    m_closed = true;
    // Queued: the quit takes effect once control is back in the application's own loop, and
    // a main loop that has not started yet is not entered at all (main() checks IsClosed()).
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
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
        auto camera = std::make_unique<TWebCamera>();
        camera->SetDescription(name);
        camera->LoadFromReg();
        if (camera->RunOnStartup)
            OpenCameraWindow(camera.release());
    }
}

void TfrmVrelWebCamMain::OpenCameraWindow(TWebCamera* camera)
{
    auto* window = new TfrmImage(nullptr);
    window->BindCamera(camera);
    if (camera->AlwaysOnTop)
        window->Alwaysontop1Click();
    m_cameraWindows.append(window);
    TTrace::write("camera-open", camera->Description);
    window->show();
}

void TfrmVrelWebCamMain::RemoveCameraWindow(QWidget* window)
{
    for (int i = 0; i < m_cameraWindows.size(); ++i) {
        TfrmImage* listed = m_cameraWindows.at(i).data();
        if (listed != window)
            continue;
        m_cameraWindows.removeAt(i);
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

// The windows these open arrive with their own features; until then they open nothing.
void TfrmVrelWebCamMain::actAddCameraExecute() {}
void TfrmVrelWebCamMain::mnuOptionsClick() {}
void TfrmVrelWebCamMain::mnuAboutClick() {}
void TfrmVrelWebCamMain::mnuTipsClick() {}

bool TfrmVrelWebCamMain::RunCatalogUpdate(bool automatic)
{
    Q_UNUSED(automatic);
    return false;
}

void TfrmVrelWebCamMain::BuildFavoritesMenu() {}
void TfrmVrelWebCamMain::RebuildMenus() {}

void TfrmVrelWebCamMain::ActivateTrayIcon() {}
void TfrmVrelWebCamMain::DeactivateTrayIcon() {}
void TfrmVrelWebCamMain::DetachTrayMenu() {}
void TfrmVrelWebCamMain::AttachTrayMenu() {}
