#pragma once

// Shared by the camera window benchmarks: a camera picture of a given size and byte budget, the
// loopback server that serves it, and a refresh that runs the event loop until the window is done.

#include "camera/TWebCamera.h"
#include "net/HTTPGet.h"
#include "viewer/fImage.h"

#include <QBuffer>
#include <QColor>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "tests/support/TNginxServer.h"
#include "tests/support/TTestHttpServer.h"

namespace BenchCamera {

// A street-scene-like picture: smooth gradients, shapes and some sensor noise, so that JPEG sizes
// behave like those of real cameras.
inline QImage scene(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(90, 140, 210));
    sky.setColorAt(0.6, QColor(200, 210, 220));
    sky.setColorAt(1, QColor(70, 80, 70));
    p.fillRect(image.rect(), sky);
    QRandomGenerator random(42);
    for (int i = 0; i < 60; ++i) {
        const QColor c(random.bounded(256), random.bounded(256), random.bounded(256));
        p.fillRect(random.bounded(w), h / 3 + random.bounded(h / 2), 20 + random.bounded(w / 6),
                   20 + random.bounded(h / 4), c);
    }
    p.end();
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const int n = int(random.bounded(17)) - 8;
            const QRgb v = line[x];
            line[x] = qRgb(std::clamp(qRed(v) + n, 0, 255), std::clamp(qGreen(v) + n, 0, 255),
                           std::clamp(qBlue(v) + n, 0, 255));
        }
    }
    return image;
}

inline QByteArray jpeg(const QImage& image, int quality)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// The JPEG of the scene whose size comes closest to targetBytes.
inline QByteArray jpegOfAbout(int w, int h, int targetBytes)
{
    const QImage image = scene(w, h);
    QByteArray best;
    for (int quality = 5; quality <= 100; quality += 5) {
        QByteArray candidate = jpeg(image, quality);
        if (best.isEmpty() || std::abs(candidate.size() - targetBytes) < std::abs(best.size() - targetBytes))
            best = std::move(candidate);
    }
    return best;
}

// nginx on loopback when installed (a separate process: its memory is not ours), else our own
// test server.
class TServer
{
public:
    bool start(const QByteArray& body)
    {
        const QString root = m_dir.filePath(QStringLiteral("www"));
        QDir().mkpath(root);
        if (!writeFile(body))
            return false;
        if (!TNginxServer::program().isEmpty()) {
            TNginxOptions options;
            options.DocumentRoot = root;
            m_nginx = std::make_unique<TNginxServer>();
            if (m_nginx->start(options)) {
                m_url = m_nginx->url(QStringLiteral("/cam.jpg"));
                Name = "nginx";
                return true;
            }
        }
        m_own = std::make_unique<TTestHttpServer>();
        if (!m_own->start())
            return false;
        replace(body);
        m_url = m_own->url(QStringLiteral("/cam.jpg"));
        Name = "in-process test server";
        return true;
    }
    // The camera has a new picture. nginx names a file's version by its time and size, so bodies
    // that follow each other must differ in size.
    bool replace(const QByteArray& body)
    {
        if (!m_own)
            return writeFile(body);
        TScriptedResponse response = TScriptedResponse::ok(body, "image/jpeg");
        response.ETag = '"' + QByteArray::number(body.size()) + '"';
        m_own->route(QStringLiteral("/cam.jpg"), response);
        return true;
    }
    QString url() const { return m_url; }
    const char* Name = "";

private:
    bool writeFile(const QByteArray& body)
    {
        QFile file(m_dir.filePath(QStringLiteral("www/cam.jpg")));
        return file.open(QIODevice::WriteOnly) && file.write(body) == body.size();
    }

    QTemporaryDir m_dir;
    std::unique_ptr<TNginxServer> m_nginx;
    std::unique_ptr<TTestHttpServer> m_own;
    QString m_url;
};

inline std::unique_ptr<TWebCamera> camera(const QString& description, const QString& url, int left, int top)
{
    auto c = std::make_unique<TWebCamera>();
    c->SetDescription(description);
    c->SetURL(url);
    c->SetUpdateInterval(5);
    // BENCH_SCALE=50 or 25 measures a smaller window (its frame is decoded smaller).
    c->Scale = qEnvironmentVariableIsSet("BENCH_SCALE") ? qEnvironmentVariableIntValue("BENCH_SCALE") : 100;
    c->Left = left;
    c->Top = top;
    c->AlwaysOnTop = true;
    return c;
}

// Runs the event loop until the window's running download has ended and its end event returned.
// With a clock, *endMs is its reading the moment the end event returned (the status then reads
// "Done"); the repaint that follows is not counted.
// The offscreen platform with one 3840 x 2160 screen (its own is 800 x 600, where a 720p camera
// would be scaled down to fit): a platform argument naming a configuration file in folder.
inline QByteArray largeOffscreenPlatform(const QTemporaryDir& folder)
{
    const QString path = folder.filePath(QStringLiteral("offscreen.json"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 3840, "height": 2160,)"
                   R"( "logicalDpiX": 96, "logicalDpiY": 96, "dpr": 1}]})") < 0)
        return "offscreen";
    return "offscreen:configfile=" + path.toUtf8();
}

inline bool waitDone(TfrmImage& window, const QElapsedTimer* clock = nullptr, double* endMs = nullptr)
{
    QEventLoop loop;
    const auto done = window.HTTPGet1->OnDoneString;
    const auto error = window.HTTPGet1->OnError;
    const auto ended = [&] { loop.quit(); };
    window.HTTPGet1->OnDoneString = [&](QObject* s, QByteArray result) {
        done(s, std::move(result));
        ended();
    };
    window.HTTPGet1->OnError = [&](QObject* s) {
        error(s);
        ended();
    };
    if (window.HTTPGet1->Busy())
        loop.exec();
    // A refresh is over when its picture is on the screen: the window paints it after the end
    // event, and a JPEG is decoded as it is painted.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
    if (clock && endMs)
        *endMs = clock->nsecsElapsed() / 1e6;
    window.HTTPGet1->OnDoneString = done;
    window.HTTPGet1->OnError = error;
    return window.lblStatus->text() == QLatin1String("Status: Done");
}

inline double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace BenchCamera
