#include "app/TCommandLine.h"
#include "app/TfrmVrelWebCamMain.h"
#include "lang/Lang.h"
#include "options/ERegistryError.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistryStore.h"
#include "platform/TSessionPlatform.h"
#include "platform/TSingleInstance.h"
#include "platform/TTerminationSignals.h"
#include "platform/TTrace.h"
#include "viewer/TTempFiles.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

namespace {

// What runs in every copy before anything else: the options (which also bring the autostart
// entry in line) and the message texts. A store that cannot be used is said once; the
// program goes on with the defaults.
void InitialiseModules()
{
    try {
        if (!ProgramOptions.LoadOptions())
            std::fprintf(stderr,
                         "vrel-web-camera: the settings store %s cannot be opened; starting with the default "
                         "options\n",
                         qPrintable(TRegistryStore::pathFor(TRegRoot::CurrentUser)));
    } catch (const ERegistryError& error) {
        std::fprintf(stderr, "vrel-web-camera: %s (%s)\n", error.what(), qPrintable(error.detail()));
    }
    TTrace::step(QStringLiteral("load-options"));
    LoadMessages();
    TTrace::step(QStringLiteral("load-messages"));
}

int RunSecondCopy(int argc, char* argv[], const TSingleInstance& instance, const TCommandLine& commandLine)
{
    // Core only: a second copy never opens a window or a tray icon.
    QCoreApplication app(argc, argv);
    const TInstanceMessage message = commandLine.SecondCopyMessage();
    TTrace::step(QStringLiteral("notify %1").arg(InstanceMessageName(message)));
    const TNotifyResult result = NotifyRunningInstance(instance, message);
    TTrace::step(QStringLiteral("notify-done %1 %2")
                     .arg(InstanceMessageName(message), result == TNotifyResult::Delivered
                                                            ? QStringLiteral("delivered")
                                                            : QStringLiteral("no-running-copy")));
    return 0;
}

int RunFirstCopy(int argc, char* argv[], const TSingleInstance& instance, const TCommandLine& commandLine)
{
    const QString platform = ChooseQtPlatform(QProcessEnvironment::systemEnvironment());
    if (!platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform.toLatin1());
        TTrace::step(QStringLiteral("platform %1").arg(platform));
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vrel Web Camera"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vrel Web Camera"));
    // Camera windows come and go; only the main form's close ends the program.
    QApplication::setQuitOnLastWindowClosed(false);

    TInstanceServer server;
    if (instance.HoldsLock()) {
        QString error;
        if (!server.Listen(instance.ServerName(), &error))
            std::fprintf(stderr, "vrel-web-camera: later starts cannot reach this copy: %s\n",
                         qPrintable(error));
        // Partial downloads of a run that was killed; no other copy of ours can be using them.
        for (const QString& name : TTempFiles::RemoveLeftovers(TTempFiles::PrivateFolder()))
            TTrace::write("temp-removed", name);
    }

    TfrmVrelWebCamMain form(commandLine);
    // Ended by the system (log-out, kill, Ctrl+C): the same way out as the Exit command.
    TTerminationSignals termination;
    QObject::connect(&termination, &TTerminationSignals::Received, &form, [&form](int number) {
        TTrace::write("signal", TTerminationSignals::SignalName(number));
        if (!form.IsClosed())
            form.mnuExitClick();
    });
    QObject::connect(&server, &TInstanceServer::MessageReceived, &form,
                     &TfrmVrelWebCamMain::HandleInstanceMessage);
    form.FormCreate();

    if (commandLine.RunsEventLoop() && !form.IsClosed()) {
        QTimer::singleShot(0, &form, [] { TTrace::step(QStringLiteral("event-loop")); });
        QApplication::exec();
    }
    if (commandLine.Switch() == TStartSwitch::Quit && !form.IsClosed()) {
        TTrace::step(QStringLiteral("quit-request"));
        form.WMQuitRequest();
    }
    TTrace::step(QStringLiteral("exit"));
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const TCommandLine commandLine(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    InitialiseModules();

    TSingleInstance instance;
    const bool firstCopy = instance.Acquire();
    if (firstCopy && !instance.LockError().isEmpty())
        TTrace::step(QStringLiteral("single-instance first-copy without lock: %1").arg(instance.LockError()));
    else
        TTrace::step(firstCopy ? QStringLiteral("single-instance first-copy")
                               : QStringLiteral("single-instance second-copy"));
    return firstCopy ? RunFirstCopy(argc, argv, instance, commandLine)
                     : RunSecondCopy(argc, argv, instance, commandLine);
}
