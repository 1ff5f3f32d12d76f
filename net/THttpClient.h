#pragma once

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>

// The seven operations the download worker needs from an HTTP client, one request per client
// object. Used by one worker thread at a time; only the stop flag is read across threads.
class THttpClient
{
public:
    virtual ~THttpClient() = default;

    // The flag the worker raises to stop: once it is set, a blocking send() or read() returns
    // failure promptly (well under 200 ms) instead of waiting for the server.
    virtual void setStopFlag(const std::atomic<bool>* stop) = 0;

    // agent: the User-Agent to send; empty sends none. Proxy settings come from the system.
    virtual bool open(const QByteArray& agent) = 0;
    // host as given (case kept); port 1..65535; secure: TLS with certificate verification.
    // Empty user name and password: no credentials are offered.
    virtual bool connect(const QByteArray& host, quint16 port, bool secure, const QByteArray& userName,
                         const QByteArray& password) = 0;
    // verb "GET" or "POST"; path from the first "/" on, query included; empty referer and
    // acceptTypes send no such header; reload keeps every cache out of the way.
    virtual bool openRequest(const QByteArray& verb, const QByteArray& path, const QByteArray& version,
                             const QByteArray& referer, const QByteArray& acceptTypes, bool reload) = 0;
    // headers: extra header lines, each ended by CRLF. Returns whether a response arrived.
    virtual bool send(const QByteArray& headers, const QByteArray& body) = 0;
    // True with the decimal text of the final response's Content-Length header; false when it
    // has none or no response arrived.
    virtual bool queryContentLength(QByteArray& text) = 0;
    // Up to size body bytes into buffer. False on error (also on a stop or a stalled server);
    // true with count 0 at the end of the body.
    virtual bool read(char* buffer, qint32 size, qint32& count) = 0;
    // The largest piece read from the server at once (libcurl's receive buffer); one progress
    // report follows each piece.
    static constexpr qint32 ChunkSize = 1025;
    // Waits at most ms milliseconds until read() has bytes to hand out or the body has ended (or
    // failed); false when the time ran out first. A client that cannot tell answers true at once,
    // and its read() then waits as before.
    virtual bool waitForBody(int ms)
    {
        (void)ms;
        return true;
    }
    // Releases the request, the connection and the session, in that order.
    virtual void close() = 0;
};

// Makes the client for one download; called on the thread that starts the download.
using THttpClientFactory = std::function<std::unique_ptr<THttpClient>()>;
