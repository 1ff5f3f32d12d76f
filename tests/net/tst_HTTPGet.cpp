#include "net/HTTPGet.h"
#include "net/HTTPGetThread.h"

#include <QFile>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace {

// What the scripted client answers and what it was asked; shared by the test and the worker.
struct TScript
{
    std::mutex Mutex;
    std::condition_variable Changed;

    // Answers.
    bool Responds = true;
    bool HasLength = true;
    QByteArray LengthText;
    QList<QByteArray> Pieces; // one per read, then the end of the body
    bool FailAfterPieces = false;
    int BlockAtRead = -1; // this read (0-based) waits until Released or a stop
    bool Released = false;

    // Questions.
    int Created = 0;
    QByteArray Agent, Host, UserName, Password, Verb, Path, Version, Referer, AcceptTypes, Headers, Body;
    quint16 Port = 0;
    bool Secure = false;
    bool Reload = false;
    int Reads = 0;
    qint32 LargestReadSize = 0;
    bool Blocked = false;
    bool Closed = false;

    void release()
    {
        std::unique_lock<std::mutex> lock(Mutex);
        Released = true;
        Changed.notify_all();
    }
    bool blocked()
    {
        std::unique_lock<std::mutex> lock(Mutex);
        return Blocked;
    }
    bool waitReads(int count)
    {
        std::unique_lock<std::mutex> lock(Mutex);
        return Changed.wait_for(lock, std::chrono::seconds(10), [&] { return Reads >= count; });
    }
};

class TScriptedClient final : public THttpClient
{
public:
    explicit TScriptedClient(std::shared_ptr<TScript> script) : m_script(std::move(script)) {}

    void setStopFlag(const std::atomic<bool>* stop) override { m_stop = stop; }
    bool open(const QByteArray& agent) override
    {
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        m_script->Agent = agent;
        return true;
    }
    bool connect(const QByteArray& host, quint16 port, bool secure, const QByteArray& userName,
                 const QByteArray& password) override
    {
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        m_script->Host = host;
        m_script->Port = port;
        m_script->Secure = secure;
        m_script->UserName = userName;
        m_script->Password = password;
        return !host.isEmpty();
    }
    bool openRequest(const QByteArray& verb, const QByteArray& path, const QByteArray& version,
                     const QByteArray& referer, const QByteArray& acceptTypes, bool reload) override
    {
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        m_script->Verb = verb;
        m_script->Path = path;
        m_script->Version = version;
        m_script->Referer = referer;
        m_script->AcceptTypes = acceptTypes;
        m_script->Reload = reload;
        return true;
    }
    bool send(const QByteArray& headers, const QByteArray& body) override
    {
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        m_script->Headers = headers;
        m_script->Body = body;
        return m_script->Responds;
    }
    bool queryContentLength(QByteArray& text) override
    {
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        if (!m_script->Responds || !m_script->HasLength)
            return false;
        text = m_script->LengthText;
        return true;
    }
    bool read(char* buffer, qint32 size, qint32& count) override
    {
        count = 0;
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        const int index = m_script->Reads;
        m_script->LargestReadSize = std::max(m_script->LargestReadSize, size);
        if (index == m_script->BlockAtRead) {
            m_script->Blocked = true;
            m_script->Changed.notify_all();
            // Like a stalled server: only a release or the stop flag ends the wait.
            while (!m_script->Released && !(m_stop && m_stop->load()))
                m_script->Changed.wait_for(lock, std::chrono::milliseconds(5));
            if (!m_script->Released)
                return false;
        }
        ++m_script->Reads;
        m_script->Changed.notify_all();
        if (!m_script->Responds)
            return false;
        if (index >= m_script->Pieces.size())
            return !m_script->FailAfterPieces;
        const QByteArray& piece = m_script->Pieces.at(index);
        count = std::min<qint32>(size, static_cast<qint32>(piece.size()));
        memcpy(buffer, piece.constData(), static_cast<size_t>(count));
        return true;
    }
    // A read the script blocks has nothing to hand out until it is released.
    bool waitForBody(int ms) override
    {
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        if (m_script->Reads != m_script->BlockAtRead)
            return true;
        m_script->Blocked = true;
        m_script->Changed.notify_all();
        return m_script->Changed.wait_for(lock, std::chrono::milliseconds(ms),
                                          [&] { return m_script->Released || (m_stop && m_stop->load()); });
    }
    void close() override
    {
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        m_script->Closed = true;
    }

private:
    std::shared_ptr<TScript> m_script;
    const std::atomic<bool>* m_stop = nullptr;
};

