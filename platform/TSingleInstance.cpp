#include "platform/TSingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QThread>

#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A request is one short line; anything longer is not from a copy of this program.
constexpr qint64 MaxRequestLength = 64;
const QByteArray AnswerHandled = QByteArrayLiteral("handled\n");
// How long a second copy waits for a starting first copy to open its socket.
constexpr int ServerStartWaitMs = 10000;
// How long a posted message may wait for the running copy's event loop to take it.
constexpr int PostedAnswerWaitMs = 5000;

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

TInstanceServer::TInstanceServer(QObject* parent) : QObject(parent) {}

TInstanceServer::~TInstanceServer() = default;

bool TInstanceServer::Listen(const QString& serverName, QString* error)
{
    delete m_server;
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::AbstractNamespaceOption);
    if (!m_server->listen(serverName)) {
        *error = QStringLiteral("%1: %2").arg(serverName, m_server->errorString());
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &TInstanceServer::acceptConnections);
    return true;
}

void TInstanceServer::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
        if (socket->bytesAvailable() > 0)
            readRequest(socket);
    }
}

void TInstanceServer::readRequest(QLocalSocket* socket)
{
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > MaxRequestLength)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(MaxRequestLength + 1).trimmed();
    disconnect(socket, &QLocalSocket::readyRead, this, nullptr);
    const auto message = parseRequest(line);
    if (!message) {
        socket->abort();
        return;
    }
    QPointer<QLocalSocket> guarded(socket);
    QMetaObject::invokeMethod(
        this, [this, message, guarded] { dispatch(*message, guarded); }, Qt::QueuedConnection);
}

void TInstanceServer::dispatch(TInstanceMessage message, QLocalSocket* socket)
{
    QPointer<QLocalSocket> guarded(socket);
    const auto answer = [&guarded] {
        if (!guarded)
            return;
        guarded->write(AnswerHandled);
        guarded->flush();
        // The handler usually ends the program right after a quit; the answer must be out first.
        guarded->waitForBytesWritten(1000);
    };
    // A posted message is answered once the event loop has taken it, before its handler (which
    // may open a modal window) runs; a quit request once its handler has returned.
    if (message != TInstanceMessage::QuitRequest)
        answer();
    emit MessageReceived(message);
    if (message == TInstanceMessage::QuitRequest)
        answer();
    if (guarded)
        guarded->disconnectFromServer();
}

TNotifyResult NotifyRunningInstance(const TSingleInstance& instance, TInstanceMessage message)
{
    const QByteArray request = InstanceMessageName(message).toLatin1() + '\n';
    QDeadlineTimer deadline(ServerStartWaitMs);
    QLocalSocket socket;
    socket.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
    for (;;) {
        socket.connectToServer(instance.ServerName());
        if (socket.waitForConnected(1000))
            break;
        socket.abort();
        // The first copy may hold the lock but not be listening yet; once the lock is free
        // there is nobody left to tell.
        if (!instance.IsHeldElsewhere() || deadline.hasExpired())
            return TNotifyResult::NoRunningCopy;
        QThread::msleep(20);
    }
    socket.write(request);
    if (!socket.waitForBytesWritten(5000))
        return TNotifyResult::NoRunningCopy;
    // Posted: wait only until the running copy's event loop takes it. Sent: wait for the answer
    // however long the user takes, or until the running copy goes away (which closes the
    // connection). Without the answer nobody handled the message.
    const int waitMs = message == TInstanceMessage::QuitRequest ? -1 : PostedAnswerWaitMs;
    QByteArray answer;
    while (socket.state() == QLocalSocket::ConnectedState && !answer.contains('\n')) {
        if (!socket.waitForReadyRead(waitMs))
            break;
        answer += socket.readAll();
    }
    answer += socket.readAll();
    return answer.startsWith(AnswerHandled) ? TNotifyResult::Delivered : TNotifyResult::NoRunningCopy;
}
