// Opens one camera window against a loopback camera for the desktop test, reports where it is
// and what it should show, and stays until its standard input closes. A line "toggle" on its
// input runs the window's "Stay on top" command and answers "toggled".

#include "camera/TWebCamera.h"
#include "net/HTTPGet.h"
#include "viewer/TPictureBox.h"
#include "viewer/fImage.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QSocketNotifier>

#include <cstdio>

#include "tests/support/TTestHttpServer.h"

#include <unistd.h>

namespace {

// Four flat quadrants: exact colours survive PNG, so the screenshot can be checked pixel by pixel.
QByteArray quadrantsPng()
{
    QImage image(320, 240, QImage::Format_RGB32);
    QPainter p(&image);
    p.fillRect(0, 0, 160, 120, QColor(220, 30, 30));
    p.fillRect(160, 0, 160, 120, QColor(30, 200, 40));
    p.fillRect(0, 120, 160, 120, QColor(30, 60, 220));
    p.fillRect(160, 120, 160, 120, QColor(240, 220, 20));
    p.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vrel Web Camera"));

    TTestHttpServer server;
    if (!server.start()) {
        std::fprintf(stderr, "show_camera_window: no loopback server\n");
        return 2;
    }
    server.route(QStringLiteral("/cam.png"), TScriptedResponse::ok(quadrantsPng(), "image/png"));

    auto camera = std::make_unique<TWebCamera>();
    camera->SetDescription(QStringLiteral("Desktop Cam"));
    camera->SetURL(server.url(QStringLiteral("/cam.png")));
    camera->SetUpdateInterval(5);
    camera->Scale = 100;
    camera->Left = 100;
    camera->Top = 80;
    camera->AlwaysOnTop = true;

    TfrmImage window(nullptr);
    window.BindCamera(std::move(camera));
    window.Alwaysontop1Click();
    window.show();

    QDeadlineTimer deadline(20000);
    while (window.lblStatus->text() != QLatin1String("Status: Done") && !deadline.hasExpired())
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    if (window.lblStatus->text() != QLatin1String("Status: Done")) {
        std::fprintf(stderr, "show_camera_window: status stayed \"%s\"\n",
                     qPrintable(window.lblStatus->text()));
        return 3;
    }
    // Let the window paint and the X server catch up before anyone looks.
    QDeadlineTimer settle(300);
    while (!settle.hasExpired())
        QApplication::processEvents(QEventLoop::AllEvents, 20);

    const QColor margin = window.palette().color(QPalette::Window);
    const QRect image = window.Image1->geometry();
    std::printf("ready x=%d y=%d w=%d h=%d image=%d,%d,%d,%d status_top=%d margin=%s\n", window.x(),
                window.y(), window.width(), window.height(), image.x(), image.y(), image.width(),
                image.height(), window.lblStatus->y(), qPrintable(margin.name()));
    std::fflush(stdout);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            app.quit();
            return;
        }
        if (QByteArray(buffer, int(n)).contains("toggle")) {
            window.mnuAlwaysOnTop->trigger();
            QDeadlineTimer shown(300);
            while (!shown.hasExpired())
                QApplication::processEvents(QEventLoop::AllEvents, 20);
            std::printf("toggled visible=%d on_top=%d\n", window.isVisible() ? 1 : 0,
                        window.windowFlags().testFlag(Qt::WindowStaysOnTopHint) ? 1 : 0);
            std::fflush(stdout);
        }
    });
    return app.exec();
}
