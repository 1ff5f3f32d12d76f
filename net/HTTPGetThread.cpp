#include "net/HTTPGetThread.h"

#include "net/HTTPGet.h"
#include "net/TCurlHttpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QPointer>
#include <QtGlobal>

#include <algorithm>
#include <limits>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_liveWorkers{0};

// Every worker thread, so that shutdown can wait for them: a thread that outlives main() would
// run on while the process tears down the libraries it uses.
struct TWorkerThreads
{
    struct TEntry
    {
        std::thread Thread;
        std::weak_ptr<THTTPGetLink> Link;
        QPointer<QObject> Worker;
    };

    std::mutex Mutex;
    std::condition_variable Changed;
    std::vector<TEntry> Entries;
    std::vector<std::thread::id> Finished;

    // With Mutex held: joins the threads that have returned (they only had their return left).
    void joinFinished()
    {
        for (auto it = Entries.begin(); it != Entries.end();) {
            if (std::find(Finished.begin(), Finished.end(), it->Thread.get_id()) != Finished.end()) {
                Finished.erase(std::find(Finished.begin(), Finished.end(), it->Thread.get_id()));
                it->Thread.join();
                it = Entries.erase(it);
            } else {
                ++it;
            }
        }
    }

    // Owner's thread: joins the thread of worker, which has only its return left to do.
    void join(const QObject* worker)
    {
        std::thread thread;
        {
            std::lock_guard<std::mutex> lock(Mutex);
            const auto entry = std::find_if(Entries.begin(), Entries.end(),
                                            [worker](const TEntry& e) { return e.Worker == worker; });
            if (entry == Entries.end())
                return;
            thread = std::move(entry->Thread);
            Entries.erase(entry);
        }
        const std::thread::id id = thread.get_id();
        thread.join();
        std::lock_guard<std::mutex> lock(Mutex);
        Finished.erase(std::remove(Finished.begin(), Finished.end(), id), Finished.end());
    }

    void finished()
    {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Finished.push_back(std::this_thread::get_id());
        }
        Changed.notify_all();
    }
};

TWorkerThreads& workerThreads()
{
    // Never destroyed: a thread left behind by stopAll may still report its end at exit.
    static auto* threads = new TWorkerThreads;
    return *threads;
}

constexpr qint64 ProbeIntervalMs = 100;
constexpr int ProbePieces = 64;

bool isDecimal(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char ch : text) {
        if (ch < '0' || ch > '9')
            return false;
    }
    return true;
}

} // namespace

void THTTPGetLink::detach()
{
    std::lock_guard<std::mutex> lock(Mutex);
    Detached = true;
    Owner = nullptr;
    Changed.notify_all();
}

THTTPGetThread::THTTPGetThread(std::shared_ptr<THTTPGetLink> link, THTTPGetSnapshot snapshot,
                               THttpClientFactory factory)
    : m_link(std::move(link)), m_snapshot(std::move(snapshot)), m_factory(std::move(factory))
{
    ++g_liveWorkers;
    // Queued: the worker thread emits, the owner's thread runs the slot.
    connect(this, &THTTPGetThread::handOver, this, &THTTPGetThread::takeOver, Qt::QueuedConnection);
    connect(this, &THTTPGetThread::ended, this, &THTTPGetThread::reap, Qt::QueuedConnection);
}

THTTPGetThread::~THTTPGetThread()
{
    --g_liveWorkers;
}

void THTTPGetThread::start()
{
    try {
        TWorkerThreads& threads = workerThreads();
        std::lock_guard<std::mutex> lock(threads.Mutex);
        threads.joinFinished();
        // The thread reports its return under the same lock, so it is listed before that.
        threads.Entries.push_back({std::thread([this, &threads] {
                                       run();
                                       // Only what outlives this object from here on.
                                       threads.finished();
                                   }),
                                   m_link, this});
    } catch (const std::system_error&) {
        // No thread to be had: the download fails at once, reported like any other failure.
        QMetaObject::invokeMethod(
            this,
            [this] {
                const std::shared_ptr<THTTPGetLink> link = m_link;
                deleteLater();
                if (THTTPGet* owner = link->Owner) {
                    if (const auto handler = owner->OnError)
                        handler(owner);
                    if (link->Owner)
                        link->Owner->detachWorker();
                }
            },
            Qt::QueuedConnection);
    }
}

int THTTPGetThread::liveCount()
{
    return g_liveWorkers.load();
}

int THTTPGetThread::runningThreads()
{
    TWorkerThreads& threads = workerThreads();
    std::lock_guard<std::mutex> lock(threads.Mutex);
    return static_cast<int>(threads.Entries.size() - threads.Finished.size());
}

