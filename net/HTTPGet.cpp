#include "net/HTTPGet.h"

#include "net/HTTPGetThread.h"
#include "net/TCurlHttpClient.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

#include <mutex>

THTTPGet::THTTPGet(QObject* parent) : QObject(parent)
{
    // libcurl is loaded with the first download component rather than at program start, and a
    // missing one is reported now rather than by the first download.
    TCurlHttpClient::globalInit();
    // When the event loop ends, no download thread may outlive it: the process would tear down
    // the libraries under it.
    // A program that never runs its loop (a test) is covered when the application goes.
    static std::once_flag hooked;
    if (QCoreApplication* app = QCoreApplication::instance()) {
        std::call_once(hooked, [app] {
            QObject::connect(app, &QCoreApplication::aboutToQuit, app,
                             [] { THTTPGetThread::stopAll(THTTPGet::ShutdownBound); });
            qAddPostRoutine([] { THTTPGetThread::stopAll(THTTPGet::ShutdownBound); });
        });
    }
}

THTTPGet::~THTTPGet()
{
    if (m_link) {
        m_link->Stop.store(true, std::memory_order_release);
        m_link->detach();
    }
    if (m_waitLoop)
        m_waitLoop->quit();
}

void THTTPGet::StartDownload()
{
    if (m_link)
        return;

    THTTPGetSnapshot snapshot;
    snapshot.AcceptTypes = AcceptTypes;
    snapshot.Agent = Agent;
    snapshot.URL = URL;
    snapshot.FileName = FileName;
    snapshot.UserName = UserName;
    snapshot.Password = Password;
    snapshot.PostQuery = PostQuery;
    snapshot.Referer = Referer;
    snapshot.ExtraHeaders = ExtraHeaders;
    snapshot.BinaryData = BinaryData;
    snapshot.UseCache = UseCache;
    snapshot.ToFile = ToFile;
    snapshot.MaxBodySize = MaxBodySize;
    snapshot.ProgressIntervalMs = ProgressIntervalMs;

    ResponseStatus = 0;
    ResponseETag.clear();
    ResponseLastModified.clear();

    auto link = std::make_shared<THTTPGetLink>();
    link->Owner = this;
    link->ProgressWanted.store(bool(OnProgress));
    auto* worker = new THTTPGetThread(link, std::move(snapshot), m_clientFactory);
    m_link = std::move(link);
    worker->start();

    if (!WaitThread)
        return;
    QPointer<THTTPGet> self(this);
    QEventLoop loop;
    m_waitLoop = &loop;
    loop.exec();
    if (self)
        m_waitLoop = nullptr;
}

void THTTPGet::StopDownload()
{
    if (m_link)
        m_link->Stop.store(true, std::memory_order_release);
}

bool THTTPGet::Busy() const
{
    return m_link != nullptr;
}

void THTTPGet::detachWorker()
{
    m_link->detach();
    m_link.reset();
    if (m_waitLoop)
        m_waitLoop->quit();
}
