#include "net/HTTPGet.h"
#include "net/HTTPGetThread.h"
#include "net/THttpClient.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TDownloadPieces.h"
#include "tests/support/TTestHttpServer.h"

Q_DECLARE_METATYPE(TScriptedResponse)

namespace {

// One download kept in memory and what it reported.
struct TRun
{
    QList<QPair<qint32, qint32>> Progress;
    int Done = 0;
    int Errors = 0;
    int FileEnds = 0;
    QByteArray Result;

    void attach(THTTPGet& get)
    {
        get.OnProgress = [this](QObject*, qint32 total, qint32 readed) { Progress.append({total, readed}); };
        get.OnDoneString = [this](QObject*, QByteArray result) {
            ++Done;
            Result = std::move(result);
        };
        get.OnDoneFile = [this](QObject*, const QString&, qint32) { ++FileEnds; };
        get.OnError = [this](QObject*) { ++Errors; };
    }
    int ends() const { return Done + Errors + FileEnds; }

    // Every report must follow one new piece of at most a block and carry the announced size.
    QString piecesProblem(qint32 announced) const
    {
        return DownloadPieces::Problem(Progress, announced, THttpClient::ChunkSize);
    }
};

TScriptedResponse withoutLength(const QByteArray& body)
{
    TScriptedResponse r = TScriptedResponse::ok(body);
    r.SendContentLength = false;
    return r;
}

} // namespace

