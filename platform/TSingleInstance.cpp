#include "platform/TSingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

// A request is one short line; anything longer is not from a copy of this program.
constexpr qint64 MaxRequestLength = 64;
const QByteArray AnswerHandled = QByteArrayLiteral("handled\n");
// How long a second copy waits for a starting first copy to open its socket.
constexpr int ServerStartWaitMs = 10000;
// How long a posted message may wait for the running copy's event loop to take it.
constexpr int PostedAnswerWaitMs = 5000;
// How long the running copy waits for a connection's request line; ours sends it at once.
constexpr int RequestWaitMs = 5000;
// How long either side waits to get its few bytes out, and the listen backlog QLocalServer uses.
constexpr int WriteWaitMs = 5000;
constexpr int ListenBacklog = 50;
// After running out of descriptors, accepting is paused this long instead of spinning.
constexpr int AcceptPauseMs = 200;

// Whether the other end of a connection runs as this user. The socket lives in the abstract
// namespace, which every local user can reach.
bool PeerIsThisUser(qintptr descriptor)
{
    struct ucred peer = {};
    socklen_t length = sizeof peer;
    if (::getsockopt(static_cast<int>(descriptor), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return peer.uid == getuid();
}

QString userName()
{
    const uid_t uid = getuid();
    struct passwd entry;
    struct passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name[0] != '\0')
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(uid);
}

int openLockFile(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
}

// The address QLocalServer and QLocalSocket use with AbstractNamespaceOption: a zero byte, then
// the name's bytes, and a length that ends right there. Trailing zeros would make it another
// name. False when the name does not fit.
bool abstractAddress(const QString& name, sockaddr_un* address, socklen_t* length)
{
    const QByteArray bytes = QFile::encodeName(name);
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (bytes.isEmpty() || static_cast<std::size_t>(bytes.size()) + 2 > sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path + 1, bytes.constData(), static_cast<std::size_t>(bytes.size()));
    *length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + static_cast<std::size_t>(bytes.size()));
    return true;
}

int streamSocket()
{
    return ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
}

// poll() for one descriptor, resumed after signals; a negative timeout waits for ever.
bool waitFor(int fd, short events, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs); // negative: never expires
    for (;;) {
        pollfd entry = {fd, events, 0};
        const qint64 left = deadline.remainingTime();
        const int rc = ::poll(&entry, 1, left < 0 ? -1 : static_cast<int>(left));
        if (rc > 0)
            return true;
        if (rc == 0 || errno != EINTR)
            return false;
    }
}

// Writes all of data to a non-blocking socket. MSG_NOSIGNAL: a peer that went away must give
// EPIPE, not a SIGPIPE that ends the program.
bool sendAll(int fd, const QByteArray& data, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    qsizetype sent = 0;
    while (sent < data.size()) {
        const ssize_t n =
            ::send(fd, data.constData() + sent, static_cast<std::size_t>(data.size() - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!waitFor(fd, POLLOUT, static_cast<int>(deadline.remainingTime())))
                return false;
        } else {
            return false;
        }
    }
    return true;
}

void closeDescriptor(int fd)
{
    // Linux frees the descriptor even when close() is interrupted, so it is never retried.
    if (fd >= 0)
        ::close(fd);
}

std::optional<TInstanceMessage> parseRequest(const QByteArray& line)
{
    for (const auto message :
         {TInstanceMessage::ShowAbout, TInstanceMessage::ShowOptions, TInstanceMessage::QuitRequest}) {
        if (line == InstanceMessageName(message).toLatin1())
            return message;
    }
    return std::nullopt;
}

} // namespace

QString InstanceMessageName(TInstanceMessage message)
{
    switch (message) {
    case TInstanceMessage::ShowAbout:
        return QStringLiteral("WM_SHOWABOUT");
    case TInstanceMessage::ShowOptions:
        return QStringLiteral("WM_SHOWOPTIONS");
    case TInstanceMessage::QuitRequest:
        return QStringLiteral("WM_QUITREQUEST");
    }
    return QString();
}

