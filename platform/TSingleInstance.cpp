#include "platform/TSingleInstance.h"

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
#include <unistd.h>

namespace {

// A request is one short line; anything longer is not from a copy of this program.
constexpr qint64 MaxRequestLength = 64;
const QByteArray AnswerHandled = QByteArrayLiteral("handled\n");
// How long a second copy waits for a starting first copy to open its socket.
constexpr int ServerStartWaitMs = 10000;

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
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
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
    return RuntimeFolder() + QLatin1Char('/') + m_name;
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
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(serverName);
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
    emit MessageReceived(message);
    if (!guarded)
        return;
    if (message == TInstanceMessage::QuitRequest) {
        guarded->write(AnswerHandled);
        guarded->flush();
        // The handler usually ends the program right after this; the answer must be out first.
        guarded->waitForBytesWritten(1000);
    }
    guarded->disconnectFromServer();
}

TNotifyResult NotifyRunningInstance(const TSingleInstance& instance, TInstanceMessage message)
{
    const QByteArray request = InstanceMessageName(message).toLatin1() + '\n';
    QDeadlineTimer deadline(ServerStartWaitMs);
    QLocalSocket socket;
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
    if (message != TInstanceMessage::QuitRequest) {
        socket.disconnectFromServer();
        return TNotifyResult::Delivered;
    }
    // Sent, not posted: wait for the answer however long the user takes, or until the running
    // copy goes away (which closes the connection).
    QByteArray answer;
    while (socket.state() == QLocalSocket::ConnectedState && !answer.contains('\n')) {
        if (!socket.waitForReadyRead(-1))
            break;
        answer += socket.readAll();
    }
    return TNotifyResult::Delivered;
}