void THTTPGetThread::stopAll(std::chrono::milliseconds bound)
{
    TWorkerThreads& threads = workerThreads();
    std::vector<TWorkerThreads::TEntry> entries;
    {
        std::unique_lock<std::mutex> lock(threads.Mutex);
        for (TWorkerThreads::TEntry& entry : threads.Entries) {
            if (const std::shared_ptr<THTTPGetLink> link = entry.Link.lock()) {
                link->Stop.store(true, std::memory_order_release);
                // A worker waiting for an event to run here would wait for ever.
                link->detach();
            }
        }
        const bool allReturned = threads.Changed.wait_for(
            lock, bound, [&threads] { return threads.Finished.size() == threads.Entries.size(); });
        if (!allReturned)
            qWarning("THTTPGet: a download thread did not stop in time; left running");
        // One still running stays listed, to be joined once it has returned.
        for (auto it = threads.Entries.begin(); it != threads.Entries.end();) {
            const auto done =
                std::find(threads.Finished.begin(), threads.Finished.end(), it->Thread.get_id());
            if (done == threads.Finished.end()) {
                ++it;
                continue;
            }
            threads.Finished.erase(done);
            it->Thread.join();
            entries.push_back(std::move(*it));
            it = threads.Entries.erase(it);
        }
    }
    // The workers' last signals wait in the event queue, which may never run again: deliver them
    // (they find their links detached), then delete the workers rather than wait for the loop.
    for (const TWorkerThreads::TEntry& entry : entries) {
        if (entry.Worker)
            QCoreApplication::sendPostedEvents(entry.Worker);
        delete entry.Worker.data();
    }
}

THttpTarget THTTPGetThread::splitUrl(const QString& url)
{
    THttpTarget target;
    QString rest = url;
    if (rest.startsWith(QLatin1String("http://"), Qt::CaseInsensitive)) {
        rest.remove(0, 7);
    } else if (rest.startsWith(QLatin1String("https://"), Qt::CaseInsensitive)) {
        rest.remove(0, 8);
        target.Secure = true;
        target.Port = 443;
    }
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    if (slash < 0) {
        target.Path = rest;
        return target;
    }
    target.Host = rest.left(slash);
    target.Path = rest.mid(slash);

    // A port follows the last ":" when one or more digits follow it; in "[::1]" the colons
    // belong to the address. A port that cannot exist leaves nothing to connect to.
    const qsizetype colon = target.Host.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return target;
    const QString port = target.Host.mid(colon + 1);
    bool digits = !port.isEmpty();
    for (const QChar ch : port)
        digits = digits && ch >= QLatin1Char('0') && ch <= QLatin1Char('9');
    if (!digits)
        return target;
    target.Host.truncate(colon);
    const uint number = port.size() <= 5 ? port.toUInt() : 0;
    if (number == 0 || number > 65535)
        target.Host.clear();
    else
        target.Port = static_cast<quint16>(number);
    return target;
}

bool THTTPGetThread::stopped() const
{
    return m_link->Stop.load(std::memory_order_acquire);
}

bool THTTPGetThread::deliver(std::function<bool(THTTPGetLink&)> onOwnerThread)
{
    {
        std::lock_guard<std::mutex> lock(m_link->Mutex);
        if (m_link->Detached)
            return false;
        m_link->Pending = std::move(onOwnerThread);
        m_link->Waiting = true;
    }
    wakeOwner(&THTTPGetThread::handOver);
    std::unique_lock<std::mutex> lock(m_link->Mutex);
    m_link->Changed.wait(lock, [this] { return !m_link->Waiting || m_link->Detached; });
    return !m_link->Detached && m_link->AnswerOk;
}

void THTTPGetThread::wakeOwner(void (THTTPGetThread::*signal)())
{
    emit(this->*signal)();
}

void THTTPGetThread::takeOver()
{
    // A handler may destroy the component, and a nested event loop may then delete this worker
    // object: after the call only locals are used.
    const std::shared_ptr<THTTPGetLink> link = m_link;
    std::function<bool(THTTPGetLink&)> call;
    {
        std::lock_guard<std::mutex> lock(link->Mutex);
        if (!link->Waiting || link->Detached || !link->Pending)
            return;
        call = std::move(link->Pending);
        link->Pending = nullptr;
    }
    const bool ok = link->Owner && call(*link);
    std::lock_guard<std::mutex> lock(link->Mutex);
    link->Waiting = false;
    link->AnswerOk = ok;
    link->Changed.notify_all();
}

