#include "net/HTTPGet.h"
#include "net/TCurlHttpClient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/TNginxServer.h"
#include "tests/support/TTestHttpServer.h"

#include <curl/curl.h>

namespace {

constexpr int Rounds = 40;

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Resident memory of this process in KiB.
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

size_t writeToFile(char* data, size_t size, size_t count, void* file)
{
    return std::fwrite(data, size, count, static_cast<FILE*>(file));
}

// libcurl's easy interface, defaults plus what the component also sets, into a file.
double easyFetchMs(const QString& url, const QString& fileName)
{
    QElapsedTimer timer;
    timer.start();
    FILE* file = std::fopen(fileName.toLocal8Bit().constData(), "wb");
    CURL* easy = curl_easy_init();
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(easy, CURLOPT_URL, address.constData());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &writeToFile);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, file);
    const CURLcode result = curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    std::fclose(file);
    const double ms = timer.nsecsElapsed() / 1e6;
    if (result != CURLE_OK)
        std::printf("easy fetch failed: %s\n", curl_easy_strerror(result));
    return ms;
}

// One download through the component, the event loop running until its end.
double componentFetchMs(THTTPGet& get, const QString& url, const QString& fileName, bool* ok = nullptr)
{
    QElapsedTimer timer;
    timer.start();
    QEventLoop loop;
    bool done = false;
    get.URL = url;
    get.FileName = fileName;
    get.OnDoneFile = [&](QObject*, const QString&, qint32) {
        done = true;
        loop.quit();
    };
    get.OnError = [&](QObject*) { loop.quit(); };
    get.StartDownload();
    loop.exec();
    // The worker is detached right after the final event returns.
    while (get.Busy())
        QCoreApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    if (ok)
        *ok = done;
    if (!done)
        std::printf("component fetch failed\n");
    return ms;
}

// The libcurl client alone, driven like the worker drives it but on this thread, without events.
double adapterFetchMs(const QString& hostAndPath, const QString& fileName)
{
    QElapsedTimer timer;
    timer.start();
    const qsizetype slash = hostAndPath.indexOf(QLatin1Char('/'));
    const QStringList host = hostAndPath.left(slash).split(QLatin1Char(':'));
    TCurlHttpClient client;
    client.open("bench");
    client.connect(host.value(0).toUtf8(), host.value(1).toUShort(), false, {}, {});
    client.openRequest("GET", hostAndPath.mid(slash).toUtf8(), "HTTP/1.0", {}, "*/*", true);
    client.send({}, {});
    QByteArray length;
    client.queryContentLength(length);
    QFile file(fileName);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered);
    char buffer[1025];
    qint32 count = 0;
    while (client.read(buffer, sizeof buffer, count) && count > 0)
        file.write(buffer, count);
    client.close();
    return timer.nsecsElapsed() / 1e6;
}

// The floor under every progress report: one wake-up of another thread and one back.
double threadRoundTripUs()
{
    constexpr int Trips = 200;
    std::vector<double> runs;
    for (int run = 0; run < 20; ++run) {
        std::mutex mutex;
        std::condition_variable changed;
        int turn = 0; // 0: the worker's, 1: the owner's, 2: done
        QElapsedTimer timer;
        timer.start();
        std::thread worker([&] {
            std::unique_lock<std::mutex> lock(mutex);
            for (int i = 0; i < Trips; ++i) {
                turn = 1;
                changed.notify_all();
                changed.wait(lock, [&] { return turn == 0; });
            }
            turn = 2;
            changed.notify_all();
        });
        {
            std::unique_lock<std::mutex> lock(mutex);
            for (;;) {
                changed.wait(lock, [&] { return turn != 0; });
                if (turn == 2)
                    break;
                turn = 0;
                changed.notify_all();
            }
        }
        worker.join();
        runs.push_back(timer.nsecsElapsed() / 1e3 / Trips);
    }
    return median(runs);
}

