#pragma once

#include "net/THttpClient.h"

#include <QMutex>
#include <QString>
#include <QThread>
#include <QWaitCondition>

#include <atomic>
#include <functional>
#include <memory>

class THTTPGet;

// What a component and its worker share. Owner is read and written on the owner's thread only;
// the stop flag is atomic; the rest is guarded by Mutex.
struct THTTPGetLink
{
    std::atomic<bool> Stop{false};
    THTTPGet* Owner = nullptr;

    QMutex Mutex;
    QWaitCondition Answered;
    bool Detached = false;
    quint64 Posted = 0;
    quint64 AnsweredTicket = 0;
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
    bool BinaryData = false;
    bool UseCache = false;
};

// Where a URL points: the host keeps its case; an empty host means there is nothing to connect to.
struct THttpTarget
{
    QString Host;
    quint16 Port = 80;
    bool Secure = false;
    QString Path;
};

// One download on its own thread. The object lives on the owner's thread, runs its events
// there while the worker waits, and deletes itself once its work has ended.
class THTTPGetThread : public QThread
{
    Q_OBJECT
public:
    THTTPGetThread(std::shared_ptr<THTTPGetLink> link, THTTPGetSnapshot snapshot, THttpClientFactory factory);
    ~THTTPGetThread() override;
    Q_DISABLE_COPY_MOVE(THTTPGetThread)

    // "http://" and "https://" (any case) are taken off; the host runs to the first "/" and may
    // end in ":port"; without a "/" the host is empty and the whole text is the path.
    static THttpTarget splitUrl(const QString& url);

    // Workers that exist now, in any process thread (they release themselves when done).
    static int liveCount();

    // The largest piece read from the server at once; one progress report follows each piece.
    static constexpr qint32 ChunkSize = 1025;

protected:
    void run() override;

private:
    bool download(THttpClient& client, qint32& fileSize);
    bool stopped() const;
    // Runs onOwnerThread on the owner's thread and waits for it; false when the component has
    // gone (nothing ran) or the handler failed.
    bool deliver(std::function<bool()> onOwnerThread);

    std::shared_ptr<THTTPGetLink> m_link;
    const THTTPGetSnapshot m_snapshot;
    THttpClientFactory m_factory;
};
