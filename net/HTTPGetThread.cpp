#include "net/HTTPGetThread.h"

#include "net/HTTPGet.h"
#include "net/TCurlHttpClient.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMetaObject>
#include <QtGlobal>

#include <limits>
#include <system_error>
#include <thread>

namespace {

std::atomic<int> g_liveWorkers{0};

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
        std::thread([this] { run(); }).detach();
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
    emit handOver();
    std::unique_lock<std::mutex> lock(m_link->Mutex);
    m_link->Changed.wait(lock, [this] { return !m_link->Waiting || m_link->Detached; });
    return !m_link->Detached && m_link->AnswerOk;
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
    deliver([success, fileName, fileSize](THTTPGetLink& link) {
        THTTPGet* owner = link.Owner;
        try {
            if (success) {
                if (const auto handler = owner->OnDoneFile)
                    handler(owner, fileName, fileSize);
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
    emit ended();
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
        client.send("Content-Type: application/x-www-form-urlencoded\r\n", m_snapshot.PostQuery.toUtf8());
    else
        client.send(QByteArray(), QByteArray());
    if (stopped())
        return false;

    QByteArray lengthText;
    const bool hasLength = client.queryContentLength(lengthText);
    if (stopped())
        return false;
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

    QFile file(m_snapshot.FileName);
    // Unbuffered: every chunk goes to the file as it arrives, nothing piles up in memory. Only the
    // user may read what a camera sent.
    if (m_snapshot.FileName.isEmpty() ||
        !file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;

    const int interval = m_snapshot.ProgressIntervalMs;
    qint32 total = 0;
    qint32 reported = 0;
    char buffer[THttpClient::ChunkSize];
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
        qint32 count = 0;
        if (!client.read(buffer, THttpClient::ChunkSize, count) || count <= 0)
            break;
        if (count > std::numeric_limits<qint32>::max() - total)
            return false;
        // An endless body (or one inflated by the client) ends here, before the piece is written.
        if (maxBody > 0 && qint64(total) + count > maxBody)
            return false;
        if (file.write(buffer, count) != count)
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
