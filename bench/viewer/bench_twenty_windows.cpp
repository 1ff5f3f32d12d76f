// Twenty open camera windows showing 640 x 480 pictures: resident memory each adds, and the CPU
// an idle program with them uses between refreshes.

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <vector>

#include "TBenchCamera.h"
#include <sys/resource.h>
#include <unistd.h>

using namespace BenchCamera;

namespace {

constexpr int Windows = 20;
constexpr int IdleMs = 10000;

// Resident set size from /proc/self/statm, in KiB.
long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLong() * (::sysconf(_SC_PAGESIZE) / 1024) : -1;
}

double cpuMs()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

void runEventLoopFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("no_proxy", "*");
    QApplication app(argc, argv);

    const QByteArray body = jpegOfAbout(640, 480, 45 * 1024);
    TServer server;
    if (!server.start(body)) {
        std::printf("no loopback server\n");
        return 1;
    }
    std::printf("picture: 640 x 480 JPEG, %lld bytes, served by %s (platform %s)\n",
                static_cast<long long>(body.size()), server.Name,
                qPrintable(QGuiApplication::platformName()));

    // Warm up: plugins, fonts, the decoder and the download machinery are loaded once per program.
    {
        TfrmImage first(nullptr);
        first.BindCamera(camera(QStringLiteral("Warm-up"), server.url(), 10, 10));
        first.show();
        if (!waitDone(first))
            return 1;
    }
    runEventLoopFor(500);
    const long before = residentKiB();

    std::vector<std::unique_ptr<TfrmImage>> windows;
    for (int i = 0; i < Windows; ++i) {
        auto window = std::make_unique<TfrmImage>(nullptr);
        window->BindCamera(camera(QStringLiteral("Camera %1").arg(i + 1), server.url(), 20 + (i % 5) * 40,
                                  20 + (i / 5) * 40));
        window->show();
        if (!waitDone(*window)) {
            std::printf("window %d did not get its picture\n", i + 1);
            return 1;
        }
        windows.push_back(std::move(window));
    }
    runEventLoopFor(500);
    const long after = residentKiB();
    const double perWindowKiB = double(after - before) / Windows;
    std::printf("resident: %ld KiB before, %ld KiB with %d windows -> %.0f KiB (%.2f MB) per window "
                "(target: under 4 MB) -> %s\n",
                before, after, Windows, perWindowKiB, perWindowKiB / 1024,
                perWindowKiB < 4096 ? "met" : "NOT met");

    const double cpuBefore = cpuMs();
    QElapsedTimer wall;
    wall.start();
    runEventLoopFor(IdleMs);
    const double used = cpuMs() - cpuBefore;
    std::printf("idle with %d windows: %.1f ms CPU in %.1f s (%.3f %% of one core)\n", Windows, used,
                wall.elapsed() / 1000.0, 100.0 * used / wall.elapsed());
    return 0;
}
