#pragma once

#include <QString>
#include <QStringList>

class QObject;
class QProcess;

// Starting a helper program (the registry editor) without a shell: the arguments go to the
// program as they stand, so blanks, quotes or "$" in a file name are safe. UI thread only.

// Starts program with arguments, its standard streams closed, and returns the running process
// (owned by parent); null when it could not be started.
QProcess* RunProgram(const QString& program, const QStringList& arguments, QObject* parent);

enum class TProgramEnd
{
    Succeeded, // exit code 0
    Failed,    // ran and exited with another code, or crashed
    TimedOut   // still running after the wait; it has been killed
};

// Waits at most timeoutMs for the process to end while the caller's windows still repaint and
// take input (events are dispatched). A process still running then is killed, so whatever it
// had begun to write is rolled back by its own store.
TProgramEnd WaitForProgram(QProcess* process, int timeoutMs);