TSingleInstance::TSingleInstance(const QString& name) : m_name(name + QLatin1Char('-') + userName()) {}

TSingleInstance::~TSingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString TSingleInstance::RuntimeFolder()
{
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
        return runtime;
    return QDir::tempPath();
}

QString TSingleInstance::LockPath() const
{
    return RuntimeFolder() + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

QString TSingleInstance::ServerName() const
{
    // A socket path may be 107 bytes at most, and a runtime folder (or a user name) can be longer:
    // an abstract-namespace name derived from both fits whatever they are, and still differs
    // between sessions, as the lock file's folder does.
    const QByteArray session = (RuntimeFolder() + QLatin1Char('\n') + m_name).toUtf8();
    const QByteArray digest = QCryptographicHash::hash(session, QCryptographicHash::Sha256).toHex().left(32);
    return QStringLiteral("vrel-web-camera-") + QString::fromLatin1(digest);
}

bool TSingleInstance::Acquire()
{
    if (m_fd >= 0)
        return true;
    const int fd = openLockFile(LockPath());
    if (fd < 0) {
        m_lockError = QStringLiteral("%1: %2").arg(LockPath(), QString::fromLocal8Bit(std::strerror(errno)));
        return true;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        m_fd = fd;
        return true;
    }
    const int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK)
        return false;
    m_lockError = QStringLiteral("%1: %2").arg(LockPath(), QString::fromLocal8Bit(std::strerror(error)));
    return true;
}

bool TSingleInstance::IsHeldElsewhere() const
{
    const int fd = openLockFile(LockPath());
    if (fd < 0)
        return false;
    // A shared lock is granted only while nobody holds the exclusive one.
    const bool held = ::flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

namespace {

// One accepted connection: reads its request line, hands the request on from the event loop,
// answers and closes. Owned by the server, so a server that goes away closes them all.
class TInstanceConnection : public QObject
{
public:
    TInstanceConnection(int fd, TInstanceServer* server) : QObject(server), m_fd(fd), m_server(server)
    {
        m_notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &TInstanceConnection::readRequest);
        // A peer that connects and never finishes its line must not hold a descriptor for ever.
        QTimer::singleShot(RequestWaitMs, this, [this] {
            if (!m_requested)
                deleteLater();
        });
    }
    ~TInstanceConnection() override
    {
        delete m_notifier;
        closeDescriptor(m_fd);
    }
    Q_DISABLE_COPY_MOVE(TInstanceConnection)

private:
    void readRequest()
    {
        char chunk[MaxRequestLength + 1];
        for (;;) {
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (n <= 0) {
                drop(); // gone (or failed) before its line was complete
                return;
            }
            m_received.append(chunk, n);
            const qsizetype end = m_received.indexOf('\n');
            if (end >= 0 && end < MaxRequestLength)
                break;
            if (m_received.size() >= MaxRequestLength) {
                drop(); // no line of ours is this long
                return;
            }
        }
        m_requested = true;
        m_notifier->setEnabled(false);
        const auto message = parseRequest(m_received.left(m_received.indexOf('\n')).trimmed());
        if (!message) {
            drop();
            return;
        }
        // Not from inside the notifier's signal: the handler may run a modal window's loop.
        QMetaObject::invokeMethod(
            this, [this, message] { dispatch(*message); }, Qt::QueuedConnection);
    }

    void dispatch(TInstanceMessage message)
    {
        // A posted message is answered once the event loop has taken it, before its handler
        // (which may open a modal window) runs; a quit request once its handler has returned.
        if (message != TInstanceMessage::QuitRequest) {
            answer();
            emit m_server->MessageReceived(message);
            return;
        }
        // The handler may end the program or delete the server, and this connection with it.
        QPointer<TInstanceConnection> guarded(this);
        emit m_server->MessageReceived(message);
        if (guarded)
            guarded->answer();
    }

    void answer()
    {
        // The handler usually ends the program right after a quit; the answer must be out first,
        // so it is written here and now rather than from the event loop.
        sendAll(m_fd, AnswerHandled, WriteWaitMs);
        drop();
    }

    void drop()
    {
        delete m_notifier;
        m_notifier = nullptr;
        closeDescriptor(m_fd);
        m_fd = -1;
        deleteLater();
    }

    int m_fd;
    TInstanceServer* m_server;
    QSocketNotifier* m_notifier = nullptr;
    QByteArray m_received;
    bool m_requested = false;
};

} // namespace

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent) {}

