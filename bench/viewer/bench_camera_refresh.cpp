// One camera refresh, from FetchImage to "Done", against the floor of the same work done plainly:
// libcurl's easy interface fetching the file and libjpeg decoding it, measured in the same run.

#include "viewer/TPictureBox.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "TBenchCamera.h"
#include <curl/curl.h>
#include <jpeglib.h>

using namespace BenchCamera;

namespace {

constexpr int Rounds = 60;

size_t appendTo(char* data, size_t size, size_t count, void* buffer)
{
    static_cast<std::vector<unsigned char>*>(buffer)->insert(
        static_cast<std::vector<unsigned char>*>(buffer)->end(), data, data + size * count);
    return size * count;
}

// Fetch with libcurl's easy interface into memory, then decode every scanline with libjpeg.
double referenceMs(const QString& url, QSize* decoded)
{
    QElapsedTimer timer;
    timer.start();
    std::vector<unsigned char> body;
    body.reserve(256 * 1024);
    CURL* easy = curl_easy_init();
    const QByteArray address = url.toUtf8();
    curl_easy_setopt(easy, CURLOPT_URL, address.constData());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, "");
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_0);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &appendTo);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);
    const CURLcode result = curl_easy_perform(easy);
    curl_easy_cleanup(easy);
    if (result != CURLE_OK) {
        std::printf("reference fetch failed: %s\n", curl_easy_strerror(result));
        return -1;
    }

    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, body.data(), static_cast<unsigned long>(body.size()));
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    std::vector<unsigned char> pixels(size_t(info.output_width) * info.output_height *
                                      info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            pixels.data() + size_t(info.output_scanline) * info.output_width * info.output_components;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    *decoded = QSize(int(info.output_width), int(info.output_height));
    jpeg_destroy_decompress(&info);
    return timer.nsecsElapsed() / 1e6;
}

// FetchImage (the window's refresh) until its end event has set "Done".
double windowMs(TfrmImage& window)
{
    QElapsedTimer timer;
    timer.start();
    double ms = -1;
    window.FetchImage(window.Camera()->URL, window.Camera()->UpdateInterval);
    const bool done = waitDone(window, &timer, &ms);
    if (!done)
        std::printf("window refresh ended with \"%s\"\n", qPrintable(window.lblStatus->text()));
    return done ? ms : -1;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("no_proxy", "*");
    QApplication app(argc, argv);
    curl_global_init(CURL_GLOBAL_DEFAULT);

    const QByteArray body = jpegOfAbout(1280, 720, 150 * 1024);
    TServer server;
    if (!server.start(body)) {
        std::printf("no loopback server\n");
        return 1;
    }
    std::printf("picture: 1280 x 720 JPEG, %lld bytes, served by %s on %s (platform %s)\n",
                static_cast<long long>(body.size()), server.Name, qPrintable(server.url()),
                qPrintable(QGuiApplication::platformName()));

    TfrmImage window(nullptr);
    window.BindCamera(camera(QStringLiteral("Bench"), server.url(), 0, 0));
    window.show();
    if (!waitDone(window)) {
        std::printf("first refresh failed: %s\n", qPrintable(window.lblStatus->text()));
        return 1;
    }

    std::vector<double> reference;
    std::vector<double> ours;
    QSize decoded;
    for (int round = 0; round < Rounds; ++round) {
        // Alternated, so that both see the same machine load.
        reference.push_back(referenceMs(server.url(), &decoded));
        ours.push_back(windowMs(window));
        QApplication::processEvents();
    }
    if (std::count(ours.begin(), ours.end(), -1.0) > 0 ||
        std::count(reference.begin(), reference.end(), -1.0) > 0)
        return 1;

    const double ref = median(reference);
    const double win = median(ours);
    // The fastest round shows the cost of the work itself when other processes share the machine.
    const double refBest = *std::min_element(reference.begin(), reference.end());
    const double winBest = *std::min_element(ours.begin(), ours.end());
    std::printf("libcurl easy + libjpeg: median %.2f ms, fastest %.2f ms (decoded %d x %d)\n", ref, refBest,
                decoded.width(), decoded.height());
    std::printf("camera window refresh:  median %.2f ms, fastest %.2f ms (shown %d x %d, status \"%s\")\n",
                win, winBest, window.Image1->width(), window.Image1->height(),
                qPrintable(window.lblStatus->text()));
    std::printf("ratio of medians %.2f, of fastest rounds %.2f (target: at most 1.5) -> %s\n", win / ref,
                winBest / refBest, win <= 1.5 * ref ? "met" : "NOT met");
    return 0;
}
