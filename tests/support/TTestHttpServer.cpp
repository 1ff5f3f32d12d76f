#include "tests/support/TTestHttpServer.h"

#include <QCryptographicHash>
#include <QHash>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int MaxHeadBytes = 64 * 1024;
constexpr int PollSliceMs = 50;

QByteArray pathPart(const QByteArray& target)
{
    const qsizetype mark = target.indexOf('?');
    return mark < 0 ? target : target.left(mark);
}

QByteArray md5Hex(const QByteArray& text)
{
    return QCryptographicHash::hash(text, QCryptographicHash::Md5).toHex();
}

// Parses `Digest a="b", c=d` into its fields.
QHash<QByteArray, QByteArray> digestFields(const QByteArray& value)
{
    QHash<QByteArray, QByteArray> fields;
    qsizetype i = 0;
    const qsizetype n = value.size();
    while (i < n) {
        while (i < n && (value[i] == ' ' || value[i] == ','))
            ++i;
        const qsizetype eq = value.indexOf('=', i);
        if (eq < 0)
            break;
        const QByteArray key = value.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        QByteArray field;
        if (i < n && value[i] == '"') {
            ++i;
            while (i < n && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < n)
                    ++i;
                field.append(value[i++]);
            }
            ++i;
        } else {
            while (i < n && value[i] != ',')
                field.append(value[i++]);
            field = field.trimmed();
        }
        fields.insert(key, field);
    }
    return fields;
}

} // namespace

TScriptedResponse TScriptedResponse::ok(const QByteArray& body, const QByteArray& contentType)
{
    TScriptedResponse response;
    response.Body = body;
    response.Headers.append({"Content-Type", contentType});
    return response;
}

TScriptedResponse TScriptedResponse::redirect(const QByteArray& location, int status)
{
    TScriptedResponse response;
    response.Status = status;
    response.Reason = status == 301 ? "Moved Permanently" : "Found";
    response.Headers.append({"Location", location});
    response.Body = "moved";
    return response;
}