TInstanceServer::~TInstanceServer()
{
    close();
}

void TInstanceServer::close()
{
    delete m_acceptNotifier;
    m_acceptNotifier = nullptr;
    closeDescriptor(m_fd);
    m_fd = -1;
}

bool TInstanceServer::Listen(const QString& serverName, QString* error)
{
    close();
    const auto fail = [&](int code) {
        *error = QStringLiteral("%1: %2").arg(serverName, QString::fromLocal8Bit(std::strerror(code)));
        close();
        return false;
    };
    sockaddr_un address;
    socklen_t length = 0;
    if (!abstractAddress(serverName, &address, &length))
        return fail(ENAMETOOLONG);
    m_fd = streamSocket();
    if (m_fd < 0)
        return fail(errno);
    if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(m_fd, ListenBacklog) != 0)
        return fail(errno);
    m_acceptNotifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_acceptNotifier, &QSocketNotifier::activated, this, &TInstanceServer::acceptConnections);
    return true;
}

void TInstanceServer::acceptConnections()
{
    for (;;) {
        const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                // The connection stays queued and the notifier would fire at once again.
                m_acceptNotifier->setEnabled(false);
                QTimer::singleShot(AcceptPauseMs, m_acceptNotifier,
                                   [notifier = m_acceptNotifier] { notifier->setEnabled(true); });
            }
            return; // EAGAIN: all taken
        }
        if (!PeerIsThisUser(fd)) {
            closeDescriptor(fd);
            continue;
        }
        new TInstanceConnection(fd, this);
    }
}

TNotifyResult NotifyRunningInstance(const TSingleInstance& instance, TInstanceMessage message)
{
    sockaddr_un address;
    socklen_t length = 0;
    if (!abstractAddress(instance.ServerName(), &address, &length))
        return TNotifyResult::NoRunningCopy;
    const QByteArray request = InstanceMessageName(message).toLatin1() + '\n';
    QDeadlineTimer deadline(ServerStartWaitMs);
    int fd = -1;
    for (;;) {
        fd = streamSocket();
        if (fd < 0)
            return TNotifyResult::NoRunningCopy;
        int rc;
        do {
            rc = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), length);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0)
            break;
        closeDescriptor(fd);
        // Refused: the first copy may hold the lock but not be listening yet. EAGAIN: its queue
        // is full. Either way try again, until the lock is free and there is nobody left to tell.
        if (!instance.IsHeldElsewhere() || deadline.hasExpired())
            return TNotifyResult::NoRunningCopy;
        QThread::msleep(20);
    }
    const auto done = [fd](TNotifyResult result) {
        closeDescriptor(fd);
        return result;
    };
    if (!sendAll(fd, request, WriteWaitMs))
        return done(TNotifyResult::NoRunningCopy);
    // Posted: wait only until the running copy's event loop takes it. Sent: wait for the answer
    // however long the user takes, or until the running copy goes away (which closes the
    // connection). Without the answer nobody handled the message.
    QDeadlineTimer answerDeadline(message == TInstanceMessage::QuitRequest ? -1 : PostedAnswerWaitMs);
    QByteArray answer;
    while (!answer.contains('\n') && answer.size() < MaxRequestLength) {
        const qint64 left = answerDeadline.remainingTime();
        if (!waitFor(fd, POLLIN, left < 0 ? -1 : static_cast<int>(left)))
            break;
        char chunk[64];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
            continue;
        if (n <= 0)
            break; // closed: gone, or it did not take the message
        answer.append(chunk, n);
    }
    return done(answer.startsWith(AnswerHandled) ? TNotifyResult::Delivered : TNotifyResult::NoRunningCopy);
}