void THTTPGetThread::run()
{
    qint32 fileSize = 0;
    bool success = false;
    {
        std::unique_ptr<THttpClient> client = m_factory ? m_factory() : std::make_unique<TCurlHttpClient>();
        if (client) {
            client->setStopFlag(&m_link->Stop);
            success = download(*client, fileSize);
            client->close();
        }
    }
    // A stop that came before the end is always a failure, even when the last byte was in.
    success = success && !stopped();

    const QString fileName = m_snapshot.FileName;
    const bool toFile = m_snapshot.ToFile;
    // A failed download's bytes are of no use to anyone: freed now rather than after the delivery.
    QByteArray body = success ? std::move(m_body) : QByteArray();
    m_body = QByteArray();
    deliver([success, toFile, fileName, fileSize, response = m_response,
             body = std::move(body)](THTTPGetLink& link) mutable {
        THTTPGet* owner = link.Owner;
        owner->ResponseStatus = response.Status;
        owner->ResponseETag = response.ETag;
        owner->ResponseLastModified = response.LastModified;
        try {
            if (success && toFile) {
                if (const auto handler = owner->OnDoneFile)
                    handler(owner, fileName, fileSize);
            } else if (success) {
                if (const auto handler = owner->OnDoneString)
                    handler(owner, std::move(body));
            } else {
                if (const auto handler = owner->OnError)
                    handler(owner);
            }
        } catch (...) {
            qWarning("THTTPGet: an end-of-download handler threw; ignored");
        }
        // A handler may have destroyed the component, which detached the link already.
        if (link.Owner)
            link.Owner->detachWorker();
        return true;
    });

    // From the signal on, the object may go at any moment: only locals are used.
    const std::shared_ptr<THTTPGetLink> link = m_link;
    wakeOwner(&THTTPGetThread::ended);
    {
        std::lock_guard<std::mutex> lock(link->Mutex);
        link->WorkerDone = true;
    }
    link->Changed.notify_all();
}

void THTTPGetThread::reap()
{
    // The worker thread marks itself done right after its last signal; waiting for that mark
    // (microseconds) orders this deletion after everything the worker thread did.
    {
        std::unique_lock<std::mutex> lock(m_link->Mutex);
        m_link->Changed.wait(lock, [this] { return m_link->WorkerDone; });
    }
    workerThreads().join(this);
    deleteLater();
}