class tst_HTTPGetMemory : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TTestHttpServer m_server;

    // Set as FileName, to show that memory mode leaves it alone.
    QString unusedFile() const { return m_dir.filePath(QStringLiteral("unused.gif")); }

    void prepare(THTTPGet& get, const QString& path, TRun& run)
    {
        get.URL = m_server.url(path);
        get.FileName = unusedFile();
        get.ToFile = false;
        run.attach(get);
    }

    bool folderIsEmpty() const
    {
        return QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_server.start());
        // The tests talk to 127.0.0.1 only; a proxy from the environment must not step in.
        qputenv("no_proxy", "*");
    }

    void init() { m_server.clearRoutes(); }

    void cleanup() { QTRY_COMPARE(THTTPGetThread::liveCount(), 0); }

    // result: the body OnDoneString hands over; "<error>": the download ends with OnError.
    void keepsBodyInMemory_data()
    {
        QTest::addColumn<TScriptedResponse>("response");
        QTest::addColumn<qint64>("maxBodySize");
        QTest::addColumn<QByteArray>("extraHeaders");
        QTest::addColumn<QByteArray>("result");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("announced");

        const QByteArray error("<error>");
        const QByteArray body3000 = DownloadPieces::RandomBytes(3000);
        const QByteArray body300k = DownloadPieces::RandomBytes(300 * 1024);
        QTest::newRow("length-announced")
            << TScriptedResponse::ok(body3000) << qint64(0) << QByteArray() << body3000 << 200 << 3000;
        QTest::newRow("large-length-announced") << TScriptedResponse::ok(body300k) << qint64(0)
                                                << QByteArray() << body300k << 200 << int(body300k.size());
        QTest::newRow("no-length") << withoutLength(body3000) << qint64(0) << QByteArray() << body3000 << 200
                                   << 0;
        // Grows past several blocks without being told how far.
        QTest::newRow("large-no-length")
            << withoutLength(body300k) << qint64(0) << QByteArray() << body300k << 200 << 0;

        TScriptedResponse dripping = withoutLength(body3000);
        dripping.DripBytes = 500;
        dripping.DripDelayMs = 10;
        QTest::newRow("dripping-no-length") << dripping << qint64(0) << QByteArray() << body3000 << 200 << 0;

        TScriptedResponse truncated = TScriptedResponse::ok(body3000.left(600));
        truncated.AnnouncedLength = 1000;
        QTest::newRow("announced-longer-than-sent")
            << truncated << qint64(0) << QByteArray() << error << 200 << 1000;

        QTest::newRow("announced-past-the-limit")
            << TScriptedResponse::ok(body3000) << qint64(2999) << QByteArray() << error << 200 << 3000;
        QTest::newRow("grows-past-the-limit")
            << withoutLength(body3000) << qint64(2999) << QByteArray() << error << 200 << 0;
        QTest::newRow("large-grows-past-the-limit")
            << withoutLength(body300k) << qint64(200 * 1024) << QByteArray() << error << 200 << 0;
        QTest::newRow("exactly-at-the-limit")
            << withoutLength(body3000) << qint64(3000) << QByteArray() << body3000 << 200 << 0;
        QTest::newRow("announced-exactly-at-the-limit")
            << TScriptedResponse::ok(body3000) << qint64(3000) << QByteArray() << body3000 << 200 << 3000;

        TScriptedResponse validated = TScriptedResponse::ok(body3000);
        validated.ETag = "\"v7\"";
        QTest::newRow("not-modified-empty-result")
            << validated << qint64(0) << QByteArray("If-None-Match: \"v7\"\r\n") << QByteArray() << 304 << 0;
        QTest::newRow("validator-changed-full-body")
            << validated << qint64(0) << QByteArray("If-None-Match: \"v6\"\r\n") << body3000 << 200 << 3000;

        QTest::newRow("zero-length") << TScriptedResponse::ok(QByteArray()) << qint64(0) << QByteArray()
                                     << QByteArray() << 200 << 0;
        // As in file mode: no answer at all is an empty success, which owners reject by its size.
        TScriptedResponse closed;
        closed.CloseAtOnce = true;
        QTest::newRow("closed-at-once-empty-result")
            << closed << qint64(0) << QByteArray() << QByteArray() << 0 << 0;
    }

    void keepsBodyInMemory()
    {
        QFETCH(TScriptedResponse, response);
        QFETCH(qint64, maxBodySize);
        QFETCH(QByteArray, extraHeaders);
        m_server.route(QStringLiteral("/cam.jpg"), response);
        THTTPGet get;
        TRun run;
        prepare(get, QStringLiteral("/cam.jpg"), run);
        get.MaxBodySize = maxBodySize;
        get.ExtraHeaders = extraHeaders;
        get.StartDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 20000);

        QFETCH(QByteArray, result);
        QFETCH(int, status);
        QFETCH(int, announced);
        const bool done = result != "<error>";
        QCOMPARE(run.ends(), 1);
        QCOMPARE(run.FileEnds, 0);
        QCOMPARE(run.Done, done ? 1 : 0);
        QCOMPARE(run.Errors, done ? 0 : 1);
        if (done) {
            QCOMPARE(run.Result.size(), result.size());
            QVERIFY(run.Result == result);
        }
        QCOMPARE(get.ResponseStatus, status);
        QVERIFY(folderIsEmpty());
        if (done && !result.isEmpty()) {
            QVERIFY(!run.Progress.isEmpty());
            QCOMPARE(run.Progress.last(), qMakePair(announced, int(result.size())));
        }
        if (status == 304)
            QVERIFY(run.Progress.isEmpty());
        const QString problem = run.piecesProblem(announced);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void stopDuringDownloadEndsWithError_data()
    {
        QTest::addColumn<bool>("hasLength");
        QTest::newRow("length-announced") << true;
        QTest::newRow("no-length") << false;
    }

    void stopDuringDownloadEndsWithError()
    {
        QFETCH(bool, hasLength);
        TScriptedResponse stall = TScriptedResponse::ok(DownloadPieces::RandomBytes(5000));
        stall.SendContentLength = hasLength;
        stall.StallAfter = 1500;
        m_server.route(QStringLiteral("/stall.jpg"), stall);
        THTTPGet get;
        TRun run;
        prepare(get, QStringLiteral("/stall.jpg"), run);
        get.StartDownload();
        QVERIFY(m_server.waitForStalled(1));
        // Everything the server sent before falling silent has arrived.
        QTRY_VERIFY(!run.Progress.isEmpty() && run.Progress.last().second == 1500);
        QCOMPARE(run.Progress.last().first, hasLength ? 5000 : 0);
        get.StopDownload();
        QTRY_VERIFY_WITH_TIMEOUT(!get.Busy(), 5000);
        QCOMPARE(run.Errors, 1);
        QCOMPARE(run.Done, 0);
        QCOMPARE(run.FileEnds, 0);
        QVERIFY(folderIsEmpty());
        QVERIFY(m_server.waitForIdle());
    }
};

QTEST_GUILESS_MAIN(tst_HTTPGetMemory)
#include "tst_HTTPGetMemory.moc"
