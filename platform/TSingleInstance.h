#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;

// What a second copy asks of the running one.
enum class TInstanceMessage
{
    ShowAbout = 0x401,   // posted: the second copy does not wait
    ShowOptions = 0x402, // posted
    QuitRequest = 0x403  // sent: the second copy waits until it has been handled
};

// "WM_SHOWABOUT", "WM_SHOWOPTIONS", "WM_QUITREQUEST": the names the trace and the wire use.
QString InstanceMessageName(TInstanceMessage message);

// The one-copy-per-user rule: an exclusive flock() on a lock file in the user's runtime folder
// ($XDG_RUNTIME_DIR, else the temporary folder), named after the given name and the user.
// The kernel drops the lock when its holder dies, so a killed copy never blocks the next start,
// and of two copies started at the same instant exactly one gets it. The lock file is never
// deleted: unlinking a lock file lets two copies hold locks on different files.
class TSingleInstance
{
public:
    static constexpr const char* DefaultName = "VrelWebCameraPlumwiseEmpTyTeMPMutex";

    explicit TSingleInstance(const QString& name = QString::fromLatin1(DefaultName));
    ~TSingleInstance();
    TSingleInstance(const TSingleInstance&) = delete;
    TSingleInstance& operator=(const TSingleInstance&) = delete;

    // True for the first copy: it now holds the lock, or no lock could be made at all (then it
    // runs as a first copy without one; LockError() says why). False when another copy holds it.
    bool Acquire();
    bool HoldsLock() const { return m_fd >= 0; }
    QString LockError() const { return m_lockError; }
    // Whether some process holds the lock right now (for a second copy waiting on the first).
    bool IsHeldElsewhere() const;

    // The base name with the user's name: "<name>-<user>".
    QString Name() const { return m_name; }
    QString LockPath() const;
    // The local socket of the running copy: a short abstract-namespace name made from the
    // runtime folder and Name(), so it fits however long the folder is.
    QString ServerName() const;
    static QString RuntimeFolder();

private:
    QString m_name;
    int m_fd = -1;
    QString m_lockError;
};

// The running copy's end of the local socket: a stream socket in the abstract namespace, bound
// to the name's bytes alone (no trailing zeros), as QLocalServer's AbstractNamespaceOption binds
// it, so copies built either way reach each other. A request is one line ("WM_SHOWABOUT\n"),
// the answer "handled\n". Every message is handed on from the event loop (never inside the
// socket's own signal), so a handler may open modal windows. A posted message is answered as
// the event loop takes it, a quit request once its handler has returned; the sender waits for
// that answer. Connections from other users are dropped unread, and so is one that sends
// anything but a known request or does not finish its line within a few seconds.
class TInstanceServer : public QObject
{
    Q_OBJECT

public:
    explicit TInstanceServer(QObject* parent = nullptr);
    ~TInstanceServer() override;

    // Call only while holding the lock. The name is an abstract one, so a killed copy leaves no
    // socket file behind.
    bool Listen(const QString& serverName, QString* error);

Q_SIGNALS:
    void MessageReceived(TInstanceMessage message);

private:
    void acceptConnections();
    void close();

    int m_fd = -1;
    QSocketNotifier* m_acceptNotifier = nullptr;
};

enum class TNotifyResult
{
    Delivered,    // the running copy took the message (and, for a quit request, handled it)
    NoRunningCopy // nobody answered: the lock was free, no server came up in time, or the
                  // running copy did not take the message (stuck, or gone meanwhile)
};

// The second copy's side. Blocks: for a quit request until the running copy has handled it or
// has gone away; for the others until the message is handed over. While the lock's holder
// is still starting and not yet listening, connecting is retried for a few seconds.
TNotifyResult NotifyRunningInstance(const TSingleInstance& instance, TInstanceMessage message);
