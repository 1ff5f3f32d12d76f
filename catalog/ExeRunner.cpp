#include "catalog/ExeRunner.h"

#include <QEventLoop>
#include <QProcess>
#include <QTimer>

QProcess* RunProgram(const QString& program, const QStringList& arguments, QObject* parent)
{
    auto* process = new QProcess(parent);
    process->setProgram(program);
    process->setArguments(arguments);
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setStandardErrorFile(QProcess::nullDevice());
    process->start();
    if (!process->waitForStarted()) {
        delete process;
        return nullptr;
    }
    return process;
}

TProgramEnd WaitForProgram(QProcess* process, int timeoutMs)
{
    if (process->state() != QProcess::NotRunning) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(process, &QProcess::finished, &loop, &QEventLoop::quit);
        deadline.start(timeoutMs);
        loop.exec();
    }
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(5000);
        return TProgramEnd::TimedOut;
    }
    return process->exitStatus() == QProcess::NormalExit && process->exitCode() == 0 ? TProgramEnd::Succeeded
                                                                                     : TProgramEnd::Failed;
}
