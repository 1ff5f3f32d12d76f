#pragma once

#include "net/THttpClient.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>

class QEventLoop;
struct THTTPGetLink;

// Downloads one URL at a time on a worker thread (THTTPGetThread), into FileName or into memory
// (ToFile). URL: host and path, optionally after "http://" or "https://"; the host may carry
// ":port". Every event runs on the thread that owns the component while the worker waits for it.
class THTTPGet : public QObject
{
    Q_OBJECT
public:
    explicit THTTPGet(QObject* parent = nullptr);
    ~THTTPGet() override; // stops a running download; nothing is delivered afterwards
    Q_DISABLE_COPY_MOVE(THTTPGet)

    // Published properties (plain members, read on StartDownload as a snapshot).
    QString AcceptTypes = QStringLiteral("*/*");
    QString Agent = QStringLiteral("Tessmark HTTPGet");
    bool BinaryData = false;
    QString URL;
    bool UseCache = false;
    QString FileName;
    // true: the body goes into FileName and ends with OnDoneFile. false: it is kept in memory, no
    // file is made, and it ends with OnDoneString; the size rules and errors are the same.
    bool ToFile = true;
    QString UserName;
    QString Password;
    QString PostQuery;
    QString Referer;
    // Further request header lines, each ended by CRLF ("If-None-Match: \"x\"\r\n"); empty: none.
    QByteArray ExtraHeaders;
    bool WaitThread = false;
    // Largest body accepted, in bytes; 0: no limit. A body that announces more, or grows past it,
    // ends the download with OnError at once; the file then holds at most this many bytes. In
    // memory no more than this (plus one byte to notice a longer body) is ever allocated.
    qint64 MaxBodySize = 0;
    // 0: a progress report after every piece. Above 0: a report is due whenever this many
    // milliseconds have passed since the last one (or the start) and new bytes arrived, also
    // while the server stalls, so the last figure shown is never older than that.
    int ProgressIntervalMs = 0;

    // Events, always run on the thread that owns the component (the UI thread).
    // OnProgress: TotalSize is the announced length in bytes (0: none announced), Readed the
    // bytes received so far; Sender is the worker. A handler set during a download that started
    // without one is called within 64 pieces or 0.1 s, and then as ProgressIntervalMs says.
    // OnDoneFile: FileSize in bytes. OnDoneString: the whole body, handed over (not copied);
    // empty after a 304, which ResponseStatus tells apart from an empty body.
    std::function<void(QObject* Sender, qint32 TotalSize, qint32 Readed)> OnProgress;
    std::function<void(QObject* Sender, const QString& FileName, qint32 FileSize)> OnDoneFile;
    std::function<void(QObject* Sender, QByteArray Result)> OnDoneString;
    std::function<void(QObject* Sender)> OnError;

    // What the final response said, set before the final event runs and kept until the next
    // start: its status code (0: no response), its ETag and Last-Modified header values (empty:
    // none). A 304 has no body: OnDoneFile runs with FileSize 0 and no file is written, or
    // OnDoneString with an empty Result.
    int ResponseStatus = 0;
    QByteArray ResponseETag;
    QByteArray ResponseLastModified;

    // Ignored while Busy(). With WaitThread it returns once the final event has run, dispatching
    // the thread's events meanwhile (also when the component is destroyed during the wait).
    void StartDownload();
    // Asks the running download to end; it ends with OnError. Returns at once; may be called
    // from inside OnProgress. Stalled network waits notice it within a fraction of a second.
    void StopDownload();
    bool Busy() const; // a worker is attached

    // How long the end of the application's event loop waits for the download threads it stops:
    // a stalled read ends within the client's stop latency (tens of milliseconds).
    static constexpr std::chrono::milliseconds ShutdownBound{2000};

    // Makes the HTTP client of each later download; empty (the default) means libcurl. Tests
    // use it to trust their own certificate or to script the client.
    void setClientFactory(THttpClientFactory factory) { m_clientFactory = std::move(factory); }

private:
    friend class THTTPGetThread;
    void detachWorker();

    std::shared_ptr<THTTPGetLink> m_link;
    THttpClientFactory m_clientFactory;
    QEventLoop* m_waitLoop = nullptr;
};