// The events one component raised.
struct TEvents
{
    QList<QPair<qint32, qint32>> Progress;
    QList<QObject*> ProgressSenders;
    int Done = 0;
    int Errors = 0;
    QString DoneFileName;
    qint32 DoneFileSize = -1;
    QObject* DoneSender = nullptr;

    void attach(THTTPGet& get)
    {
        get.OnProgress = [this](QObject* sender, qint32 total, qint32 readed) {
            Progress.append({total, readed});
            ProgressSenders.append(sender);
        };
        get.OnDoneFile = [this](QObject* sender, const QString& fileName, qint32 fileSize) {
            ++Done;
            DoneFileName = fileName;
            DoneFileSize = fileSize;
            DoneSender = sender;
        };
        get.OnError = [this](QObject* sender) {
            ++Errors;
            DoneSender = sender;
        };
    }
    int ends() const { return Done + Errors; }
};

QByteArray bytes(int size, char fill)
{
    return QByteArray(size, fill);
}

} // namespace

class tst_HTTPGet : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::shared_ptr<TScript> m_script;

    QString target() const { return m_dir.filePath(QStringLiteral("image.gif")); }

    void prepare(THTTPGet& get)
    {
        std::shared_ptr<TScript> script = m_script;
        get.setClientFactory([script] {
            std::unique_lock<std::mutex> lock(script->Mutex);
            ++script->Created;
            return std::make_unique<TScriptedClient>(script);
        });
        get.URL = QStringLiteral("cam1/a.jpg");
        get.FileName = target();
    }

    static QByteArray fileContent(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QFile::remove(target());
        m_script = std::make_shared<TScript>();
    }

    void cleanup()
    {
        // Every worker has released itself before the next case starts.
        QTRY_COMPARE(THTTPGetThread::liveCount(), 0);
    }

    void splitsUrl_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("secure");
        QTest::addColumn<QString>("path");

        QTest::newRow("http-prefix-any-case") << "HTTP://Cam1/a.jpg"
                                              << "Cam1" << 80 << false << "/a.jpg";
        QTest::newRow("no-scheme") << "cam1/a.jpg"
                                   << "cam1" << 80 << false << "/a.jpg";
        QTest::newRow("https-any-case") << "HtTpS://cam/x?y=1"
                                        << "cam" << 443 << true << "/x?y=1";
        QTest::newRow("explicit-port") << "host:8080/x"
                                       << "host" << 8080 << false << "/x";
        QTest::newRow("https-explicit-port") << "https://host:8443/x"
                                             << "host" << 8443 << true << "/x";
        QTest::newRow("no-slash") << "cam1"
                                  << "" << 80 << false << "cam1";
        QTest::newRow("scheme-only") << "http://cam1"
                                     << "" << 80 << false << "cam1";
        QTest::newRow("path-keeps-later-slashes") << "cam/a//b/c.jpg"
                                                  << "cam" << 80 << false << "/a//b/c.jpg";
        QTest::newRow("ipv6-literal-with-port") << "[::1]:8080/x"
                                                << "[::1]" << 8080 << false << "/x";
        QTest::newRow("ipv6-literal") << "[::1]/x"
                                      << "[::1]" << 80 << false << "/x";
        QTest::newRow("port-out-of-range") << "host:70000/x"
                                           << "" << 80 << false << "/x";
        QTest::newRow("port-65535-largest") << "host:65535/x"
                                            << "host" << 65535 << false << "/x";
        QTest::newRow("port-65536-beyond") << "host:65536/x"
                                           << "" << 80 << false << "/x";
        QTest::newRow("port-zero") << "host:0/x"
                                   << "" << 80 << false << "/x";
        QTest::newRow("colon-without-port") << "host:/x"
                                            << "host:" << 80 << false << "/x";
        QTest::newRow("other-scheme-stays-in-host") << "ftp://x/y"
                                                    << "ftp:" << 80 << false << "//x/y";
        QTest::newRow("user-info-stays-in-host") << "user@cam/x"
                                                 << "user@cam" << 80 << false << "/x";
    }

    void splitsUrl()
    {
        QFETCH(QString, url);
        const THttpTarget target = THTTPGetThread::splitUrl(url);
        QTEST(target.Host, "host");
        QTEST(int(target.Port), "port");
        QTEST(target.Secure, "secure");
        QTEST(target.Path, "path");
    }

    void hostAndPathReachTheClient()
    {
        THTTPGet get;
        prepare(get);
        get.URL = QStringLiteral("HTTP://Cam1:8080/a.jpg?size=2");
        get.UserName = QStringLiteral("user");
        get.Password = QStringLiteral("123456");
        get.WaitThread = true;
        get.StartDownload();
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QCOMPARE(m_script->Host, QByteArray("Cam1"));
        QCOMPARE(m_script->Port, quint16(8080));
        QCOMPARE(m_script->Secure, false);
        QCOMPARE(m_script->Path, QByteArray("/a.jpg?size=2"));
        QCOMPARE(m_script->UserName, QByteArray("user"));
        QCOMPARE(m_script->Password, QByteArray("123456"));
        QVERIFY(m_script->Closed);
    }

    void requestFollowsProperties_data()
    {
        QTest::addColumn<QString>("postQuery");
        QTest::addColumn<bool>("useCache");
        QTest::addColumn<QString>("agent");
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<bool>("reload");

        QTest::newRow("get") << QString() << false << "Mozilla/4.0" << QByteArray("GET") << QByteArray()
                             << true;
        QTest::newRow("post-form") << "a=1&b=2" << false << "Mozilla/4.0" << QByteArray("POST")
                                   << QByteArray("Content-Type: application/x-www-form-urlencoded\r\n")
                                   << true;
        QTest::newRow("cache-allowed-no-agent")
            << QString() << true << QString() << QByteArray("GET") << QByteArray() << false;
    }

    void requestFollowsProperties()
    {
        QFETCH(QString, postQuery);
        QFETCH(bool, useCache);
        QFETCH(QString, agent);
        THTTPGet get;
        prepare(get);
        get.PostQuery = postQuery;
        get.UseCache = useCache;
        get.Agent = agent;
        get.Referer = QStringLiteral("cam1/");
        get.AcceptTypes = QStringLiteral("image/*");
        get.WaitThread = true;
        get.StartDownload();
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QTEST(m_script->Verb, "verb");
        QTEST(m_script->Headers, "headers");
        QTEST(m_script->Reload, "reload");
        QCOMPARE(m_script->Body, postQuery.toUtf8());
        QCOMPARE(m_script->Agent, agent.toUtf8());
        QCOMPARE(m_script->Version, QByteArray("HTTP/1.0"));
        QCOMPARE(m_script->Referer, QByteArray("cam1/"));
        QCOMPARE(m_script->AcceptTypes, QByteArray("image/*"));
    }

    void resultFollowsLengthRule_data()
    {
        QTest::addColumn<bool>("responds");
        QTest::addColumn<bool>("hasLength");
        QTest::addColumn<QByteArray>("lengthText");
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<bool>("failAfterPieces");
        QTest::addColumn<bool>("binaryData");
        QTest::addColumn<bool>("done");
        QTest::addColumn<int>("fileSize");
        QTest::addColumn<int>("reads");

        const QList<QByteArray> none;
        const QList<QByteArray> k15 = {bytes(1025, 'a'), bytes(475, 'b')};
        QTest::newRow("length-matches")
            << true << true << QByteArray("1500") << k15 << false << true << true << 1500 << 3;
        QTest::newRow("length-short")
            << true << true << QByteArray("1000") << QList<QByteArray>{bytes(600, 'a')} << false << false
            << false << 0 << 2;
        QTest::newRow("length-long") << true << true << QByteArray("10") << QList<QByteArray>{bytes(20, 'a')}
                                     << false << false << false << 0 << 2;
        QTest::newRow("no-length") << true << false << QByteArray() << QList<QByteArray>{bytes(800, 'a')}
                                   << false << false << true << 800 << 2;
        QTest::newRow("no-length-binary-unread")
            << true << false << QByteArray() << QList<QByteArray>{bytes(800, 'a')} << false << true << false
            << 0 << 0;
        QTest::newRow("no-response") << false << false << QByteArray() << none << false << false << true << 0
                                     << 1;
        QTest::newRow("no-response-binary")
            << false << false << QByteArray() << none << false << true << false << 0 << 0;
        QTest::newRow("zero-length-empty-body")
            << true << true << QByteArray("0") << none << false << false << true << 0 << 1;
        QTest::newRow("length-not-decimal")
            << true << true << QByteArray("12a") << k15 << false << false << false << 0 << 0;
        QTest::newRow("length-negative")
            << true << true << QByteArray("-5") << k15 << false << false << false << 0 << 0;
        QTest::newRow("length-beyond-32-bit")
            << true << true << QByteArray("4294967296") << k15 << false << false << false << 0 << 0;
        QTest::newRow("length-just-beyond-int32")
            << true << true << QByteArray("2147483648") << k15 << false << false << false << 0 << 0;
        QTest::newRow("read-fails-with-length")
            << true << true << QByteArray("1500") << QList<QByteArray>{bytes(1025, 'a')} << true << false
            << false << 0 << 2;
        QTest::newRow("read-fails-without-length")
            << true << false << QByteArray() << QList<QByteArray>{bytes(500, 'a')} << true << false << true
            << 500 << 2;
    }

    void resultFollowsLengthRule()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(bool, done);
        QFETCH(int, fileSize);
        QFETCH(bool, responds);
        QFETCH(bool, hasLength);
        QFETCH(QByteArray, lengthText);
        QFETCH(bool, failAfterPieces);
        m_script->Responds = responds;
        m_script->HasLength = hasLength;
        m_script->LengthText = lengthText;
        m_script->Pieces = pieces;
        m_script->FailAfterPieces = failAfterPieces;

        THTTPGet get;
        prepare(get);
        QFETCH(bool, binaryData);
        get.BinaryData = binaryData;
        TEvents events;
        events.attach(get);
        get.WaitThread = true;
        get.StartDownload();

        QVERIFY(!get.Busy());
        QCOMPARE(events.ends(), 1);
        QCOMPARE(events.Done, done ? 1 : 0);
        QCOMPARE(events.DoneSender, &get);
        if (done) {
            QCOMPARE(events.DoneFileName, target());
            QCOMPARE(events.DoneFileSize, fileSize);
            QCOMPARE(fileContent(target()), pieces.isEmpty() ? QByteArray() : pieces.join().left(fileSize));
        }
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QTEST(m_script->Reads, "reads");
    }

    void reportsProgressAfterEveryChunk_data()
    {
        QTest::addColumn<bool>("hasLength");
        QTest::addColumn<int>("total");
        QTest::newRow("announced") << true << 3085;
        QTest::newRow("not-announced") << false << 0;
    }

    void reportsProgressAfterEveryChunk()
    {
        QFETCH(bool, hasLength);
        m_script->HasLength = hasLength;
        m_script->LengthText = "3085";
        m_script->Pieces = {bytes(1025, 'a'), bytes(1025, 'b'), bytes(1025, 'c'), bytes(10, 'd')};
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.StartDownload();
        QVERIFY(get.Busy());
        QTRY_VERIFY(!get.Busy());

        QFETCH(int, total);
        const QList<QPair<qint32, qint32>> expected = {
            {total, 1025}, {total, 2050}, {total, 3075}, {total, 3085}};
        QCOMPARE(events.Progress, expected);
        QVERIFY(!events.ProgressSenders.contains(&get));
        QVERIFY(!events.ProgressSenders.contains(nullptr));
        QCOMPARE(events.Done, 1);
        QCOMPARE(events.DoneFileSize, 3085);
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QCOMPARE(m_script->LargestReadSize, THttpClient::ChunkSize);
    }

    // In memory each piece the client hands out is one report, as in file mode, also when the
    // body has to grow to take the next piece; and no file is made.
    void memoryModeReportsEveryPiece_data()
    {
        QTest::addColumn<bool>("hasLength");
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QList<qint32>>("readed");

        const QList<QByteArray> small = {bytes(1025, 'a'), bytes(1025, 'b'), bytes(1025, 'c'),
                                         bytes(10, 'd')};
        const QList<QByteArray> large = {bytes(60000, 'a'), bytes(60000, 'b'), bytes(60000, 'c')};
        QTest::newRow("announced-small-pieces") << true << small << QList<qint32>{1025, 2050, 3075, 3085};
        QTest::newRow("not-announced-small-pieces")
            << false << small << QList<qint32>{1025, 2050, 3075, 3085};
        QTest::newRow("announced-large-pieces") << true << large << QList<qint32>{60000, 120000, 180000};
        QTest::newRow("not-announced-large-pieces") << false << large << QList<qint32>{60000, 120000, 180000};
    }

    void memoryModeReportsEveryPiece()
    {
        QFETCH(bool, hasLength);
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QList<qint32>, readed);
        const QByteArray body = pieces.join();
        m_script->HasLength = hasLength;
        m_script->LengthText = QByteArray::number(body.size());
        m_script->Pieces = pieces;
        THTTPGet get;
        prepare(get);
        get.ToFile = false;
        TEvents events;
        events.attach(get);
        QByteArray result("<none>");
        get.OnDoneString = [&](QObject* sender, QByteArray r) {
            ++events.Done;
            events.DoneSender = sender;
            result = std::move(r);
        };
        get.WaitThread = true;
        get.StartDownload();

        QList<QPair<qint32, qint32>> expected;
        for (const qint32 r : readed)
            expected.append({hasLength ? qint32(body.size()) : 0, r});
        QCOMPARE(events.Progress, expected);
        QCOMPARE(events.Done, 1);
        QCOMPARE(events.DoneSender, &get);
        QVERIFY(events.DoneFileName.isEmpty());
        QCOMPARE(result.size(), body.size());
        QVERIFY(result == body);
        QVERIFY(!QFile::exists(target()));
    }

    void bodyPastTheLimitEndsWithError_data()
    {
        QTest::addColumn<bool>("hasLength");
        QTest::addColumn<QByteArray>("lengthText");
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<bool>("done");
        QTest::addColumn<int>("reads");
        QTest::addColumn<int>("fileSize"); // -1: no file was made
        // The limit is 2500 bytes.
        QList<QByteArray> endless;
        for (int i = 0; i < 50; ++i)
            endless.append(bytes(1000, 'p'));
        const QList<QByteArray> exactly = {bytes(1000, 'p'), bytes(1000, 'q'), bytes(500, 'r')};
        QTest::newRow("endless-body-stops-before-the-piece-past-it")
            << false << QByteArray() << endless << false << 3 << 2000;
        QTest::newRow("announced-past-it-not-read")
            << true << QByteArray("2501") << endless << false << 0 << -1;
        QTest::newRow("announced-at-it-sends-more")
            << true << QByteArray("2500") << endless << false << 3 << 2000;
        QTest::newRow("exactly-at-it") << false << QByteArray() << exactly << true << 4 << 2500;
        QTest::newRow("announced-exactly-at-it")
            << true << QByteArray("2500") << exactly << true << 4 << 2500;
    }

    void bodyPastTheLimitEndsWithError()
    {
        QFETCH(bool, hasLength);
        QFETCH(QByteArray, lengthText);
        QFETCH(QList<QByteArray>, pieces);
        m_script->HasLength = hasLength;
        m_script->LengthText = lengthText;
        m_script->Pieces = pieces;
        THTTPGet get;
        prepare(get);
        get.MaxBodySize = 2500;
        TEvents events;
        events.attach(get);
        get.WaitThread = true;
        get.StartDownload();

        QFETCH(bool, done);
        QFETCH(int, fileSize);
        QCOMPARE(events.Done, done ? 1 : 0);
        QCOMPARE(events.Errors, done ? 0 : 1);
        if (fileSize < 0)
            QVERIFY(!QFile::exists(target()));
        else
            QCOMPARE(fileContent(target()).size(), fileSize);
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QTEST(m_script->Reads, "reads");
    }

    // The server sends 3000 of 7144 bytes and falls silent: the figure of those 3000 shows.
    void reportsTheLastFigureDuringAStall()
    {
        m_script->LengthText = "7144";
        m_script->Pieces = {bytes(1025, 'a'), bytes(1025, 'b'), bytes(950, 'c'),  bytes(1025, 'd'),
                            bytes(1025, 'e'), bytes(1025, 'f'), bytes(1025, 'g'), bytes(44, 'h')};
        m_script->BlockAtRead = 3;
        THTTPGet get;
        prepare(get);
        get.ProgressIntervalMs = 250;
        TEvents events;
        events.attach(get);
        get.StartDownload();
        QTRY_VERIFY(m_script->blocked());
        QTRY_VERIFY(!events.Progress.isEmpty());
        QCOMPARE(events.Progress.last(), qMakePair(7144, 3000));
        QVERIFY(get.Busy());
        m_script->release();
        QTRY_VERIFY(!get.Busy());
        QCOMPARE(events.Done, 1);
        QCOMPARE(events.DoneFileSize, 7144);
    }

    void stopInsideFirstProgressEndsWithError_data()
    {
        QTest::addColumn<bool>("errorHandlerSet");
        QTest::newRow("error-handler-set") << true;
        QTest::newRow("error-handler-cleared") << false;
    }

    void stopInsideFirstProgressEndsWithError()
    {
        QFETCH(bool, errorHandlerSet);
        m_script->LengthText = "3000";
        m_script->Pieces = {bytes(1025, 'a'), bytes(1025, 'b'), bytes(950, 'c')};
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        if (!errorHandlerSet)
            get.OnError = nullptr;
        get.OnProgress = [&](QObject*, qint32 total, qint32 readed) {
            events.Progress.append({total, readed});
            get.StopDownload();
        };
        get.WaitThread = true;
        get.StartDownload();

        QVERIFY(!get.Busy());
        QCOMPARE(events.Progress.size(), 1);
        QCOMPARE(events.Progress.first(), qMakePair(3000, 1025));
        QCOMPARE(events.Done, 0);
        QCOMPARE(events.Errors, errorHandlerSet ? 1 : 0);
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QCOMPARE(m_script->Reads, 1);
    }

    void stopEndsBlockedRead()
    {
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a')};
        m_script->BlockAtRead = 1;
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.StartDownload();
        QTRY_VERIFY(m_script->blocked());
        get.StopDownload();
        QTRY_VERIFY(!get.Busy());
        QCOMPARE(events.Errors, 1);
        QCOMPARE(events.Done, 0);
    }

    // As a program that quits while a camera stalls: when the event loop has ended, no download
    // thread runs on, and no worker object is left for an event loop that never comes.
    void quitDuringStalledDownloadLeavesNoWorker()
    {
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a')};
        m_script->BlockAtRead = 1;
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.StartDownload();
        QTRY_VERIFY(m_script->blocked());
        QCOMPARE(THTTPGetThread::runningThreads(), 1);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
        QCOMPARE(THTTPGetThread::runningThreads(), 0);
        QCOMPARE(THTTPGetThread::liveCount(), 0);
        QCOMPARE(events.ends(), 0);
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QVERIFY(m_script->Closed);
    }

    void startWhileBusyChangesNothing()
    {
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a')};
        m_script->BlockAtRead = 0;
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.StartDownload();
        QTRY_VERIFY(m_script->blocked());
        get.URL = QStringLiteral("other/b.jpg");
        get.FileName = m_dir.filePath(QStringLiteral("other.gif"));
        get.WaitThread = true;
        get.StartDownload(); // returns at once although WaitThread is set
        QVERIFY(get.Busy());
        m_script->release();
        QTRY_VERIFY(!get.Busy());

        QCOMPARE(events.Done, 1);
        QCOMPARE(events.DoneFileName, target());
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("other.gif"))));
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QCOMPARE(m_script->Created, 1);
        QCOMPARE(m_script->Path, QByteArray("/a.jpg"));
    }

    void startInsideFinalEventIsIgnored()
    {
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a')};
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        bool busyInside = false;
        get.OnDoneFile = [&](QObject*, const QString&, qint32) {
            ++events.Done;
            busyInside = get.Busy();
            get.StartDownload();
        };
        get.WaitThread = true;
        get.StartDownload();
        QVERIFY(busyInside);
        QVERIFY(!get.Busy());
        QCOMPARE(events.Done, 1);
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QCOMPARE(m_script->Created, 1);
    }

    void nextDownloadCanStartAfterTheEnd()
    {
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a')};
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.WaitThread = true;
        get.StartDownload();
        get.StartDownload();
        QCOMPARE(events.Done, 2);
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QCOMPARE(m_script->Created, 2);
    }

    void handlerSetDuringDownloadGetsReports()
    {
        m_script->HasLength = false;
        for (int i = 0; i < 70; ++i)
            m_script->Pieces.append(bytes(1000, 'p'));
        m_script->BlockAtRead = 1;
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.OnProgress = nullptr;
        get.StartDownload();
        QTRY_VERIFY(m_script->blocked());
        get.OnProgress = [&](QObject*, qint32 total, qint32 readed) {
            events.Progress.append({total, readed});
        };
        m_script->release();
        QTRY_VERIFY(!get.Busy());

        QCOMPARE(events.Done, 1);
        QVERIFY(!events.Progress.isEmpty());
        QVERIFY(events.Progress.first().second <= 65000);
        // Once found, the handler hears of every piece.
        for (qsizetype i = 1; i < events.Progress.size(); ++i)
            QCOMPARE(events.Progress.at(i).second - events.Progress.at(i - 1).second, 1000);
        QCOMPARE(events.Progress.last(), qMakePair(0, 70000));
    }

    // The worker's report is already queued when the owner clears its events: it must not arrive.
    void clearedEventsReceiveNothing()
    {
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a'), bytes(100, 'b')};
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.StartDownload();
        QVERIFY(m_script->waitReads(1)); // the first report is now on its way; no event ran yet
        get.OnProgress = nullptr;
        get.OnDoneFile = nullptr;
        get.OnDoneString = nullptr;
        get.OnError = nullptr;
        QTRY_VERIFY(!get.Busy());
        QVERIFY(events.Progress.isEmpty());
        QCOMPARE(events.ends(), 0);
    }

    void destroyedWhileBusyDeliversNothing_data()
    {
        QTest::addColumn<QString>("when");
        QTest::newRow("while-read-waits") << "read";
        QTest::newRow("while-report-is-queued") << "queued";
        QTest::newRow("inside-progress-handler") << "handler";
        QTest::newRow("inside-progress-during-wait-thread") << "wait-thread";
    }

    void destroyedWhileBusyDeliversNothing()
    {
        QFETCH(QString, when);
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a'), bytes(100, 'b')};
        if (when == QLatin1String("read"))
            m_script->BlockAtRead = 0;
        TEvents events;
        int progressCalls = 0;
        auto* get = new THTTPGet;
        QPointer<THTTPGet> guard(get);
        prepare(*get);
        events.attach(*get);
        if (when == QLatin1String("handler") || when == QLatin1String("wait-thread")) {
            get->OnProgress = [&](QObject*, qint32, qint32) {
                ++progressCalls;
                delete get;
            };
        }
        get->WaitThread = when == QLatin1String("wait-thread");
        get->StartDownload(); // with WaitThread, returns once the component is gone
        if (when == QLatin1String("read"))
            QTRY_VERIFY(m_script->blocked());
        else if (when == QLatin1String("queued"))
            QVERIFY(m_script->waitReads(1));
        else if (when == QLatin1String("handler"))
            QTRY_VERIFY(!guard);
        if (guard)
            delete get;

        QTRY_COMPARE(THTTPGetThread::liveCount(), 0);
        QCOMPARE(events.ends(), 0);
        QCOMPARE(progressCalls,
                 when == QLatin1String("handler") || when == QLatin1String("wait-thread") ? 1 : 0);
        if (progressCalls == 0)
            QVERIFY(events.Progress.isEmpty());
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QVERIFY(m_script->Closed);
    }

    void failingProgressHandlerEndsWithError()
    {
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a'), bytes(100, 'b')};
        THTTPGet get;
        prepare(get);
        TEvents events;
        events.attach(get);
        get.OnProgress = [](QObject*, qint32, qint32) { throw std::runtime_error("handler failed"); };
        get.WaitThread = true;
        get.StartDownload();
        QCOMPARE(events.Errors, 1);
        QCOMPARE(events.Done, 0);
        std::unique_lock<std::mutex> lock(m_script->Mutex);
        QCOMPARE(m_script->Reads, 1);
    }

    void unwritableTargetEndsWithError_data()
    {
        QTest::addColumn<QString>("fileName");
        QTest::newRow("missing-folder") << "no-such-folder/x.gif";
        QTest::newRow("empty-name") << "";
    }

    void unwritableTargetEndsWithError()
    {
        QFETCH(QString, fileName);
        m_script->HasLength = false;
        m_script->Pieces = {bytes(100, 'a')};
        THTTPGet get;
        prepare(get);
        get.FileName = fileName.isEmpty() ? QString() : m_dir.filePath(fileName);
        TEvents events;
        events.attach(get);
        get.WaitThread = true;
        get.StartDownload();
        QCOMPARE(events.Errors, 1);
        QCOMPARE(events.Done, 0);
    }

    void replacesExistingFile()
    {
        {
            QFile old(target());
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write(bytes(5000, 'x'));
        }
        m_script->LengthText = "3";
        m_script->Pieces = {"abc"};
        THTTPGet get;
        prepare(get);
        get.WaitThread = true;
        get.StartDownload();
        QCOMPARE(fileContent(target()), QByteArray("abc"));
    }
};

QTEST_GUILESS_MAIN(tst_HTTPGet)
#include "tst_HTTPGet.moc"
