#pragma once

#include "net/THttpClient.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class THTTPGet;

// What a component and its worker share. Owner is read and written on the owner's thread only;
// the stop flag is atomic; the rest is guarded by Mutex. (Standard primitives rather than Qt's,
// so that ThreadSanitizer sees every hand-over.)
struct THTTPGetLink
{
    std::atomic<bool> Stop{false};
    // Whether the owner had a progress handler at the start or at the last report.
    std::atomic<bool> ProgressWanted{false};
    THTTPGet* Owner = nullptr;

    std::mutex Mutex;
    std::condition_variable Changed; // a call answered, the worker done, or the link detached
    bool Detached = false;
    bool WorkerDone = false;
    std::function<bool(THTTPGetLink&)> Pending; // the call the worker waits for
    bool Waiting = false;
    bool AnswerOk = false;

    // Owner's thread: nothing more reaches the owner, and a worker waiting for an answer goes on.
    void detach();
};

// The properties a download works with, taken when it starts and never re-read.
struct THTTPGetSnapshot
{
    QString AcceptTypes;
    QString Agent;
    QString URL;
    QString FileName;
    QString UserName;
    QString Password;
    QString PostQuery;
    QString Referer;
    QByteArray ExtraHeaders;
    bool BinaryData = false;
    bool UseCache = false;
    bool ToFile = true;
    qint64 MaxBodySize = 0;
    int ProgressIntervalMs = 0;
};

// Where a URL points: the host keeps its case; an empty host means there is nothing to connect to.
struct THttpTarget
{
    QString Host;
    quint16 Port = 80;
    bool Secure = false;
    QString Path;
};

// What the final response said; the worker's own until it hands it over with the end.
struct THttpResponseInfo
{
    int Status = 0;
    QByteArray ETag;
    QByteArray LastModified;
};

// One download on a thread of its own. The object lives on the owner's thread, runs the events
// there while the worker thread waits, and deletes itself once the worker thread is done.
class THTTPGetThread : public QObject
{
    Q_OBJECT
public:
    THTTPGetThread(std::shared_ptr<THTTPGetLink> link, THTTPGetSnapshot snapshot, THttpClientFactory factory);
    ~THTTPGetThread() override;
    Q_DISABLE_COPY_MOVE(THTTPGetThread)

    // Owner's thread, once: starts the worker thread.
    void start();

    // "http://" and "https://" (any case) are taken off; the host runs to the first "/" and may
    // end in ":port"; without a "/" the host is empty and the whole text is the path.
    static THttpTarget splitUrl(const QString& url);

    // Workers that exist now, in any process thread (they release themselves when done).
    static int liveCount();
    // Worker threads that have not yet returned.
    static int runningThreads();
    // Owner's thread, at shutdown: stops every worker, lets none of them wait for the owner's
    // thread any more, joins their threads and deletes the workers. Waits at most bound; a
    // thread still running then (a client that ignores its stop flag) is left running with a
    // warning and joined once it has returned. Downloads started afterwards are stopped likewise
    // by the next call.
    static void stopAll(std::chrono::milliseconds bound);

Q_SIGNALS:
    void handOver(); // worker thread: Pending is ready
    void ended();    // worker thread, its last signal: the object may go

private:
    // Worker thread: emits handOver or ended, nothing else. Qt's posted-event queue carries the
    // signal across under a mutex of Qt's own, which ThreadSanitizer cannot see in an
    // uninstrumented Qt; tests/net/tsan.supp names this function to silence exactly that.
    [[gnu::noinline]] void wakeOwner(void (THTTPGetThread::*signal)());
    void run();
    void takeOver();
    void reap();
    bool download(THttpClient& client, qint32& fileSize);
    // Memory mode: room for the next piece at the end of m_body. The body grows when less than
    // wanted bytes are free, but never beyond limit bytes; false when it is full at the limit or
    // there is no memory. A piece the client hands out then fits as a whole, so progress reports
    // follow the client's pieces as they do in file mode.
    bool bodyRoom(qint64 limit, qint32 wanted, char*& into, qint32& room);
    bool stopped() const;
    // False when the download must end (the component has gone or the handler failed).
    bool reportProgress(qint32 fileSize, qint32 total);
    // Runs onOwnerThread on the owner's thread and waits for it; false when the component has
    // gone (nothing ran) or the handler failed.
    bool deliver(std::function<bool(THTTPGetLink&)> onOwnerThread);

    std::shared_ptr<THTTPGetLink> m_link;
    const THTTPGetSnapshot m_snapshot;
    THttpClientFactory m_factory;
    THttpResponseInfo m_response;
    QByteArray m_body; // memory mode: what arrived so far; handed over with the end
};
