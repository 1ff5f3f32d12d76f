#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into the signal Received on the thread that made the object,
// so that the program can end through its usual path (temporary files removed, the tray icon
// taken down) instead of being cut off. The handlers only write to a pipe, which is all a
// signal handler may safely do. One object per process; the signals take their default action
// again once it is gone.
class TTerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;
    Q_DISABLE_COPY_MOVE(TTerminationSignals)

    // False when the pipe or the handlers could not be set up (the signals then act as usual).
    bool IsActive() const { return m_notifier != nullptr; }

    // "SIGTERM", "SIGINT", "SIGHUP"; the number otherwise.
    static QString SignalName(int signalNumber);

Q_SIGNALS:
    void Received(int signalNumber);

private:
    void readPipe();

    int m_readFd = -1;
    QSocketNotifier* m_notifier = nullptr;
};
