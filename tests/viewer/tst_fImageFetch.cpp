#include "camera/TWebCamera.h"
#include "net/HTTPGet.h"
#include "platform/TRegistryStore.h"
#include "viewer/TPictureBox.h"
#include "viewer/fImage.h"

#include <QAction>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "tests/support/TStoreSandbox.h"
#include "tests/support/TTestHttpServer.h"
#include "tests/support/TTraceCapture.h"

#include "TCameraFixtures.h"

using namespace CameraFixtures;

namespace {

const QString Done = QStringLiteral("Status: Done");
const QString Error = QStringLiteral("Status: Download Error");
const QString Idle = QStringLiteral("Status: Idle");
const QString Downloading = QStringLiteral("Status: Downloading...");

bool showsPlaceholder(const TfrmImage* w)
{
    return w->Image1->Picture().Format() == TPicture::TFormat::Bmp && w->Image1->size() == QSize(256, 256);
}

TScriptedResponse withoutLength(const QByteArray& body)
{
    TScriptedResponse r = TScriptedResponse::ok(body, "image/jpeg");
    r.SendContentLength = false;
    return r;
}

TScriptedResponse truncated(const QByteArray& body)
{
    TScriptedResponse r = TScriptedResponse::ok(body.left(body.size() / 2), "image/jpeg");
    r.AnnouncedLength = body.size();
    return r;
}

TScriptedResponse stalled(const QByteArray& body, int after)
{
    TScriptedResponse r = TScriptedResponse::ok(body, "image/jpeg");
    r.StallAfter = after;
    return r;
}

TScriptedResponse dripping(const QByteArray& body)
{
    TScriptedResponse r = TScriptedResponse::ok(body, "image/jpeg");
    r.DripBytes = 1025;
    r.DripDelayMs = 20;
    return r;
}

TScriptedResponse errorPage()
{
    TScriptedResponse r = TScriptedResponse::ok(htmlErrorPage(), "text/html");
    r.Status = 404;
    r.Reason = "Not Found";
    return r;
}

// The texts a label showed each time it was painted.
struct TPaintedTexts : QObject
{
    explicit TPaintedTexts(QLabel* label) : m_label(label) { label->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && (Texts.isEmpty() || Texts.last() != m_label->text()))
            Texts.append(m_label->text());
        return false;
    }
    QStringList Texts;

private:
    QLabel* m_label;
};

} // namespace

Q_DECLARE_METATYPE(TScriptedResponse)