bool THTTPGetThread::download(THttpClient& client, qint32& fileSize)
{
    const THttpTarget target = splitUrl(m_snapshot.URL);
    if (stopped())
        return false;

    const bool post = !m_snapshot.PostQuery.isEmpty();
    client.open(m_snapshot.Agent.toUtf8());
    client.connect(target.Host.toUtf8(), target.Port, target.Secure, m_snapshot.UserName.toUtf8(),
                   m_snapshot.Password.toUtf8());
    client.openRequest(post ? "POST" : "GET", target.Path.toUtf8(), "HTTP/1.0", m_snapshot.Referer.toUtf8(),
                       m_snapshot.AcceptTypes.toUtf8(), !m_snapshot.UseCache);
    if (post)
        client.send("Content-Type: application/x-www-form-urlencoded\r\n" + m_snapshot.ExtraHeaders,
                    m_snapshot.PostQuery.toUtf8());
    else
        client.send(m_snapshot.ExtraHeaders, QByteArray());
    if (stopped())
        return false;

    QByteArray lengthText;
    const bool hasLength = client.queryContentLength(lengthText);
    if (stopped())
        return false;
    m_response.Status = client.statusCode();
    m_response.ETag = client.queryHeader("ETag");
    m_response.LastModified = client.queryHeader("Last-Modified");
    // Not modified: there is no body, and the owner keeps what it has; a Content-Length here
    // describes the picture the owner already holds.
    if (m_response.Status == 304) {
        fileSize = 0;
        return true;
    }
    if (!hasLength && m_snapshot.BinaryData)
        return false;
    fileSize = 0;
    const qint64 maxBody = m_snapshot.MaxBodySize;
    if (hasLength) {
        // A length beyond the 32-bit counters could never be matched; it fails like junk does.
        bool parsed = false;
        const qint64 length = isDecimal(lengthText) ? lengthText.toLongLong(&parsed) : -1;
        if (!parsed || length > std::numeric_limits<qint32>::max())
            return false;
        // Announced beyond the limit: not a byte of it would be used.
        if (maxBody > 0 && length > maxBody)
            return false;
        fileSize = static_cast<qint32>(length);
    }

    const bool toFile = m_snapshot.ToFile;
    QFile file;
    // The most a body in memory may take: one byte past the limit shows that a body is too long.
    const qint64 bodyLimit = maxBody > 0 ? maxBody + 1 : qint64(std::numeric_limits<qint32>::max());
    if (toFile) {
        // Unbuffered: every piece (up to a block) goes to the file in one write as it arrives;
        // nothing piles up in memory. Only the user may read what a camera sent.
        file.setFileName(m_snapshot.FileName);
        if (m_snapshot.FileName.isEmpty() ||
            !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                       QFileDevice::ReadOwner | QFileDevice::WriteOwner))
            return false;
    } else if (hasLength) {
        // Room for the announced body and the one byte that would show it is longer: a body that
        // keeps its word is never moved. Without a limit an announcement is not trusted that far.
        constexpr qint64 UnlimitedReserve = 16 * 1024 * 1024;
        const qint64 reserve = std::min(qint64(fileSize) + 1, maxBody > 0 ? bodyLimit : UnlimitedReserve);
        try {
            m_body.reserve(static_cast<qsizetype>(reserve));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }

    const int interval = m_snapshot.ProgressIntervalMs;
    qint32 total = 0;
    qint32 reported = 0;
    QByteArray block;
    if (toFile)
        block.resize(THttpClient::ChunkSize);
    QElapsedTimer sinceReport;
    sinceReport.start();
    int unreported = 0;
    for (;;) {
        if (stopped())
            return false;
        if (interval > 0 && total > reported) {
            // New bytes wait to be reported: wait for more only until the report is due, so a
            // stalled server still gets its last figure shown.
            const qint64 left = interval - sinceReport.elapsed();
            if (left <= 0) {
                if (!reportProgress(fileSize, total))
                    return false;
                reported = total;
                sinceReport.restart();
                continue;
            }
            if (!client.waitForBody(static_cast<int>(left)))
                continue;
        }
        // In memory the piece goes straight to the end of the body, without a copy.
        char* into = block.data();
        qint32 room = THttpClient::ChunkSize;
        if (!toFile && !bodyRoom(bodyLimit, hasLength ? 1 : THttpClient::ChunkSize, into, room))
            return false;
        qint32 count = 0;
        const bool read = client.read(into, room, count);
        if (!toFile)
            m_body.resize(qsizetype(total) + std::clamp(count, 0, room));
        if (!read || count <= 0)
            break;
        if (count > std::numeric_limits<qint32>::max() - total)
            return false;
        // An endless body (or one inflated by the client) ends here, before the piece is written.
        if (maxBody > 0 && qint64(total) + count > maxBody)
            return false;
        if (toFile && file.write(into, count) != count)
            return false;
        total += count;
        if (interval > 0)
            continue;
        // Without a progress handler a report would be a thread round trip for nothing; a handler
        // set in the middle of such a download is still found by a probe every few pieces.
        if (!m_link->ProgressWanted.load(std::memory_order_acquire) && ++unreported < ProbePieces &&
            sinceReport.elapsed() < ProbeIntervalMs)
            continue;
        unreported = 0;
        sinceReport.restart();
        if (!reportProgress(fileSize, total))
            return false;
    }
    if (fileSize == 0)
        fileSize = total;
    return fileSize == total;
}

bool THTTPGetThread::bodyRoom(qint64 limit, qint32 wanted, char*& into, qint32& room)
{
    const qsizetype size = m_body.size();
    try {
        if (m_body.capacity() - size < wanted && m_body.capacity() < limit) {
            // Doubled, so that a body of unknown length is moved only a few times.
            const qint64 grown =
                std::min(std::max(2 * qint64(size), qint64(size) + THttpClient::ChunkSize), limit);
            m_body.reserve(static_cast<qsizetype>(grown));
        }
        room = static_cast<qint32>(std::min<qsizetype>(THttpClient::ChunkSize, m_body.capacity() - size));
        if (room <= 0)
            return false;
        // Within the capacity: the new bytes are neither moved nor cleared.
        m_body.resize(size + room);
    } catch (const std::bad_alloc&) {
        return false;
    }
    into = m_body.data() + size;
    return true;
}

bool THTTPGetThread::reportProgress(qint32 fileSize, qint32 total)
{
    return deliver([sender = static_cast<QObject*>(this), fileSize, total](THTTPGetLink& link) {
        try {
            if (const auto handler = link.Owner->OnProgress)
                handler(sender, fileSize, total);
        } catch (...) {
            return false;
        }
        if (link.Owner)
            link.ProgressWanted.store(bool(link.Owner->OnProgress), std::memory_order_release);
        return true;
    });
}