bool makeFile(const QString& path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(64 * 1024, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 31 + 7);
    for (qint64 written = 0; written < size; written += block.size())
        file.write(block.constData(), std::min<qint64>(block.size(), size - written));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    qputenv("no_proxy", "*");
    curl_global_init(CURL_GLOBAL_DEFAULT);

    const double roundTripBefore = threadRoundTripUs();
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("www"));
    QDir().mkpath(root);
    if (!makeFile(root + "/small.jpg", 200 * 1024) || !makeFile(root + "/big.bin", 100LL * 1024 * 1024)) {
        std::printf("cannot write the served files\n");
        return 1;
    }
    TNginxServer nginx;
    TNginxOptions options;
    options.DocumentRoot = root;
    if (!nginx.start(options)) {
        std::printf("nginx: %s\n", qPrintable(nginx.errorText()));
        return 1;
    }
    const QString small = nginx.url(QStringLiteral("/small.jpg"));
    const QString target = dir.filePath(QStringLiteral("download.gif"));

    // 200 KB: component (with and without a progress handler) against libcurl's easy interface.
    THTTPGet get;
    THTTPGet quiet;
    long reports = 0;
    get.OnProgress = [&](QObject*, qint32, qint32) { ++reports; };
    for (int i = 0; i < 3; ++i) {
        easyFetchMs(QStringLiteral("http://") + small, target);
        componentFetchMs(get, small, target);
    }
    std::vector<double> easy, adapter, component, componentQuiet;
    for (int i = 0; i < Rounds; ++i) {
        easy.push_back(easyFetchMs(QStringLiteral("http://") + small, target));
        adapter.push_back(adapterFetchMs(small, target));
        component.push_back(componentFetchMs(get, small, target));
        componentQuiet.push_back(componentFetchMs(quiet, small, target));
    }
    const double easyMs = median(easy);
    const double componentMs = median(component);
    const double quietMs = median(componentQuiet);
    std::printf("200 KB into a file, median of %d rounds on loopback nginx:\n", Rounds);
    std::printf("  libcurl easy interface          %8.3f ms\n", easyMs);
    const double adapterMs = median(adapter);
    std::printf("  its client alone, 1025-byte reads%8.3f ms  (%.2fx)\n", adapterMs, adapterMs / easyMs);
    std::printf("  THTTPGet with OnProgress        %8.3f ms  (%.2fx, %ld reports per download)\n",
                componentMs, componentMs / easyMs, reports / (Rounds + 3));
    std::printf("  THTTPGet without OnProgress     %8.3f ms  (%.2fx)\n", quietMs, quietMs / easyMs);

    std::printf("  one thread round trip (mutex and condition variable): %.1f us at start, %.1f us now\n",
                roundTripBefore, threadRoundTripUs());

    // 100 MB: resident memory while the body streams through.
    const long before = residentKiB();
    long peak = before;
    long count = 0;
    THTTPGet big;
    big.OnProgress = [&](QObject*, qint32, qint32) {
        if (++count % 256 == 0)
            peak = std::max(peak, residentKiB());
    };
    bool bigOk = false;
    const double bigMs = componentFetchMs(big, nginx.url(QStringLiteral("/big.bin")), target, &bigOk);
    peak = std::max(peak, residentKiB());
    std::printf("100 MB into a file: %s in %.0f ms; resident memory %ld KiB before, peak growth %ld KiB, "
                "%ld progress reports\n",
                bigOk && QFile(target).size() == 100LL * 1024 * 1024 ? "complete" : "FAILED", bigMs, before,
                peak - before, count);
    QFile::remove(target);

    // A stop while the server stalls: time from StopDownload to OnError.
    TTestHttpServer server;
    server.start();
    TScriptedResponse stall = TScriptedResponse::ok(QByteArray(5000, 's'));
    stall.StallAfter = 1000;
    server.route(QStringLiteral("/stall"), stall);
    std::vector<double> stops;
    for (int i = 0; i < 10; ++i) {
        THTTPGet stalled;
        QEventLoop loop;
        QElapsedTimer sinceStop;
        double stopMs = -1;
        stalled.URL = server.url(QStringLiteral("/stall"));
        stalled.FileName = target;
        stalled.OnProgress = [&](QObject*, qint32, qint32 readed) {
            if (readed == 1000)
                QTimer::singleShot(20, &stalled, [&] {
                    sinceStop.start();
                    stalled.StopDownload();
                });
        };
        stalled.OnError = [&](QObject*) {
            stopMs = sinceStop.nsecsElapsed() / 1e6;
            loop.quit();
        };
        stalled.OnDoneFile = [&](QObject*, const QString&, qint32) { loop.quit(); };
        stalled.StartDownload();
        loop.exec();
        while (stalled.Busy())
            QCoreApplication::processEvents();
        stops.push_back(stopMs);
    }
    std::printf("stop during a stalled read: median %.1f ms, worst %.1f ms until OnError\n", median(stops),
                *std::max_element(stops.begin(), stops.end()));
    QFile::remove(target);
    return 0;
}
