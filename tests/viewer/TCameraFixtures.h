#pragma once

// Shared by the camera window tests: picture bodies as a camera server sends them, a main form
// that records what windows ask of it, and a reader for the trace a test process writes.

#include "camera/TMainFormServices.h"
#include "camera/TWebCamera.h"
#include "net/HTTPGet.h"
#include "viewer/fImage.h"

#include <QBuffer>
#include <QDeadlineTimer>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPointer>
#include <QStringList>
#include <QTemporaryFile>
#include <QtTest>

#include <memory>

#include <unistd.h>

namespace CameraFixtures {

// A picture with some detail, so that its encodings are well over 512 bytes.
inline QImage scene(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qRgb((x * 7 + y * 3) % 256, (x * y) % 256, (x ^ y) % 256));
    }
    return image;
}

inline QByteArray encode(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    writer.write(image);
    return bytes;
}

// Qt writes a JFIF APP0 segment right after the start marker.
inline QByteArray jpegJfif(int w = 64, int h = 48)
{
    return encode(scene(w, h), "jpeg");
}

// The same JPEG without its JFIF segment: nothing in its first bytes names its type.
inline QByteArray jpegPlain(int w = 64, int h = 48)
{
    const QByteArray jfif = jpegJfif(w, h);
    const int app0Length = (quint8(jfif.at(4)) << 8) | quint8(jfif.at(5));
    return jfif.left(2) + jfif.mid(4 + app0Length);
}

// As network cameras of one maker send it: a comment segment holding "AXIS" instead of JFIF.
inline QByteArray jpegAxis(int w = 64, int h = 48)
{
    const QByteArray plain = jpegPlain(w, h);
    const QByteArray text = "AXIS camera";
    QByteArray comment("\xff\xfe", 2);
    comment.append(char(0));
    comment.append(char(text.size() + 2));
    comment.append(text);
    return plain.left(2) + comment + plain.mid(2);
}

inline QByteArray png(int w = 64, int h = 48)
{
    return encode(scene(w, h), "png");
}

inline QByteArray bmp(int w = 64, int h = 48)
{
    return encode(scene(w, h), "bmp");
}

inline QByteArray gif()
{
    QFile f(QStringLiteral(VREL_TEST_DATA_DIR "/viewer/camera.gif"));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A small JPEG padded after its end marker to exactly size bytes (decoders ignore the rest).
inline QByteArray jpegOfSize(int size)
{
    QImage dot(8, 8, QImage::Format_Grayscale8);
    dot.fill(Qt::darkGray);
    QByteArray bytes = encode(dot, "jpeg", 10);
    return bytes.size() <= size ? bytes + QByteArray(size - bytes.size(), '\0') : QByteArray();
}

// A JPEG whose frame header claims another size than its data holds.
inline QByteArray jpegAnnouncing(quint16 width, quint16 height)
{
    QByteArray bytes = jpegJfif(16, 16);
    const qsizetype sof = bytes.indexOf(QByteArray("\xff\xc0", 2));
    if (sof < 0)
        return QByteArray();
    bytes[sof + 5] = char(height >> 8);
    bytes[sof + 6] = char(height & 0xff);
    bytes[sof + 7] = char(width >> 8);
    bytes[sof + 8] = char(width & 0xff);
    return bytes;
}

inline QByteArray htmlErrorPage()
{
    return "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1><p>" +
           QByteArray("The requested image was not found on this server. ").repeated(20) +
           "</p></body></html>";
}

// What the main form is to a camera window: it removes (and later destroys) closed windows.
class TRecordingMainForm : public TMainFormServices
{
public:
    QStringList Calls;

    void CancelOpenDialogs() override { Calls.append(QStringLiteral("CancelOpenDialogs")); }
    void RegisterDialog(QWidget*) override { Calls.append(QStringLiteral("RegisterDialog")); }
    void UnregisterDialog(QWidget*) override { Calls.append(QStringLiteral("UnregisterDialog")); }
    void OpenCameraWindow(std::unique_ptr<TWebCamera>) override
    {
        Calls.append(QStringLiteral("OpenCameraWindow"));
    }
    void RemoveCameraWindow(QWidget* window) override
    {
        Calls.append(QStringLiteral("RemoveCameraWindow"));
        window->deleteLater();
    }
    void BuildFavoritesMenu() override { Calls.append(QStringLiteral("BuildFavoritesMenu")); }
    void RebuildMenus() override { Calls.append(QStringLiteral("RebuildMenus")); }
};

inline std::unique_ptr<TWebCamera> camera(const QString& description, const QString& url, qint32 interval = 1,
                                          qint32 scale = 100)
{
    auto c = std::make_unique<TWebCamera>();
    c->SetDescription(description);
    c->SetURL(url);
    c->SetUpdateInterval(interval);
    c->Scale = scale;
    c->AlwaysOnTop = true;
    return c;
}

// The opening sequence of the main form, without the list.
inline TfrmImage* openWindow(std::unique_ptr<TWebCamera> camera, TMainFormServices* mainForm)
{
    auto* window = new TfrmImage(mainForm);
    window->BindCamera(std::move(camera));
    if (window->Camera()->AlwaysOnTop)
        window->Alwaysontop1Click();
    window->show();
    return window;
}

// The download has ended and its end event has returned.
inline bool settled(const TfrmImage* window)
{
    return window->TimerArmed() && !window->HTTPGet1->Busy() &&
           !window->lblStatus->text().startsWith(QLatin1String("Status: Downloading"));
}

// Waits for the end of the running download. Unlike QTest::qWait, which sleeps between rounds,
// this lets each progress report through as soon as it arrives.
inline bool waitSettled(const TfrmImage* window, int timeoutMs = 10000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!settled(window) && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return settled(window);
}

// Counts the paint events a widget receives.
class TPaintCounter : public QObject
{
public:
    int Paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++Paints;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace CameraFixtures
