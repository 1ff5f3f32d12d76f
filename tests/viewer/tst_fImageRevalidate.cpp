#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "net/HTTPGet.h"
#include "platform/TRegistry.h"
#include "viewer/TKeptPicture.h"
#include "viewer/TPictureBox.h"
#include "viewer/TRefreshCycle.h"
#include "viewer/fImage.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <memory>

#include "tests/support/TStoreSandbox.h"
#include "tests/support/TTestHttpServer.h"
#include "tests/support/WhenModalShows.h"

#include "TCameraFixtures.h"

using namespace CameraFixtures;

namespace {

const QString Done = QStringLiteral("Status: Done");
const QString Error = QStringLiteral("Status: Download Error");

TScriptedResponse picture(const QByteArray& body, const QByteArray& etag, const QByteArray& lastModified)
{
    TScriptedResponse r = TScriptedResponse::ok(body, "image/jpeg");
    r.ETag = etag;
    r.LastModified = lastModified;
    return r;
}

const QByteArray Monday = "Mon, 07 Dec 2026 14:05:00 GMT";

} // namespace

Q_DECLARE_METATYPE(TScriptedResponse)

// A camera window asks the camera whether its picture changed, and keeps it when it has not.
class tst_fImageRevalidate : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    std::unique_ptr<TTestHttpServer> m_server;
    std::unique_ptr<TRecordingMainForm> m_mainForm;
    QPointer<TfrmImage> m_window;
    QDateTime m_now = QDateTime(QDate(2026, 12, 7), QTime(14, 5));

    QString url() const { return m_server->url(QStringLiteral("/cam.jpg")); }

    TfrmImage* open(qint32 interval = 1)
    {
        auto* window = new TfrmImage(m_mainForm.get());
        m_window = window;
        window->RefreshCycle().SetClock([this] { return m_now; });
        window->BindCamera(camera(QStringLiteral("Harbour"), url(), interval));
        window->Alwaysontop1Click();
        window->show();
        return QTest::qWaitForWindowExposed(window) ? window : nullptr;
    }

    bool refresh()
    {
        const int before = m_server->requestCount();
        m_window->mnuRefresh->trigger();
        return m_server->waitForRequests(before + 1) && waitSettled(m_window);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void init()
    {
        m_server = std::make_unique<TTestHttpServer>();
        QVERIFY(m_server->start());
        m_mainForm = std::make_unique<TRecordingMainForm>();
        m_now = QDateTime(QDate(2026, 12, 7), QTime(14, 5));
    }

    void cleanup()
    {
        delete m_window;
        m_server.reset();
        m_mainForm.reset();
    }

    // first: the picture shown; then: what the camera answers to the refresh.
    void refreshAsksWhetherThePictureChanged_data()
    {
        QTest::addColumn<TScriptedResponse>("first");
        QTest::addColumn<TScriptedResponse>("then");
        QTest::addColumn<QByteArray>("ifNoneMatch");
        QTest::addColumn<QByteArray>("ifModifiedSince");
        QTest::addColumn<int>("notModified");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("samePicture"); // not decoded, not repainted
        QTest::addColumn<QSize>("natural");

        const QByteArray small = jpegJfif(64, 48);
        const QByteArray large = jpegJfif(120, 90);
        QTest::newRow("etag-matches-304-keeps-picture")
            << picture(small, "\"v1\"", Monday) << picture(small, "\"v1\"", Monday) << QByteArray("\"v1\"")
            << Monday << 1 << Done << true << QSize(64, 48);
        QTest::newRow("last-modified-only-304-keeps-picture")
            << picture(small, {}, Monday) << picture(small, {}, Monday) << QByteArray() << Monday << 1 << Done
            << true << QSize(64, 48);
        QTest::newRow("changed-etag-downloads-new-picture")
            << picture(small, "\"v1\"", {}) << picture(large, "\"v2\"", {}) << QByteArray("\"v1\"")
            << QByteArray() << 0 << Done << false << QSize(120, 90);
        QTest::newRow("no-validators-downloads-as-before")
            << picture(small, {}, {}) << picture(large, {}, {}) << QByteArray() << QByteArray() << 0 << Done
            << false << QSize(120, 90);
        QTest::newRow("byte-identical-200-not-decoded-again")
            << picture(small, {}, {}) << picture(small, {}, {}) << QByteArray() << QByteArray() << 0 << Done
            << true << QSize(64, 48);
        // The same bytes under a new ETag: still nothing to decode.
        QTest::newRow("byte-identical-200-new-etag")
            << picture(small, "\"v1\"", {}) << picture(small, "\"v1b\"", {}) << QByteArray("\"v1\"")
            << QByteArray() << 0 << Done << true << QSize(64, 48);
        TScriptedResponse broken = picture(large, {}, {});
        broken.AlwaysNotModified = true;
        QTest::newRow("304-without-validators-is-an-error")
            << picture(small, {}, {}) << broken << QByteArray() << QByteArray() << 1 << Error << true
            << QSize(64, 48);
    }
    void refreshAsksWhetherThePictureChanged()
    {
        QFETCH(TScriptedResponse, first);
        QFETCH(TScriptedResponse, then);
        QFETCH(QByteArray, ifNoneMatch);
        QFETCH(QByteArray, ifModifiedSince);
        QFETCH(int, notModified);
        QFETCH(QString, status);
        QFETCH(bool, samePicture);
        QFETCH(QSize, natural);

        m_server->route(QStringLiteral("/cam.jpg"), first);
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        QCOMPARE(m_window->lblStatus->text(), Done);
        QVERIFY(!m_server->lastRequest().hasHeader("If-None-Match"));
        QVERIFY(!m_server->lastRequest().hasHeader("If-Modified-Since"));
        const char* const shownBytes = m_window->Image1->Picture().Bytes().constData();
        const QString firstTimeLine = m_window->lblDateTime->text();

        TPaintCounter paints;
        m_window->Image1->installEventFilter(&paints);
        m_server->route(QStringLiteral("/cam.jpg"), then);
        m_now = m_now.addSecs(120);
        QVERIFY(refresh());

        const TRecordedRequest asked = m_server->lastRequest();
        QCOMPARE(asked.header("If-None-Match"), ifNoneMatch);
        QCOMPARE(asked.header("If-Modified-Since"), ifModifiedSince);
        // Every check still reaches the camera itself.
        QCOMPARE(asked.header("Cache-Control"), QByteArray("no-cache"));
        QCOMPARE(asked.header("Pragma"), QByteArray("no-cache"));
        QCOMPARE(m_server->notModifiedCount(), notModified);

        QCOMPARE(m_window->lblStatus->text(), status);
        QCOMPARE(QSize(m_window->Camera()->ImageWidth, m_window->Camera()->ImageHeight), natural);
        QCOMPARE(m_window->Image1->Picture().FrameSize(), natural);
        QCOMPARE(m_window->Image1->Picture().Bytes().constData() == shownBytes, samePicture);
        QCOMPARE(paints.Paints == 0, samePicture);
        QCOMPARE(m_window->lblDescription->text(), QStringLiteral("Harbour"));
        // After an answer the time line tells when it came; a wrong answer leaves it as it was.
        QCOMPARE(m_window->lblDateTime->text() != firstTimeLine, status == Done);
        QVERIFY(!QFile::exists(m_window->HTTPGet1->FileName));
    }

    // After the camera confirmed the picture, the next question carries the same validators.
    void confirmedPictureIsAskedAboutAgain()
    {
        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(), "\"v1\"", {}));
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        QVERIFY(refresh());
        QVERIFY(refresh());
        QCOMPARE(m_server->notModifiedCount(), 2);
        QCOMPARE(m_server->lastRequest().header("If-None-Match"), QByteArray("\"v1\""));
        QCOMPARE(m_window->lblStatus->text(), Done);
    }

    // A camera refreshed every five minutes sends the same picture from 14:05 on.
    void unchangedCameraIsMarkedFrozen()
    {
        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(), "\"v1\"", {}));
        QVERIFY(open(5));
        QVERIFY(waitSettled(m_window));
        QSignalSpy frozen(m_window.data(), &TfrmImage::FrozenChanged);
        const QString shownAt = m_window->lblDateTime->text();

        m_now = m_now.addSecs(300);
        QVERIFY(refresh());
        QVERIFY(m_window->lblDateTime->text() != shownAt);
        QVERIFY(!m_window->lblDateTime->text().contains(QLatin1String("since")));
        m_now = m_now.addSecs(300);
        QVERIFY(refresh());
        QCOMPARE(m_window->lblDateTime->text(), QStringLiteral("unchanged since 14:05"));
        QVERIFY(!m_window->Frozen());
        m_now = m_now.addSecs(300);
        QVERIFY(refresh());
        QCOMPARE(m_window->lblDateTime->text(), QStringLiteral("frozen since 14:05"));
        QVERIFY(m_window->Frozen());
        QCOMPARE(frozen.size(), 1);
        QCOMPARE(frozen.at(0).at(0).toBool(), true);
        // The status line keeps its texts.
        QCOMPARE(m_window->lblStatus->text(), Done);

        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(120, 90), "\"v2\"", {}));
        m_now = m_now.addSecs(300);
        QVERIFY(refresh());
        QVERIFY(!m_window->Frozen());
        QCOMPARE(frozen.size(), 2);
        QCOMPARE(frozen.at(1).at(0).toBool(), false);
        QVERIFY(!m_window->lblDateTime->text().contains(QLatin1String("since")));
        QCOMPARE(m_window->Camera()->ImageWidth, 120);
    }

    // A favourite keeps its picture's validators in its key (and the picture beside the store),
    // so that the first refresh of the next start asks instead of downloading.
    void favouriteAsksAboutItsLastPictureAfterAStart_data()
    {
        QTest::addColumn<bool>("keptFileGone");
        QTest::addColumn<bool>("urlChanged");
        QTest::addColumn<bool>("asked");
        QTest::newRow("kept-picture-answered-304") << false << false << true;
        QTest::newRow("kept-file-missing-asks-plainly") << true << false << false;
        // As an imported .reg file may do: the same server would answer the old validators 304.
        QTest::newRow("url-changed-meanwhile-asks-plainly") << false << true << false;
    }
    void favouriteAsksAboutItsLastPictureAfterAStart()
    {
        QFETCH(bool, keptFileGone);
        QFETCH(bool, urlChanged);
        QFETCH(bool, asked);
        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(90, 60), "\"v1\"", Monday));
        std::unique_ptr<TWebCamera> stored(camera(QStringLiteral("Harbour"), url(), 5));
        // Nothing kept from an earlier row.
        stored->ClearReg();
        QFile::remove(TKeptPicture::FilePath(stored->FavoriteKeyPath()));
        QVERIFY(stored->SaveToReg());
        const auto start = [this] {
            auto c = std::make_unique<TWebCamera>();
            c->SetDescription(QStringLiteral("Harbour"));
            c->LoadFromReg();
            auto* window = new TfrmImage(m_mainForm.get());
            m_window = window;
            window->RefreshCycle().SetClock([this] { return m_now; });
            window->BindCamera(std::move(c));
            window->show();
            return QTest::qWaitForWindowExposed(window) && waitSettled(window);
        };
        QVERIFY(start());
        QCOMPARE(m_window->lblStatus->text(), Done);
        const QString key = m_window->Camera()->FavoriteKeyPath();
        TRegKey stored1 = TRegKey::open(TRegRoot::CurrentUser, key);
        QCOMPARE(stored1.readString(QStringLiteral("ETag")),
                 std::optional<QString>(QStringLiteral("\"v1\"")));
        QCOMPARE(stored1.readString(QStringLiteral("LastModified")),
                 std::optional<QString>(QString::fromLatin1(Monday)));
        delete m_window;
        if (keptFileGone)
            QVERIFY(QFile::remove(TKeptPicture::FilePath(key)));
        if (urlChanged)
            QVERIFY(stored1.writeString(QStringLiteral("URL"), url() + QStringLiteral("?moved")));
        stored1.close();

        QVERIFY(start());
        QCOMPARE(m_server->requestCount(), 2);
        const TRecordedRequest first = m_server->lastRequest();
        QCOMPARE(first.header("If-None-Match"), asked ? QByteArray("\"v1\"") : QByteArray());
        QCOMPARE(first.hasHeader("If-Modified-Since"), asked);
        QCOMPARE(m_server->notModifiedCount(), asked ? 1 : 0);
        QCOMPARE(m_window->lblStatus->text(), Done);
        QCOMPARE(QSize(m_window->Camera()->ImageWidth, m_window->Camera()->ImageHeight), QSize(90, 60));
        QCOMPARE(m_window->Image1->size(), QSize(90, 60));
        QCOMPARE(m_window->Image1->Picture().Format(), TPicture::TFormat::Jpeg);
    }

    // A busy favourite does not write its store on every new picture: at most every ten minutes,
    // and the newest when its window closes.
    void keptPictureIsWrittenAtMostEveryTenMinutes()
    {
        std::unique_ptr<TWebCamera> stored(camera(QStringLiteral("Harbour"), url(), 1));
        stored->ClearReg();
        QVERIFY(stored->SaveToReg());
        const QString key = stored->FavoriteKeyPath();
        const auto keptETag = [&key] {
            return TRegKey::open(TRegRoot::CurrentUser, key)
                .readString(QStringLiteral("ETag"))
                .value_or(QString());
        };
        const auto serve = [this](int width, const QByteArray& etag) {
            m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(width, 40), etag, {}));
        };
        serve(60, "\"v1\"");
        QVERIFY(open(1));
        QVERIFY(waitSettled(m_window));
        QCOMPARE(keptETag(), QStringLiteral("\"v1\""));

        serve(61, "\"v2\"");
        m_now = m_now.addSecs(120);
        QVERIFY(refresh());
        QCOMPARE(m_window->Camera()->ImageWidth, 61);
        QCOMPARE(keptETag(), QStringLiteral("\"v1\""));
        serve(62, "\"v3\"");
        m_now = m_now.addSecs(600);
        QVERIFY(refresh());
        QCOMPARE(keptETag(), QStringLiteral("\"v3\""));
        serve(63, "\"v4\"");
        m_now = m_now.addSecs(60);
        QVERIFY(refresh());
        QCOMPARE(keptETag(), QStringLiteral("\"v3\""));
        m_window->close();
        QCOMPARE(keptETag(), QStringLiteral("\"v4\""));
    }

    // Renamed in its window's settings, a favourite takes its kept picture along: nothing stays
    // under the old name, and the new one has it once the window closes.
    void renamedFavouriteTakesItsKeptPicture()
    {
        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(60, 40), "\"v1\"", {}));
        std::unique_ptr<TWebCamera> stored(camera(QStringLiteral("Harbour"), url(), 1));
        stored->ClearReg();
        QVERIFY(stored->SaveToReg());
        std::unique_ptr<TWebCamera> renamed(camera(QStringLiteral("Quay"), url(), 1));
        const auto forget = qScopeGuard([&renamed] { renamed->ClearReg(); });
        const QString oldFile = TKeptPicture::FilePath(stored->FavoriteKeyPath());
        QVERIFY(open(1));
        QVERIFY(waitSettled(m_window));
        QVERIFY(QFile::exists(oldFile));

        whenModalShows<TfrmCameraSettings>([](TfrmCameraSettings* dialog) {
            dialog->edtDescr->setText(QStringLiteral("Quay"));
            QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
        });
        m_window->mnuSettingsClick();
        QCOMPARE(m_window->Camera()->Description, QStringLiteral("Quay"));
        QVERIFY(!QFile::exists(oldFile));
        m_window->close();
        TKeptPicture::TKept kept;
        QVERIFY(TKeptPicture::Load(renamed->FavoriteKeyPath(), &kept));
        QCOMPARE(kept.ETag, QByteArray("\"v1\""));
        QCOMPARE(kept.Body, jpegJfif(60, 40));
    }

    // Another address is another camera: what the old picture was asked with is not sent there,
    // even to a server that would answer it with 304 (here both pictures carry the same
    // validators), and the favourite no longer keeps the old picture for the next start.
    void newAddressAsksUnconditionally()
    {
        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(60, 40), "\"v1\"", Monday));
        m_server->route(QStringLiteral("/other.jpg"), picture(jpegJfif(80, 50), "\"v1\"", Monday));
        std::unique_ptr<TWebCamera> stored(camera(QStringLiteral("Harbour"), url(), 1));
        stored->ClearReg();
        QVERIFY(stored->SaveToReg());
        const auto forget = qScopeGuard([&stored] { stored->ClearReg(); });
        QVERIFY(open(1));
        QVERIFY(waitSettled(m_window));
        QCOMPARE(m_window->Camera()->ImageWidth, 60);
        m_window->close();
        TKeptPicture::TKept kept;
        QVERIFY(TKeptPicture::Load(stored->FavoriteKeyPath(), &kept));
        delete m_window;
        QVERIFY(open(1));
        QVERIFY(waitSettled(m_window));
        QCOMPARE(m_server->notModifiedCount(), 1);

        const int before = m_server->requestCount();
        whenModalShows<TfrmCameraSettings>([this](TfrmCameraSettings* dialog) {
            dialog->edtURL->setText(m_server->url(QStringLiteral("/other.jpg")));
            QTest::mouseClick(dialog->btnOk, Qt::LeftButton);
        });
        m_window->mnuSettings->trigger();
        QVERIFY(m_server->waitForRequests(before + 1));
        QVERIFY(waitSettled(m_window));
        const TRecordedRequest asked = m_server->lastRequest();
        QCOMPARE(asked.Target, QByteArray("/other.jpg"));
        QVERIFY(!asked.hasHeader("If-None-Match"));
        QVERIFY(!asked.hasHeader("If-Modified-Since"));
        QCOMPARE(m_server->notModifiedCount(), 1);
        QCOMPARE(m_window->lblStatus->text(), Done);
        QCOMPARE(m_window->Camera()->ImageWidth, 80);
        QCOMPARE(m_window->Image1->Picture().FrameSize(), QSize(80, 50));
        m_window->close();
        QVERIFY(TKeptPicture::Load(stored->FavoriteKeyPath(), &kept));
        QCOMPARE(kept.Body, jpegJfif(80, 50));
    }

    // A picture that failed (placeholder shown) is not asked about: the camera sends it whole.
    void placeholderAsksUnconditionally()
    {
        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(), "\"v1\"", Monday));
        QVERIFY(open());
        QVERIFY(waitSettled(m_window));
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(htmlErrorPage(), "text/html"));
        // The error page comes with no validators of its own, and nothing is known of the picture
        // the camera shows now.
        QVERIFY(refresh());
        QCOMPARE(m_window->lblStatus->text(), Error);
        m_server->route(QStringLiteral("/cam.jpg"), picture(jpegJfif(), "\"v1\"", Monday));
        QVERIFY(refresh());
        QVERIFY(!m_server->lastRequest().hasHeader("If-None-Match"));
        QVERIFY(!m_server->lastRequest().hasHeader("If-Modified-Since"));
        QCOMPARE(m_window->lblStatus->text(), Done);
        QCOMPARE(m_window->Camera()->ImageWidth, 64);
    }
};

QTEST_MAIN(tst_fImageRevalidate)
#include "tst_fImageRevalidate.moc"