QByteArray TRecordedRequest::header(const QByteArray& name) const
{
    for (const auto& [key, value] : Headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

bool TRecordedRequest::hasHeader(const QByteArray& name) const
{
    for (const auto& entry : Headers) {
        if (entry.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

struct TTestHttpServer::TPrivate
{
    mutable std::mutex Mutex;
    mutable std::condition_variable Changed;
    bool Stopping = false;
    int ListenFd = -1;
    int WakeRead = -1;
    int WakeWrite = -1;
    quint16 Port = 0;
    std::thread Acceptor;
    std::vector<std::thread> Connections;
    std::vector<std::thread::id> Finished;
    int OpenConnections = 0;
    int Stalled = 0;
    int NotModified = 0;
    QHash<QByteArray, TScriptedResponse> Routes;
    QList<TRecordedRequest> Requests;
    QByteArray Nonce = QByteArray::number(QRandomGenerator::global()->generate64(), 16);

    bool stopping() const
    {
        std::lock_guard<std::mutex> lock(Mutex);
        return Stopping;
    }

    // Waits for fd to become readable; false when the server stops first.
    bool waitReadable(int fd) const
    {
        for (;;) {
            if (stopping())
                return false;
            pollfd fds[2] = {{fd, POLLIN, 0}, {WakeRead, POLLIN, 0}};
            const int ready = ::poll(fds, 2, PollSliceMs);
            if (ready > 0 && (fds[1].revents & POLLIN))
                return false;
            if (ready > 0 && fds[0].revents)
                return true;
        }
    }

    bool sendAll(int fd, const char* data, qsizetype size) const
    {
        while (size > 0) {
            if (stopping())
                return false;
            pollfd fds[1] = {{fd, POLLOUT, 0}};
            if (::poll(fds, 1, PollSliceMs) <= 0)
                continue;
            const ssize_t sent = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
            if (sent < 0)
                return false;
            data += sent;
            size -= sent;
        }
        return true;
    }

    // Sleeps ms unless the server stops first.
    bool pause(int ms) const
    {
        std::unique_lock<std::mutex> lock(Mutex);
        return !Changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return Stopping; });
    }

    bool readRequest(int fd, TRecordedRequest& request) const
    {
        QByteArray data;
        qsizetype headEnd = -1;
        char buffer[4096];
        while ((headEnd = data.indexOf("\r\n\r\n")) < 0) {
            if (data.size() > MaxHeadBytes || !waitReadable(fd))
                return false;
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            data.append(buffer, got);
        }
        request.Head = data.left(headEnd + 2);
        const QList<QByteArray> lines = data.left(headEnd).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.Method = first.value(0);
        request.Target = first.value(1);
        request.Version = first.value(2);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                request.Headers.append({lines[i].left(colon).trimmed(), lines[i].mid(colon + 1).trimmed()});
        }
        request.Body = data.mid(headEnd + 4);
        const qint64 length = request.header("Content-Length").toLongLong();
        while (request.Body.size() < length) {
            if (!waitReadable(fd))
                return false;
            const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
            if (got <= 0)
                return false;
            request.Body.append(buffer, got);
        }
        return true;
    }

    bool authorised(const TScriptedResponse& rule, const TRecordedRequest& request) const
    {
        const QByteArray value = request.header("Authorization");
        if (rule.Auth == TScriptedResponse::TAuth::Basic)
            return value == "Basic " + (rule.AuthUser + ':' + rule.AuthPassword).toBase64();
        if (!value.startsWith("Digest "))
            return false;
        const auto fields = digestFields(value.mid(7));
        if (fields.value("username") != rule.AuthUser || fields.value("nonce") != Nonce)
            return false;
        const QByteArray ha1 = md5Hex(rule.AuthUser + ':' + rule.Realm + ':' + rule.AuthPassword);
        const QByteArray ha2 = md5Hex(request.Method + ':' + fields.value("uri"));
        const QByteArray expected = md5Hex(ha1 + ':' + Nonce + ':' + fields.value("nc") + ':' +
                                           fields.value("cnonce") + ':' + fields.value("qop") + ':' + ha2);
        return fields.value("response") == expected;
    }

    TScriptedResponse responseFor(const TRecordedRequest& request) const
    {
        std::lock_guard<std::mutex> lock(Mutex);
        auto it = Routes.constFind(request.Target);
        if (it == Routes.constEnd())
            it = Routes.constFind(pathPart(request.Target));
        if (it != Routes.constEnd())
            return *it;
        TScriptedResponse missing;
        missing.Status = 404;
        missing.Reason = "Not Found";
        missing.Body = "<html>404 Not Found</html>";
        return missing;
    }

    void answer(int fd, const TScriptedResponse& rule, const TRecordedRequest& request)
    {
        TScriptedResponse response = rule;
        if (rule.Auth != TScriptedResponse::TAuth::None && !authorised(rule, request)) {
            response = TScriptedResponse();
            response.Status = 401;
            response.Reason = "Unauthorized";
            response.Body = rule.ChallengeBody;
            const QByteArray challenge = rule.Auth == TScriptedResponse::TAuth::Basic
                                             ? "Basic realm=\"" + rule.Realm + "\""
                                             : "Digest realm=\"" + rule.Realm + "\", nonce=\"" + Nonce +
                                                   "\", qop=\"auth\", algorithm=MD5";
            response.Headers.append({"WWW-Authenticate", challenge});
        }

        if (response.ETag.size() > 0)
            response.Headers.append({"ETag", response.ETag});
        if (response.LastModified.size() > 0)
            response.Headers.append({"Last-Modified", response.LastModified});
        const QByteArray ifNoneMatch = request.header("If-None-Match");
        const bool unchanged =
            response.Status == 200 &&
            (response.AlwaysNotModified || (!ifNoneMatch.isEmpty() && ifNoneMatch == response.ETag) ||
             (ifNoneMatch.isEmpty() && !response.LastModified.isEmpty() &&
              request.header("If-Modified-Since") == response.LastModified));
        if (unchanged) {
            response.Status = 304;
            response.Reason = "Not Modified";
            response.Body.clear();
            response.SendContentLength = false;
            response.StallAfter = -1;
            std::lock_guard<std::mutex> lock(Mutex);
            ++NotModified;
        }

        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.Status) + ' ' + response.Reason + "\r\n";
        if (response.SendContentLength) {
            const qint64 announced =
                response.AnnouncedLength >= 0 ? response.AnnouncedLength : response.Body.size();
            head += "Content-Length: " + QByteArray::number(announced) + "\r\n";
        }
        for (const auto& [name, value] : response.Headers)
            head += name + ": " + value + "\r\n";
        head += "Connection: close\r\n\r\n";
        if (!sendAll(fd, head.constData(), head.size()))
            return;

        const bool headRequest = request.Method == "HEAD";
        QByteArray body = headRequest ? QByteArray() : response.Body;
        const bool stall = !headRequest && response.StallAfter >= 0;
        if (stall && response.StallAfter < body.size())
            body.truncate(response.StallAfter);
        const qsizetype piece = response.DripBytes > 0 ? response.DripBytes : body.size();
        for (qsizetype at = 0; at < body.size(); at += piece) {
            if (response.DripBytes > 0 && !pause(response.DripDelayMs))
                return;
            if (!sendAll(fd, body.constData() + at, std::min(piece, body.size() - at)))
                return;
        }
        if (stall)
            holdUntilClientLeaves(fd);
    }

    void holdUntilClientLeaves(int fd)
    {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            ++Stalled;
        }
        Changed.notify_all();
        char buffer[512];
        while (waitReadable(fd) && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        {
            std::lock_guard<std::mutex> lock(Mutex);
            --Stalled;
        }
        Changed.notify_all();
    }

    void serve(int fd)
    {
        TRecordedRequest request;
        if (readRequest(fd, request)) {
            const TScriptedResponse rule = responseFor(request);
            {
                std::lock_guard<std::mutex> lock(Mutex);
                Requests.append(request);
            }
            Changed.notify_all();
            if (!rule.CloseAtOnce)
                answer(fd, rule, request);
        }
        ::shutdown(fd, SHUT_WR);
        // Let the client read what was sent before the socket goes away.
        char buffer[512];
        pollfd fds[1] = {{fd, POLLIN, 0}};
        while (::poll(fds, 1, 200) > 0 && ::recv(fd, buffer, sizeof buffer, 0) > 0) {
        }
        ::close(fd);
        {
            std::lock_guard<std::mutex> lock(Mutex);
            --OpenConnections;
            Finished.push_back(std::this_thread::get_id());
        }
        Changed.notify_all();
    }

    // Joins the connection threads that have finished, so a long test does not pile them up.
    // Called with Mutex held; the threads only have their return left to do.
    void joinFinished()
    {
        for (auto it = Connections.begin(); it != Connections.end();) {
            if (std::find(Finished.begin(), Finished.end(), it->get_id()) != Finished.end()) {
                it->join();
                it = Connections.erase(it);
            } else {
                ++it;
            }
        }
        Finished.clear();
    }

    void acceptLoop()
    {
        for (;;) {
            pollfd fds[2] = {{ListenFd, POLLIN, 0}, {WakeRead, POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0)
                continue;
            if (fds[1].revents & POLLIN)
                return;
            if (!(fds[0].revents & POLLIN))
                continue;
            const int fd = ::accept(ListenFd, nullptr, nullptr);
            if (fd < 0)
                continue;
            std::lock_guard<std::mutex> lock(Mutex);
            if (Stopping) {
                ::close(fd);
                return;
            }
            joinFinished();
            ++OpenConnections;
            Connections.emplace_back([this, fd] { serve(fd); });
        }
    }
};

TTestHttpServer::TTestHttpServer() : d(std::make_unique<TPrivate>()) {}

TTestHttpServer::~TTestHttpServer()
{
    stop();
}

bool TTestHttpServer::start()
{
    if (d->ListenFd >= 0)
        return true;
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0)
        return false;
    d->WakeRead = pipeFds[0];
    d->WakeWrite = pipeFds[1];
    d->ListenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (d->ListenFd < 0)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(d->ListenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(d->ListenFd, 64) != 0 ||
        ::getsockname(d->ListenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(d->ListenFd);
        d->ListenFd = -1;
        return false;
    }
    d->Port = ntohs(address.sin_port);
    d->Stopping = false;
    d->Acceptor = std::thread([this] { d->acceptLoop(); });
    return true;
}

void TTestHttpServer::stop()
{
    if (d->ListenFd < 0)
        return;
    {
        std::lock_guard<std::mutex> lock(d->Mutex);
        d->Stopping = true;
    }
    d->Changed.notify_all();
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(d->WakeWrite, &byte, 1);
    d->Acceptor.join();
    std::vector<std::thread> connections;
    {
        std::lock_guard<std::mutex> lock(d->Mutex);
        connections.swap(d->Connections);
    }
    for (std::thread& connection : connections)
        connection.join();
    ::close(d->ListenFd);
    ::close(d->WakeRead);
    ::close(d->WakeWrite);
    d->ListenFd = d->WakeRead = d->WakeWrite = -1;
}

quint16 TTestHttpServer::port() const
{
    return d->Port;
}

QString TTestHttpServer::url(const QString& path) const
{
    const QString slash = path.startsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/");
    return QStringLiteral("127.0.0.1:%1").arg(d->Port) + slash + path;
}

void TTestHttpServer::route(const QString& path, const TScriptedResponse& response)
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    d->Routes.insert(path.toUtf8(), response);
}

void TTestHttpServer::clearRoutes()
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    d->Routes.clear();
}

int TTestHttpServer::requestCount() const
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    return static_cast<int>(d->Requests.size());
}

int TTestHttpServer::notModifiedCount() const
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    return d->NotModified;
}

int TTestHttpServer::requestCount(const QString& path) const
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    const QByteArray wanted = path.toUtf8();
    int count = 0;
    for (const TRecordedRequest& request : d->Requests)
        count += pathPart(request.Target) == wanted ? 1 : 0;
    return count;
}

QList<TRecordedRequest> TTestHttpServer::requests() const
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    return d->Requests;
}

TRecordedRequest TTestHttpServer::lastRequest() const
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    return d->Requests.isEmpty() ? TRecordedRequest() : d->Requests.constLast();
}

int TTestHttpServer::stalledCount() const
{
    std::lock_guard<std::mutex> lock(d->Mutex);
    return d->Stalled;
}

bool TTestHttpServer::waitForRequests(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->Mutex);
    return d->Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return d->Requests.size() >= count; });
}

bool TTestHttpServer::waitForStalled(int count, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->Mutex);
    return d->Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return d->Stalled >= count; });
}

bool TTestHttpServer::waitForIdle(int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(d->Mutex);
    return d->Changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return d->OpenConnections == 0; });
}
