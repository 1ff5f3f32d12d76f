#include "net/HTTPGet.h"
#include "net/HTTPGetThread.h"
#include "net/TCurlHttpClient.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "tests/support/TDownloadPieces.h"
#include "tests/support/TNginxServer.h"
#include "tests/support/TTestHttpServer.h"

Q_DECLARE_METATYPE(TScriptedResponse)

namespace {

// One download through the component and what it reported.
struct TRun
{
    QList<QPair<qint32, qint32>> Progress;
    int Done = 0;
    int Errors = 0;
    qint32 FileSize = -1;

    void attach(THTTPGet& get)
    {
        get.OnProgress = [this](QObject*, qint32 total, qint32 readed) { Progress.append({total, readed}); };
        get.OnDoneFile = [this](QObject*, const QString&, qint32 size) {
            ++Done;
            FileSize = size;
        };
        get.OnError = [this](QObject*) { ++Errors; };
    }
    int ends() const { return Done + Errors; }

    // Every report must follow one new piece of at most a block and carry the announced size.
    QString piecesProblem(qint32 announced) const
    {
        return DownloadPieces::Problem(Progress, announced, TCurlHttpClient::ChunkSize);
    }
};

QByteArray fileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

THttpClientFactory clientWith(const QString& caFile, int stallTimeoutMs = 60000)
{
    return [caFile, stallTimeoutMs]() -> std::unique_ptr<THttpClient> {
        auto client = std::make_unique<TCurlHttpClient>();
        client->setCaFile(caFile);
        client->setStallTimeout(stallTimeoutMs);
        return client;
    };
}

} // namespace

