#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <utility>

// What the server answers to one request path.
struct TScriptedResponse
{
    enum class TAuth
    {
        None,
        Basic,
        Digest
    };

    int Status = 200;
    QByteArray Reason = "OK";
    // Sent as given, after Content-Length and before "Connection: close".
    QList<std::pair<QByteArray, QByteArray>> Headers;
    QByteArray Body;

    // false: no Content-Length header; the end of the body is the end of the connection.
    bool SendContentLength = true;
    // The Content-Length to announce; -1: the body's size. A bigger value makes a short body.
    qint64 AnnouncedLength = -1;
    // >= 0: after this many body bytes nothing more is sent; the connection is held open until
    // the client leaves or the server stops.
    qint64 StallAfter = -1;
    // > 0: the body goes out in pieces of DripBytes with DripDelayMs before each piece.
    int DripBytes = 0;
    int DripDelayMs = 0;
    // The connection is closed as soon as the request has been read, without any answer.
    bool CloseAtOnce = false;

    // Validators sent with the body (empty: that header is not sent). A request whose
    // If-None-Match equals ETag, or without If-None-Match whose If-Modified-Since equals
    // LastModified, is answered "304 Not Modified" without a body, as web servers do.
    QByteArray ETag;
    QByteArray LastModified;
    // Every request gets 304, validators or not (a broken camera).
    bool AlwaysNotModified = false;

    // Requests without these credentials get 401 with a challenge of this scheme and
    // ChallengeBody as body; Digest uses qop "auth" and MD5.
    TAuth Auth = TAuth::None;
    QByteArray AuthUser;
    QByteArray AuthPassword;
    QByteArray Realm = "vrel-test";
    QByteArray ChallengeBody = "<html>401 Authorization Required</html>";

    static TScriptedResponse ok(const QByteArray& body,
                                const QByteArray& contentType = "application/octet-stream");
    // status 301, 302, 303, 307 or 308.
    static TScriptedResponse redirect(const QByteArray& location, int status = 302);
};

// One request as the server received it.
struct TRecordedRequest
{
    QByteArray Method;
    QByteArray Target; // as on the request line: path and query
    QByteArray Version;
    QByteArray Head; // request line and headers, CRLFs included, without the blank line
    QList<std::pair<QByteArray, QByteArray>> Headers;
    QByteArray Body;

    // Value of the first header of that name (any case); empty when absent.
    QByteArray header(const QByteArray& name) const;
    bool hasHeader(const QByteArray& name) const;
};

// A scriptable HTTP/1.x server on 127.0.0.1 for tests: runs on its own threads (one per
// connection), so a test's thread can run an event loop while the server answers. Every
// response closes its connection. Paths without a route get 404. All members are thread-safe.
class TTestHttpServer
{
public:
    TTestHttpServer();
    ~TTestHttpServer(); // stops
    TTestHttpServer(const TTestHttpServer&) = delete;
    TTestHttpServer& operator=(const TTestHttpServer&) = delete;

    // Listens on a free port of 127.0.0.1. False when no socket could be opened.
    bool start();
    // Closes every connection (stalled ones too) and joins the threads.
    void stop();

    quint16 port() const;
    // "127.0.0.1:<port>" + path, without a scheme; a missing leading "/" is added.
    QString url(const QString& path) const;

    // path: exact request target ("/a.jpg?x=1") or its path part ("/a.jpg"); the exact match wins.
    void route(const QString& path, const TScriptedResponse& response);
    void clearRoutes();

    int requestCount() const;
    int requestCount(const QString& path) const; // counts requests whose path part equals path
    int notModifiedCount() const;                // requests answered with 304
    QList<TRecordedRequest> requests() const;
    TRecordedRequest lastRequest() const;
    // Connections that are now held open by a StallAfter rule.
    int stalledCount() const;

    // Wait (without busy looping) until the conditions hold; false on time-out.
    bool waitForRequests(int count, int timeoutMs = 10000) const;
    bool waitForStalled(int count, int timeoutMs = 10000) const;
    // Waits until no connection is open any more (every client has gone).
    bool waitForIdle(int timeoutMs = 10000) const;

private:
    struct TPrivate;
    std::unique_ptr<TPrivate> d;
};
