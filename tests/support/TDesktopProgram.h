#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// How the desktop tests run the program and their tools on their own X display: through xcb
// and without a session bus (Qt would take the D-Bus tray route whenever one answers, and never
// dock into the test's XEmbed tray), with every folder and store below dir, the camera catalog
// at webHost, no desktop handler opened, and the trace on.
inline QProcessEnvironment DesktopProgramEnvironment(const QTemporaryDir& dir, const QString& display,
                                                     const QString& webHost = QStringLiteral("127.0.0.1:1"))
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("DISPLAY", display);
    env.insert("QT_QPA_PLATFORM", "xcb");
    env.insert("DBUS_SESSION_BUS_ADDRESS", "disabled:");
    env.remove("WAYLAND_DISPLAY");
    env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
    // Its own temporary folder: a first copy clears the one it finds of what an earlier run left.
    env.insert("TMPDIR", dir.filePath("tmp"));
    env.insert("HOME", dir.filePath("home"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("XDG_DATA_HOME", dir.filePath("data"));
    env.insert("VREL_USER_REGISTRY", dir.filePath("user.db"));
    env.insert("VREL_MACHINE_REGISTRY", dir.filePath("machine.db"));
    env.insert("VREL_WEB_HOST", webHost);
    env.insert("VREL_SHELL_OPEN", "off");
    env.insert("VREL_TRACE", "1");
    env.remove("VREL_AUTO_ANSWER");
    return env;
}

// Starts program in env with its output merged, for a test that watches it while it runs.
inline std::unique_ptr<QProcess> StartDesktopProgram(const QProcessEnvironment& env, const QString& program,
                                                     const QStringList& arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(program, arguments);
    process->waitForStarted(5000);
    return process;
}

// Runs program in env to its end, 10 s at most: what it printed. exitCode, when given, receives
// its exit code, or -1 when it crashed or was still running.
inline QString RunDesktopProgram(const QProcessEnvironment& env, const QString& program,
                                 const QStringList& arguments, int* exitCode = nullptr)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    const bool finished = process.waitForFinished(10000);
    if (exitCode)
        *exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
}