class tst_TCurlHttpClient : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TTestHttpServer m_server;

    QString target() const { return m_dir.filePath(QStringLiteral("download.gif")); }

    void prepare(THTTPGet& get, const QString& url, TRun& run)
    {
        get.URL = url;
        get.FileName = target();
        run.attach(get);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_server.start());
        // The tests talk to 127.0.0.1 only; a proxy from the environment must not step in.
        qputenv("no_proxy", "*");
    }

    void init()
    {
        QFile::remove(target());
        m_server.clearRoutes();
    }

    void cleanup() { QTRY_COMPARE(THTTPGetThread::liveCount(), 0); }

    void downloadsScriptedResponse_data()
    {
        QTest::addColumn<TScriptedResponse>("response");
        QTest::addColumn<bool>("binaryData");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("announced");

        const QByteArray body3000 = DownloadPieces::RandomBytes(3000);
        QTest::newRow("length-announced")
            << TScriptedResponse::ok(body3000) << true << true << body3000 << 3000;

        TScriptedResponse noLength = TScriptedResponse::ok(QByteArray(800, 'n'));
        noLength.SendContentLength = false;
        QTest::newRow("no-length") << noLength << false << true << QByteArray(800, 'n') << 0;
        // Refused before the body is read: the target file is not even created.
        QTest::newRow("no-length-binary-unread") << noLength << true << false << QByteArray("<missing>") << 0;

        TScriptedResponse shortBody = TScriptedResponse::ok(QByteArray(600, 's'));
        shortBody.AnnouncedLength = 1000;
        QTest::newRow("length-not-delivered") << shortBody << false << false << QByteArray(600, 's') << 1000;

        QTest::newRow("zero-length") << TScriptedResponse::ok(QByteArray()) << true << true << QByteArray()
                                     << 0;

        TScriptedResponse notFound = TScriptedResponse::ok("<html>no such camera</html>", "text/html");
        notFound.Status = 404;
        notFound.Reason = "Not Found";
        QTest::newRow("error-status-body-delivered")
            << notFound << true << true << QByteArray("<html>no such camera</html>") << 27;

        TScriptedResponse closed;
        closed.CloseAtOnce = true;
        QTest::newRow("closed-at-once") << closed << false << true << QByteArray() << 0;
        QTest::newRow("closed-at-once-binary") << closed << true << false << QByteArray("<missing>") << 0;

        TScriptedResponse drip = TScriptedResponse::ok(DownloadPieces::RandomBytes(1200));
        drip.DripBytes = 100;
        drip.DripDelayMs = 20;
        QTest::newRow("slow-drip") << drip << true << true << drip.Body << 1200;

        // A small body that a client decoding transfer codings would inflate a thousandfold.
        const QByteArray deflated = qCompress(QByteArray(1 << 20, 'A')).mid(4);
        TScriptedResponse deflateCoding = TScriptedResponse::ok(deflated);
        deflateCoding.SendContentLength = false;
        deflateCoding.Headers = {{"Transfer-Encoding", "deflate"}};
        QTest::newRow("deflate-transfer-coding-counts-as-no-response")
            << deflateCoding << false << true << QByteArray() << 0;
        TScriptedResponse stackedCoding = deflateCoding;
        stackedCoding.Headers = {{"Transfer-Encoding", "deflate, chunked"}};
        stackedCoding.Body = QByteArray::number(deflated.size(), 16) + "\r\n" + deflated + "\r\n0\r\n\r\n";
        QTest::newRow("coding-under-chunked-counts-as-no-response")
            << stackedCoding << false << true << QByteArray() << 0;
        TScriptedResponse chunked = TScriptedResponse::ok("5\r\nhello\r\n7\r\n camera\r\n0\r\n\r\n");
        chunked.SendContentLength = false;
        chunked.Headers = {{"Transfer-Encoding", "Chunked"}};
        QTest::newRow("chunked-decoded") << chunked << false << true << QByteArray("hello camera") << 0;
        TScriptedResponse contentCoding = TScriptedResponse::ok(deflated);
        contentCoding.Headers = {{"Content-Encoding", "deflate"}};
        QTest::newRow("content-coding-kept-as-sent")
            << contentCoding << false << true << deflated << int(deflated.size());

        TScriptedResponse digest = TScriptedResponse::ok("digest secret");
        digest.Auth = TScriptedResponse::TAuth::Digest;
        digest.AuthUser = "abcd";
        digest.AuthPassword = "123456";
        QTest::newRow("digest-challenge-answered")
            << digest << true << true << QByteArray("digest secret") << 13;

        TScriptedResponse basic = TScriptedResponse::ok("basic secret");
        basic.Auth = TScriptedResponse::TAuth::Basic;
        basic.AuthUser = "abcd";
        basic.AuthPassword = "123456";
        QTest::newRow("basic-challenge-answered")
            << basic << true << true << QByteArray("basic secret") << 12;

        TScriptedResponse refused = basic;
        refused.AuthPassword = "654321";
        QTest::newRow("wrong-password-gets-challenge-page")
            << refused << true << true << refused.ChallengeBody << int(refused.ChallengeBody.size());
    }

    void downloadsScriptedResponse()
    {
        QFETCH(TScriptedResponse, response);
        QFETCH(bool, binaryData);
        m_server.route(QStringLiteral("/cam.jpg"), response);
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/cam.jpg")), run);
        get.BinaryData = binaryData;
        get.UserName = QStringLiteral("abcd");
        get.Password = QStringLiteral("123456");
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);

        QFETCH(bool, done);
        QFETCH(QByteArray, file);
        QFETCH(int, announced);
        QCOMPARE(run.ends(), 1);
        QCOMPARE(run.Done, done ? 1 : 0);
        QCOMPARE(fileContent(target()), file);
        if (done)
            QCOMPARE(run.FileSize, int(file.size()));
        if (!file.isEmpty() && file != "<missing>") {
            QVERIFY(!run.Progress.isEmpty());
            QCOMPARE(run.Progress.last(), qMakePair(announced, int(file.size())));
        }
        const QString problem = run.piecesProblem(announced);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // A picture of 300 KB that the server sends at once comes off the socket in large blocks:
    // far fewer pieces (each one a progress report and a file write) than a kilobyte each.
    void largeBodyArrivesInLargePieces()
    {
        const QByteArray body = DownloadPieces::RandomBytes(300 * 1024);
        m_server.route(QStringLiteral("/large.jpg"), TScriptedResponse::ok(body));
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/large.jpg")), run);
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);
        QCOMPARE(run.Done, 1);
        QCOMPARE(fileContent(target()), body);
        qint32 largest = 0;
        qint32 previous = 0;
        for (const auto& report : run.Progress) {
            largest = std::max(largest, report.second - previous);
            previous = report.second;
        }
        QVERIFY2(largest > 1025, qPrintable(QStringLiteral("largest piece %1 bytes").arg(largest)));
        QVERIFY2(run.Progress.size() < 300, qPrintable(QStringLiteral("%1 pieces").arg(run.Progress.size())));
        const QString problem = run.piecesProblem(int(body.size()));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void followsRedirects_data()
    {
        QTest::addColumn<int>("hops");
        QTest::addColumn<bool>("done");
        QTest::newRow("one-redirect") << 1 << true;
        QTest::newRow("ten-redirects") << 10 << true;
        QTest::newRow("eleven-redirects") << 11 << false;
    }

    void followsRedirects()
    {
        QFETCH(int, hops);
        QFETCH(bool, done);
        for (int i = 0; i < hops; ++i) {
            m_server.route(QStringLiteral("/hop%1").arg(i),
                           TScriptedResponse::redirect(QStringLiteral("/hop%1").arg(i + 1).toUtf8()));
        }
        m_server.route(QStringLiteral("/hop%1").arg(hops), TScriptedResponse::ok("arrived"));
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/hop0")), run);
        get.BinaryData = true;
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);
        QCOMPARE(run.Done, done ? 1 : 0);
        QCOMPARE(run.Errors, done ? 0 : 1);
        if (done)
            QCOMPARE(fileContent(target()), QByteArray("arrived"));
    }

    void sendsRequestHeaders_data()
    {
        QTest::addColumn<QString>("postQuery");
        QTest::addColumn<bool>("useCache");
        QTest::addColumn<QByteArray>("requestLine");
        QTest::newRow("get-no-cache") << QString() << false << QByteArray("GET /cam.jpg?size=2 HTTP/1.0");
        QTest::newRow("get-cache-allowed") << QString() << true << QByteArray("GET /cam.jpg?size=2 HTTP/1.0");
        QTest::newRow("post-form") << "a=1&b=2" << false << QByteArray("POST /cam.jpg?size=2 HTTP/1.0");
    }

    void sendsRequestHeaders()
    {
        QFETCH(QString, postQuery);
        QFETCH(bool, useCache);
        m_server.route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok("x"));
        THTTPGet get;
        TRun run;
        prepare(get, QStringLiteral("HtTp://") + m_server.url(QStringLiteral("/cam.jpg?size=2")), run);
        get.Agent = QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
        get.Referer = QStringLiteral("127.0.0.1/cams/");
        get.AcceptTypes = QStringLiteral("image/*");
        get.PostQuery = postQuery;
        get.UseCache = useCache;
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);
        QCOMPARE(run.Done, 1);

        const TRecordedRequest request = m_server.lastRequest();
        QTEST(request.Head.left(request.Head.indexOf("\r\n")), "requestLine");
        QCOMPARE(request.header("Host"), QByteArray("127.0.0.1:") + QByteArray::number(m_server.port()));
        QCOMPARE(request.header("User-Agent"),
                 QByteArray("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"));
        QCOMPARE(request.header("Referer"), QByteArray("127.0.0.1/cams/"));
        QCOMPARE(request.header("Accept"), QByteArray("image/*"));
        QCOMPARE(request.header("Cache-Control"), useCache ? QByteArray() : QByteArray("no-cache"));
        QCOMPARE(request.header("Pragma"), useCache ? QByteArray() : QByteArray("no-cache"));
        QVERIFY(!request.hasHeader("Authorization"));
        if (postQuery.isEmpty()) {
            QVERIFY(request.Body.isEmpty());
            QVERIFY(!request.hasHeader("Content-Type"));
        } else {
            QCOMPARE(request.Body, QByteArray("a=1&b=2"));
            QCOMPARE(request.header("Content-Length"), QByteArray("7"));
            QCOMPARE(request.header("Content-Type"), QByteArray("application/x-www-form-urlencoded"));
        }
    }

    void emptyAgentSendsNone()
    {
        m_server.route(QStringLiteral("/a"), TScriptedResponse::ok("x"));
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/a")), run);
        get.Agent.clear();
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);
        QVERIFY(!m_server.lastRequest().hasHeader("User-Agent"));
    }

    void noCacheDownloadsBothReachServer()
    {
        m_server.route(QStringLiteral("/twice.jpg"), TScriptedResponse::ok("same"));
        const int before = m_server.requestCount(QStringLiteral("/twice.jpg"));
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/twice.jpg")), run);
        get.WaitThread = true;
        get.StartDownload();
        get.StartDownload();
        QCOMPARE(run.Done, 2);
        QCOMPARE(m_server.requestCount(QStringLiteral("/twice.jpg")) - before, 2);
    }

    void unreachableServerGivesEmptyResult_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("binaryData");
        QTest::addColumn<bool>("done");
        TTestHttpServer gone;
        QVERIFY(gone.start());
        const QString refused = gone.url(QStringLiteral("/a.jpg"));
        gone.stop();
        QTest::newRow("no-slash") << "127.0.0.1" << false << true;
        QTest::newRow("no-slash-binary") << "127.0.0.1" << true << false;
        QTest::newRow("connection-refused") << refused << false << true;
        QTest::newRow("connection-refused-binary") << refused << true << false;
        QTest::newRow("host-with-user-part") << "abcd:1234@127.0.0.1/a.jpg" << true << false;
    }

    void unreachableServerGivesEmptyResult()
    {
        QFETCH(QString, url);
        QFETCH(bool, binaryData);
        QFETCH(bool, done);
        THTTPGet get;
        TRun run;
        prepare(get, url, run);
        get.BinaryData = binaryData;
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);
        QCOMPARE(run.Done, done ? 1 : 0);
        QCOMPARE(run.Errors, done ? 0 : 1);
        QVERIFY(run.Progress.isEmpty());
        if (done) {
            QCOMPARE(run.FileSize, 0);
            QCOMPARE(fileContent(target()), QByteArray());
        }
    }

    void stopEndsStalledTransfer_data()
    {
        QTest::addColumn<int>("stallAfter");
        QTest::newRow("stalled-before-body") << 0;
        QTest::newRow("stalled-inside-body") << 2000;
    }

    // Without the stop reaching into the wait, these would sit out the 60-second stall limit.
    void stopEndsStalledTransfer()
    {
        QFETCH(int, stallAfter);
        TScriptedResponse stall = TScriptedResponse::ok(DownloadPieces::RandomBytes(5000));
        stall.StallAfter = stallAfter;
        m_server.route(QStringLiteral("/stall.jpg"), stall);
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/stall.jpg")), run);
        get.StartDownload();
        QVERIFY(m_server.waitForStalled(1));
        QTRY_COMPARE(run.Progress.isEmpty() ? 0 : run.Progress.last().second, stallAfter);
        get.StopDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 5000);
        QCOMPARE(run.Errors, 1);
        QCOMPARE(run.Done, 0);
        QVERIFY(m_server.waitForIdle());
    }

    void stalledServerTimesOut_data()
    {
        QTest::addColumn<int>("dripDelayMs");
        QTest::addColumn<int>("stallAfter");
        QTest::addColumn<int>("progressIntervalMs");
        QTest::addColumn<bool>("done");
        QTest::newRow("silent-server-fails") << 0 << 100 << 0 << false;
        QTest::newRow("slow-but-steady-server-succeeds") << 150 << -1 << 0 << true;
        // Reports during the silence do not keep a silent server alive.
        QTest::newRow("silent-server-fails-between-reports") << 0 << 100 << 250 << false;
    }

    // Measured per byte gap, not as an average rate: a slow server that keeps sending is fine.
    void stalledServerTimesOut()
    {
        QFETCH(int, dripDelayMs);
        QFETCH(int, stallAfter);
        TScriptedResponse response = TScriptedResponse::ok(DownloadPieces::RandomBytes(300));
        response.DripBytes = 1;
        response.DripDelayMs = dripDelayMs;
        response.StallAfter = stallAfter;
        if (dripDelayMs > 0)
            response.Body.truncate(12);
        m_server.route(QStringLiteral("/slow.jpg"), response);
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/slow.jpg")), run);
        get.setClientFactory(clientWith(QString(), 600));
        QFETCH(int, progressIntervalMs);
        get.ProgressIntervalMs = progressIntervalMs;
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);
        QFETCH(bool, done);
        QCOMPARE(run.Done, done ? 1 : 0);
        QCOMPARE(run.Errors, done ? 0 : 1);
        QVERIFY(m_server.waitForIdle());
    }

    // The validators of the answer reach the owner; asked with them, the camera answers 304,
    // which ends without a body and without a file.
    void conditionalRequestEndsWithoutBody_data()
    {
        QTest::addColumn<QByteArray>("extra");
        QTest::addColumn<int>("status");
        QTest::addColumn<qint32>("fileSize");
        QTest::newRow("unconditional-200") << QByteArray() << 200 << qint32(3000);
        QTest::newRow("if-none-match-304") << QByteArray("If-None-Match: \"v7\"\r\n") << 304 << qint32(0);
        QTest::newRow("if-modified-since-304")
            << QByteArray("If-Modified-Since: Mon, 07 Dec 2026 14:05:00 GMT\r\n") << 304 << qint32(0);
    }
    void conditionalRequestEndsWithoutBody()
    {
        QFETCH(QByteArray, extra);
        QFETCH(int, status);
        QFETCH(qint32, fileSize);
        TScriptedResponse response = TScriptedResponse::ok(DownloadPieces::RandomBytes(3000));
        response.ETag = "\"v7\"";
        response.LastModified = "Mon, 07 Dec 2026 14:05:00 GMT";
        m_server.route(QStringLiteral("/cond.jpg"), response);
        TRun run;
        THTTPGet get;
        prepare(get, m_server.url(QStringLiteral("/cond.jpg")), run);
        get.ExtraHeaders = extra;
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);
        QCOMPARE(run.Done, 1);
        QCOMPARE(run.FileSize, fileSize);
        QCOMPARE(get.ResponseStatus, status);
        QCOMPARE(get.ResponseETag, QByteArray("\"v7\""));
        QCOMPARE(get.ResponseLastModified, QByteArray("Mon, 07 Dec 2026 14:05:00 GMT"));
        QCOMPARE(QFile::exists(target()), status == 200);
        QCOMPARE(m_server.lastRequest().header("Cache-Control"), QByteArray("no-cache"));
    }

    // A program that quits while a camera stalls: the end of the event loop stops the read that
    // waits for the silent server and joins its thread.
    void quitDuringStalledDownloadStopsItsThread()
    {
        TScriptedResponse stall = TScriptedResponse::ok(DownloadPieces::RandomBytes(5000));
        stall.StallAfter = 1500;
        m_server.route(QStringLiteral("/stall.jpg"), stall);
        TRun run;
        THTTPGet get;
        prepare(get, m_server.url(QStringLiteral("/stall.jpg")), run);
        get.StartDownload();
        QVERIFY(m_server.waitForStalled(1));
        // Everything the server sent before falling silent has arrived.
        QTRY_VERIFY(!run.Progress.isEmpty() && run.Progress.last().second == 1500);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
        QCOMPARE(THTTPGetThread::runningThreads(), 0);
        QCOMPARE(THTTPGetThread::liveCount(), 0);
        QVERIFY(m_server.waitForIdle());
        QCOMPARE(run.ends(), 0);
    }

    void destroyedWhileStalledDeliversNothing()
    {
        TScriptedResponse stall = TScriptedResponse::ok(DownloadPieces::RandomBytes(5000));
        stall.StallAfter = 1500;
        m_server.route(QStringLiteral("/stall.jpg"), stall);
        TRun run;
        auto* get = new THTTPGet;
        prepare(*get, m_server.url(QStringLiteral("/stall.jpg")), run);
        get->StartDownload();
        QVERIFY(m_server.waitForStalled(1));
        // Everything the server sent before falling silent has arrived.
        QTRY_VERIFY(!run.Progress.isEmpty() && run.Progress.last().second == 1500);
        const qsizetype reports = run.Progress.size();
        delete get;
        QTRY_COMPARE(THTTPGetThread::liveCount(), 0);
        QVERIFY(m_server.waitForIdle());
        QCOMPARE(run.Progress.size(), reports);
        QCOMPARE(run.ends(), 0);
    }

    void explicitPortAndSchemeInAnyCase()
    {
        m_server.route(QStringLiteral("/a.jpg"), TScriptedResponse::ok("port honoured"));
        THTTPGet get;
        TRun run;
        prepare(get, QStringLiteral("HTTP://") + m_server.url(QStringLiteral("/a.jpg")), run);
        get.WaitThread = true;
        get.StartDownload();
        QCOMPARE(run.Done, 1);
        QCOMPARE(fileContent(target()), QByteArray("port honoured"));
        QCOMPARE(m_server.lastRequest().Target, QByteArray("/a.jpg"));
    }

    void blanksInPathAreEscaped()
    {
        m_server.route(QStringLiteral("/my%20cam.jpg"), TScriptedResponse::ok("escaped"));
        THTTPGet get;
        TRun run;
        prepare(get, m_server.url(QStringLiteral("/my cam.jpg")), run);
        get.WaitThread = true;
        get.StartDownload();
        QCOMPARE(run.Done, 1);
        QCOMPARE(m_server.lastRequest().Target, QByteArray("/my%20cam.jpg"));
        QCOMPARE(fileContent(target()), QByteArray("escaped"));
    }

    void servesThroughNginx_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("userName");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("served");
        QTest::newRow("ordinary-file") << "/images/cam.jpg"
                                       << ""
                                       << "" << true;
        QTest::newRow("basic-auth") << "/private/cam.jpg"
                                    << "abcd"
                                    << "123456" << true;
        QTest::newRow("basic-auth-wrong-password") << "/private/cam.jpg"
                                                   << "abcd"
                                                   << "000000" << false;
        QTest::newRow("missing-file") << "/images/none.jpg"
                                      << ""
                                      << "" << false;
    }

    void servesThroughNginx()
    {
        QFETCH(QString, path);
        QFETCH(QString, userName);
        QFETCH(QString, password);
        QFETCH(bool, served);
        QTemporaryDir root;
        QVERIFY(QDir(root.path()).mkpath(QStringLiteral("images")) &&
                QDir(root.path()).mkpath(QStringLiteral("private")));
        const QByteArray image = DownloadPieces::RandomBytes(200 * 1024);
        QVERIFY(writeFile(root.filePath(QStringLiteral("images/cam.jpg")), image));
        QVERIFY(writeFile(root.filePath(QStringLiteral("private/cam.jpg")), image));
        TNginxServer nginx;
        TNginxOptions options;
        options.DocumentRoot = root.path();
        options.BasicAuthLocation = QStringLiteral("/private/");
        options.BasicAuthUser = "abcd";
        options.BasicAuthPassword = "123456";
        QVERIFY2(nginx.start(options), qPrintable(nginx.errorText()));

        THTTPGet get;
        TRun run;
        prepare(get, nginx.url(path), run);
        get.UserName = userName;
        get.Password = password;
        get.WaitThread = true;
        get.StartDownload();
        // The status is not examined: an error page arrives like any other body.
        QCOMPARE(run.Done, 1);
        const QByteArray content = fileContent(target());
        QCOMPARE(content == image, served);
        QCOMPARE(run.FileSize, int(content.size()));
        const QString problem = run.piecesProblem(int(content.size()));
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        QCOMPARE(run.Progress.last().second, int(content.size()));
    }

    void fetchesOverTls_data()
    {
        QTest::addColumn<QString>("certificateName");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("binaryData");
        QTest::addColumn<bool>("served");
        QTest::newRow("trusted-certificate") << "127.0.0.1" << true << true << true;
        QTest::newRow("untrusted-certificate") << "127.0.0.1" << false << true << false;
        QTest::newRow("untrusted-certificate-text-mode") << "127.0.0.1" << false << false << false;
        QTest::newRow("certificate-for-other-host") << "camera.example" << true << true << false;
    }

    void fetchesOverTls()
    {
        QFETCH(QString, certificateName);
        QFETCH(bool, trusted);
        QFETCH(bool, binaryData);
        QFETCH(bool, served);
        QTemporaryDir root;
        const QByteArray image = DownloadPieces::RandomBytes(50 * 1024);
        QVERIFY(writeFile(root.filePath(QStringLiteral("cam.jpg")), image));
        QTemporaryDir keys;
        TTestCertificate certificate;
        QVERIFY(certificate.generate(keys.path(), certificateName));
        TNginxServer nginx;
        TNginxOptions options;
        options.DocumentRoot = root.path();
        options.CertificateFile = certificate.CertificateFile;
        options.KeyFile = certificate.KeyFile;
        QVERIFY2(nginx.start(options), qPrintable(nginx.errorText()));

        THTTPGet get;
        TRun run;
        prepare(get, QStringLiteral("HTTPS://") + nginx.url(QStringLiteral("/cam.jpg")), run);
        get.setClientFactory(clientWith(trusted ? certificate.CertificateFile : QString()));
        get.BinaryData = binaryData;
        get.WaitThread = true;
        get.StartDownload();
        // A certificate that fails is a failed connection: no response at all.
        QCOMPARE(run.Done, served || !binaryData ? 1 : 0);
        QCOMPARE(fileContent(target()) == image, served);
        if (!served && !binaryData)
            QCOMPARE(run.FileSize, 0);
    }
};

QTEST_GUILESS_MAIN(tst_TCurlHttpClient)
#include "tst_TCurlHttpClient.moc"