class tst_fImageFetch : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    // The temporary folder of this program, where the private folder of downloads would go.
    QTemporaryDir m_tmp;
    std::unique_ptr<TTestHttpServer> m_server;
    std::unique_ptr<TRecordingMainForm> m_mainForm;
    QPointer<TfrmImage> m_window;

    QString url() const { return m_server->url(QStringLiteral("/cam.jpg")); }

    // Opened and active, so that its shortcuts reach it.
    TfrmImage* open(qint32 interval = 1, qint32 scale = 100)
    {
        m_window = openWindow(camera(QStringLiteral("Harbour"), url(), interval, scale), m_mainForm.get());
        return QTest::qWaitForWindowActive(m_window) ? m_window.data() : nullptr;
    }

    // What downloads have put into the temporary folder: its private folder is made on first use.
    QStringList temporaryEntries() const
    {
        return QDir(m_tmp.path())
            .entryList({QStringLiteral("vrel-web-camera-*")},
                       QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && m_tmp.isValid());
        m_dir.Set("TMPDIR", m_tmp.path().toUtf8());
        TRegistryStore::closeAll();
    }

    void init()
    {
        m_server = std::make_unique<TTestHttpServer>();
        QVERIFY(m_server->start());
        m_mainForm = std::make_unique<TRecordingMainForm>();
    }

    void cleanup()
    {
        delete m_window;
        m_server.reset();
        m_mainForm.reset();
    }

    // first: what the camera sent before (empty: nothing, this is the window's first picture).
    void showsWhatTheCameraSends_data()
    {
        QTest::addColumn<TScriptedResponse>("first");
        QTest::addColumn<TScriptedResponse>("response");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QSize>("natural"); // (0, 0): the placeholder is shown
        QTest::addColumn<bool>("linesShown");
        const TScriptedResponse none;
        const TScriptedResponse pngFirst = TScriptedResponse::ok(png(), "image/png");
        const TScriptedResponse jpegFirst = TScriptedResponse::ok(jpegJfif(), "image/jpeg");
        QTest::newRow("jpeg-jfif") << none << TScriptedResponse::ok(jpegJfif(), "image/jpeg") << Done
                                   << ".jpg" << QSize(64, 48) << true;
        QTest::newRow("jpeg-axis") << pngFirst << TScriptedResponse::ok(jpegAxis(), "image/jpeg") << Done
                                   << ".jpg" << QSize(64, 48) << true;
        QTest::newRow("jpeg-unmarked-first-picture")
            << none << TScriptedResponse::ok(jpegPlain(), "image/jpeg") << Done << ".jpg" << QSize(64, 48)
            << true;
        QTest::newRow("jpeg-unmarked-after-png")
            << pngFirst << TScriptedResponse::ok(jpegPlain(), "image/jpeg") << Error << ".png" << QSize(0, 0)
            << true;
        QTest::newRow("png") << jpegFirst << TScriptedResponse::ok(png(90, 30), "image/png") << Done << ".png"
                             << QSize(90, 30) << true;
        QTest::newRow("gif") << none << TScriptedResponse::ok(gif(), "image/gif") << Done << ".gif"
                             << QSize(80, 60) << true;
        // Bitmaps carry no marker the window looks for: they load as the type kept from before.
        QTest::newRow("bmp-loads-as-previous-type")
            << none << TScriptedResponse::ok(bmp(), "image/bmp") << Error << ".jpg" << QSize(0, 0) << true;
        QTest::newRow("html-error-page")
            << jpegFirst << errorPage() << Error << ".jpg" << QSize(0, 0) << true;
        QTest::newRow("without-content-length")
            << none << withoutLength(jpegJfif(120, 90)) << Done << ".jpg" << QSize(120, 90) << true;
        QTest::newRow("truncated-body")
            << jpegFirst << truncated(jpegJfif(200, 150)) << Error << ".jpg" << QSize(0, 0) << false;
        QTest::newRow("exactly-513-bytes") << none << TScriptedResponse::ok(jpegOfSize(513), "image/jpeg")
                                           << Done << ".jpg" << QSize(8, 8) << true;
        // 15 kilobytes that would take a quarter of a gigabyte once decoded.
        QTest::newRow("jpeg-claiming-10000x6500")
            << none << TScriptedResponse::ok(jpegAnnouncing(10000, 6500), "image/jpeg") << Error << ".jpg"
            << QSize(0, 0) << true;
        // Announced larger than any picture the window loads: given up at once, not after the
        // server's silence has run out.
        TScriptedResponse oversized = stalled(jpegJfif(), 100);
        oversized.AnnouncedLength = TPicture::MaxFileBytes + 1;
        QTest::newRow("announced-past-the-largest-picture")
            << jpegFirst << oversized << Error << ".jpg" << QSize(0, 0) << false;
        // No length and no end in sight: stopped one piece past the largest picture.
        QTest::newRow("body-past-the-largest-picture")
            << jpegFirst << withoutLength(jpegJfif() + QByteArray(int(TPicture::MaxFileBytes), '\0')) << Error
            << ".jpg" << QSize(0, 0) << false;
    }
    void showsWhatTheCameraSends()
    {
        QFETCH(TScriptedResponse, first);
        QFETCH(TScriptedResponse, response);
        QFETCH(QString, status);
        QFETCH(QString, ext);
        QFETCH(QSize, natural);
        QFETCH(bool, linesShown);
        QVERIFY(!response.Body.isEmpty());

        if (!first.Body.isEmpty()) {
            m_server->route(QStringLiteral("/cam.jpg"), first);
            QVERIFY(open());
            QVERIFY(waitSettled(m_window));
            QCOMPARE(m_window->lblStatus->text(), Done);
            m_server->route(QStringLiteral("/cam.jpg"), response);
            m_window->mnuRefresh->trigger();
        } else {
            m_server->route(QStringLiteral("/cam.jpg"), response);
            QVERIFY(open());
        }
        QVERIFY(waitSettled(m_window));

        QCOMPARE(m_window->lblStatus->text(), status);
        QCOMPARE(m_window->ImageExt, ext);
        const TWebCamera* c = m_window->Camera();
        QCOMPARE(QSize(c->ImageWidth, c->ImageHeight), natural);
        if (natural.isEmpty()) {
            QVERIFY(showsPlaceholder(m_window));
        } else {
            QCOMPARE(m_window->Image1->size(), natural);
            QCOMPARE(m_window->Image1->Picture().FrameSize(), natural);
            // A JPEG is drawn from the camera's bytes: the window holds no frame of it.
            QCOMPARE(m_window->Image1->Picture().Image().isNull(), ext == QLatin1String(".jpg"));
        }
        QCOMPARE(m_window->lblDescription->text(), linesShown ? QStringLiteral("Harbour") : QString());
        QCOMPARE(!m_window->lblDateTime->text().isEmpty(), linesShown);
        QCOMPARE(m_server->lastRequest().header("Referer"), (m_server->url(QStringLiteral("/")).toUtf8()));
        QCOMPARE(m_server->lastRequest().header("User-Agent"),
                 QByteArray("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"));
        // The downloaded file is gone, whatever its fate.
        QVERIFY(!QFile::exists(m_window->HTTPGet1->FileName));
    }

    void tinyBodiesKeepThePicture_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("200-bytes") << QByteArray(200, 'x');
        QTest::newRow("exactly-512-bytes-of-jpeg") << jpegOfSize(512);
    }
    void tinyBodiesKeepThePicture()
    {
        QFETCH(QByteArray, body);
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(jpegJfif(100, 80), "image/jpeg"));
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        const QString shownAt = m_window->lblDateTime->text();
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(body, "image/jpeg"));
        m_window->mnuRefresh->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() == 2 && settled(m_window), 10000);
        QCOMPARE(m_window->lblStatus->text(), Error);
        QCOMPARE(m_window->Image1->size(), QSize(100, 80));
        QCOMPARE(m_window->Image1->Picture().Format(), TPicture::TFormat::Jpeg);
        QCOMPARE(m_window->lblDescription->text(), QStringLiteral("Harbour"));
        QCOMPARE(m_window->lblDateTime->text(), shownAt);
        QVERIFY(!QFile::exists(m_window->HTTPGet1->FileName));
    }

    void unreachableCameraKeepsThePicture()
    {
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(png(), "image/png"));
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        const quint16 port = m_server->port();
        m_server->stop();
        m_window->Camera()->SetURL(QStringLiteral("127.0.0.1:%1/cam.jpg").arg(port));
        m_window->mnuRefresh->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(m_window->lblStatus->text(), Error, 10000);
        QTRY_VERIFY(settled(m_window));
        QCOMPARE(m_window->Image1->Picture().Format(), TPicture::TFormat::Png);
    }

    void layoutFollowsPictureAndScale_data()
    {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QRect>("imageArea");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<int>("statusTop");
        QTest::newRow("640x480-at-50")
            << QSize(640, 480) << 50 << QRect(5, 5, 320, 240) << QSize(330, 303) << 249;
        QTest::newRow("100x80-at-100-centred")
            << QSize(100, 80) << 100 << QRect(65, 5, 100, 80) << QSize(230, 143) << 89;
        QTest::newRow("640x480-at-25")
            << QSize(640, 480) << 25 << QRect(35, 5, 160, 120) << QSize(230, 183) << 129;
        QTest::newRow("stored-75") << QSize(640, 480) << 75 << QRect(5, 5, 480, 360) << QSize(490, 423)
                                   << 369;
    }
    void layoutFollowsPictureAndScale()
    {
        QFETCH(QSize, natural);
        QFETCH(int, scale);
        QFETCH(QRect, imageArea);
        QFETCH(QSize, window);
        QFETCH(int, statusTop);
        m_server->route(QStringLiteral("/cam.jpg"),
                        TScriptedResponse::ok(jpegJfif(natural.width(), natural.height()), "image/jpeg"));
        QVERIFY(open(1, scale));
        QVERIFY(waitSettled(m_window));
        QCOMPARE(m_window->lblStatus->text(), Done);
        QCOMPARE(m_window->Image1->geometry(), imageArea);
        QCOMPARE(m_window->size(), window);
        QCOMPARE(m_window->lblStatus->geometry(), QRect(5, statusTop, window.width() - 10, 16));
        QCOMPARE(m_window->lblDescription->geometry(), QRect(5, statusTop + 16, window.width() - 10, 16));
        QCOMPARE(m_window->lblDateTime->geometry(), QRect(5, statusTop + 32, window.width() - 10, 16));
    }

    // The server sends 3000 of 7144 bytes and falls silent.
    void stalledDownloadShowsItsLastFigure()
    {
        m_server->route(QStringLiteral("/cam.jpg"), stalled(jpegOfSize(7144), 3000));
        QVERIFY(open());
        QVERIFY(m_server->waitForStalled(1));
        QTRY_COMPARE(m_window->lblStatus->text(), QStringLiteral("Status: 41% downloaded"));
        QVERIFY(m_window->HTTPGet1->Busy());
    }

    void absurdScaleKeepsTheWindowOnTheScreens()
    {
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(jpegJfif(100, 80), "image/jpeg"));
        QVERIFY(open(1, 100000));
        QVERIFY(waitSettled(m_window));
        QCOMPARE(m_window->lblStatus->text(), Done);
        QRect room;
        for (const QScreen* screen : QGuiApplication::screens())
            room = room.united(screen->availableGeometry());
        QVERIFY(!room.isEmpty());
        QVERIFY2(m_window->width() <= room.width() && m_window->height() <= room.height(),
                 qPrintable(QStringLiteral("%1x%2 in %3x%4")
                                .arg(m_window->width())
                                .arg(m_window->height())
                                .arg(room.width())
                                .arg(room.height())));
        // As large as the room allows, in the picture's proportions.
        QVERIFY(m_window->width() == room.width() || m_window->height() == room.height());
        QCOMPARE(m_window->Image1->width(), m_window->Image1->height() * 100 / 80);
    }

    // What a decoder says about a body it refuses reaches the trace, not the terminal.
    void codecMessagesGoToTheTrace()
    {
        TTraceCapture output;
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(png(), "image/png"));
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        m_server->route(QStringLiteral("/cam.jpg"), errorPage());
        m_window->mnuRefresh->trigger();
        QTRY_VERIFY(m_server->requestCount() == 2 && settled(m_window));
        QCOMPARE(m_window->lblStatus->text(), Error);
        QCOMPARE(output.linesAfter(QStringLiteral("vrel-trace: codec ")),
                 QStringList{QStringLiteral("libpng error: Not a PNG file")});
        QCOMPARE(output.linesAfter(QStringLiteral("libpng")), QStringList());
    }

    void placeholderBeforeFirstPicture()
    {
        m_server->route(QStringLiteral("/cam.jpg"), stalled(jpegJfif(), 0));
        QVERIFY(open(1, 25));
        QVERIFY(m_server->waitForStalled(1));
        QVERIFY(showsPlaceholder(m_window));
        QCOMPARE(m_window->size(), QSize(266, 319));
        // A download that runs on shows that it does, after a moment.
        QTRY_COMPARE(m_window->lblStatus->text(), Downloading);
        QVERIFY(!m_window->TimerArmed());
        QVERIFY(!m_window->Timer1->isActive());
    }

    // An answer that comes before the passing status would be shown leaves the line as it was:
    // "Downloading..." is never painted, neither on the first download nor on a refresh.
    void quickAnswerNeverPaintsDownloading()
    {
        TTraceCapture trace;
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(jpegJfif(), "image/jpeg"));
        m_window = openWindow(camera(QStringLiteral("Harbour"), url(), 1, 100), m_mainForm.get());
        // Long enough for any answer from the loopback server, however slow the build.
        auto* delay = m_window->findChild<QTimer*>(QStringLiteral("PassingStatusDelay"));
        QVERIFY(delay);
        delay->setInterval(60000);
        TPaintedTexts painted(m_window->lblStatus);
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QVERIFY(waitSettled(m_window));
        QTest::keyClick(m_window, Qt::Key_F5);
        QTRY_VERIFY(m_server->requestCount() == 2 && settled(m_window));

        QCOMPARE(m_window->lblStatus->text(), Done);
        QVERIFY(!painted.Texts.isEmpty());
        QVERIFY2(!painted.Texts.contains(Downloading), qPrintable(painted.Texts.join(QLatin1String(", "))));
        // The status itself went through it, as the trace shows.
        QCOMPARE(trace.statusLines(QStringLiteral("Harbour")),
                 (QStringList{Idle, Downloading, Done, Downloading, Done}));
    }

    void timerArmedAfterEachDownload_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("fires");
        QTest::addColumn<int>("ms");
        QTest::newRow("every-minute") << 1 << true << 60000;
        QTest::newRow("every-99-minutes") << 99 << true << 5940000;
        QTest::newRow("manual-only") << 0 << false << 0;
    }
    void timerArmedAfterEachDownload()
    {
        QFETCH(int, interval);
        QFETCH(bool, fires);
        QFETCH(int, ms);
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(jpegJfif(), "image/jpeg"));
        QVERIFY(open(interval));
        QVERIFY(waitSettled(m_window));
        QCOMPARE(m_window->Timer1->isActive(), fires);
        QCOMPARE(m_window->Timer1->interval(), ms);
        QCOMPARE(m_server->requestCount(), 1);
        // A refresh fetches at once, whatever the interval.
        QTest::keyClick(m_window, Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() == 2 && settled(m_window), 10000);
        QCOMPARE(m_window->lblStatus->text(), Done);
    }

    void refreshDuringDownloadEndsItInErrorThenStartsAgain()
    {
        TTraceCapture trace;
        m_server->route(QStringLiteral("/cam.jpg"), stalled(jpegJfif(320, 240), 2000));
        QVERIFY(open());
        QVERIFY(m_server->waitForStalled(1));
        QTRY_COMPARE(m_window->lblStatus->text(), Downloading);
        // What has arrived so far is held in memory only.
        QCOMPARE(temporaryEntries(), QStringList());

        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(png(), "image/png"));
        QTest::keyClick(m_window, Qt::Key_F5);
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() == 2 && settled(m_window), 10000);

        QCOMPARE(m_window->lblStatus->text(), Done);
        QCOMPARE(m_window->ImageExt, QStringLiteral(".png"));
        QCOMPARE(temporaryEntries(), QStringList());
        const QStringList lines = trace.statusLines(QStringLiteral("Harbour"));
        // The stopped download ends in the error state before the new one starts.
        QCOMPARE(lines, (QStringList{Idle, Downloading, Idle, Error, Downloading, Done}));
    }

    void commandsInsideProgressReport_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("refresh") << "refresh";
        QTest::newRow("scale-50") << "scale";
        QTest::newRow("close") << "close";
    }
    void commandsInsideProgressReport()
    {
        QFETCH(QString, command);
        TTraceCapture trace;
        m_server->route(QStringLiteral("/cam.jpg"), dripping(jpegJfif(320, 240)));
        QVERIFY(open());
        // A download still running after a moment reports its progress piece by piece.
        QTRY_VERIFY(bool(m_window->HTTPGet1->OnProgress));
        // The command is posted from inside the next progress report; the report's own event
        // processing runs it there.
        TfrmImage* w = m_window;
        auto original = w->HTTPGet1->OnProgress;
        bool posted = false;
        w->HTTPGet1->OnProgress = [&, w, original](QObject* sender, qint32 total, qint32 readed) {
            if (!posted) {
                posted = true;
                m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(png(), "image/png"));
                if (command == QLatin1String("refresh"))
                    QMetaObject::invokeMethod(w->mnuRefresh, &QAction::trigger, Qt::QueuedConnection);
                else if (command == QLatin1String("scale"))
                    QMetaObject::invokeMethod(w->mnuScale50, &QAction::trigger, Qt::QueuedConnection);
                else
                    QMetaObject::invokeMethod(w->mnuClose, &QAction::trigger, Qt::QueuedConnection);
            }
            original(sender, total, readed);
        };

        if (command == QLatin1String("close")) {
            QTRY_VERIFY_WITH_TIMEOUT(!m_window, 10000);
            QVERIFY(m_server->waitForIdle());
            QCOMPARE(temporaryEntries(), QStringList());
            QCOMPARE(m_mainForm->Calls, QStringList{QStringLiteral("RemoveCameraWindow")});
            // The window closed inside the report, before it showed that report's progress; nothing
            // of the stopped download reached it afterwards.
            const QStringList lines = trace.statusLines(QStringLiteral("Harbour"));
            QCOMPARE(lines.mid(0, 2), (QStringList{Idle, Downloading}));
            QVERIFY(!lines.contains(Error) && !lines.contains(Done));
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(settled(m_window) && m_window->lblStatus->text() == Done, 10000);
        if (command == QLatin1String("refresh")) {
            QCOMPARE(m_server->requestCount(), 2);
            QCOMPARE(m_window->ImageExt, QStringLiteral(".png"));
            QCOMPARE(temporaryEntries(), QStringList());
            QVERIFY(trace.statusLines(QStringLiteral("Harbour")).contains(Error));
        } else {
            QCOMPARE(m_server->requestCount(), 1);
            QCOMPARE(m_window->Camera()->Scale, 50);
            QCOMPARE(m_window->Image1->size(), QSize(160, 120));
            QVERIFY(!trace.statusLines(QStringLiteral("Harbour")).contains(Error));
        }
    }

    // then: what the camera sends at the refresh after the first picture.
    void refreshLeavesNoTemporaryFile_data()
    {
        QTest::addColumn<TScriptedResponse>("first");
        QTest::addColumn<TScriptedResponse>("then");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("notModified");
        const TScriptedResponse first = TScriptedResponse::ok(jpegJfif(), "image/jpeg");
        TScriptedResponse validated = first;
        validated.ETag = "\"v1\"";
        QTest::newRow("new-picture") << first << TScriptedResponse::ok(png(), "image/png") << Done << 0;
        QTest::newRow("same-picture-again") << first << first << Done << 0;
        QTest::newRow("not-modified") << validated << validated << Done << 1;
        QTest::newRow("too-small-body")
            << first << TScriptedResponse::ok(QByteArray(200, 'x'), "image/jpeg") << Error << 0;
        QTest::newRow("error-page") << first << errorPage() << Error << 0;
    }
    void refreshLeavesNoTemporaryFile()
    {
        QFETCH(TScriptedResponse, first);
        QFETCH(TScriptedResponse, then);
        m_server->route(QStringLiteral("/cam.jpg"), first);
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        QCOMPARE(m_window->lblStatus->text(), Done);
        m_server->route(QStringLiteral("/cam.jpg"), then);
        m_window->mnuRefresh->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(m_server->requestCount() == 2 && settled(m_window), 10000);
        QTEST(m_window->lblStatus->text(), "status");
        QTEST(m_server->notModifiedCount(), "notModified");
        QCOMPARE(temporaryEntries(), QStringList());
    }

    void closeDuringStalledDownloadLeavesNothing()
    {
        TTraceCapture trace;
        m_server->route(QStringLiteral("/cam.jpg"), stalled(jpegJfif(320, 240), 3000));
        QVERIFY(open());
        QVERIFY(m_server->waitForStalled(1));
        // The bytes before the stall have arrived (and are held in memory only).
        QTRY_VERIFY(m_window->lblStatus->text().endsWith(QLatin1String("% downloaded")));
        QCOMPARE(temporaryEntries(), QStringList());
        const int linesBefore = trace.statusLines(QStringLiteral("Harbour")).size();
        m_window->close();
        QTRY_VERIFY(!m_window);
        QVERIFY(m_server->waitForIdle());
        QCOMPARE(temporaryEntries(), QStringList());
        QCOMPARE(trace.statusLines(QStringLiteral("Harbour")).size(), linesBefore);
    }

    void traceNamesCameraForEveryChange_data()
    {
        QTest::addColumn<bool>("slow");
        QTest::newRow("fast-download-no-progress-lines") << false;
        QTest::newRow("slow-download-reports-progress") << true;
    }
    void traceNamesCameraForEveryChange()
    {
        QFETCH(bool, slow);
        TTraceCapture trace;
        m_server->route(QStringLiteral("/cam.jpg"), slow ? dripping(jpegJfif(320, 240))
                                                         : TScriptedResponse::ok(jpegJfif(), "image/jpeg"));
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        const QStringList lines = trace.statusLines(QStringLiteral("Harbour"));
        QCOMPARE(lines.first(), Idle);
        QCOMPARE(lines.at(1), Downloading);
        QCOMPARE(lines.last(), Done);
        const QStringList progress = lines.mid(2, lines.size() - 3);
        if (!slow) {
            QVERIFY2(progress.isEmpty(), qPrintable(lines.join(QLatin1Char('|'))));
            return;
        }
        QVERIFY2(progress.size() >= 2, qPrintable(lines.join(QLatin1Char('|'))));
        for (const QString& line : progress)
            QVERIFY2(line.startsWith(QLatin1String("Status: ")) &&
                         line.endsWith(QLatin1String("% downloaded")),
                     qPrintable(line));
        // A change is traced once: repeated texts are not changes.
        for (qsizetype i = 1; i < lines.size(); ++i)
            QVERIFY(lines.at(i) != lines.at(i - 1));
    }
};

QTEST_MAIN(tst_fImageFetch)
#include "tst_fImageFetch.moc"
