#include "net/HTTPGet.h"
#include "net/HTTPGetThread.h"
#include "net/TCurlHttpClient.h"
#include "net/TCurlLibrary.h"

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TTestHttpServer.h"

namespace {

// No machine has it: every download of this process must fail without libcurl.
constexpr char MissingLibrary[] = "libvrel-no-such-curl.so.4";

} // namespace

class tst_TCurlLibrary : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    TTestHttpServer m_server;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(m_server.start());
        qputenv("no_proxy", "*");
        // Before anything loads libcurl: the process's libcurl is looked up once.
        qputenv("VREL_CURL_LIBRARY", MissingLibrary);
        // With libcurl this would be a good picture.
        m_server.route(QStringLiteral("/cam.jpg"),
                       TScriptedResponse::ok(QByteArray(2000, 'j'), "image/jpeg"));
    }

    void cleanup() { QTRY_COMPARE(THTTPGetThread::liveCount(), 0); }

    void loadsOnlyACompleteLibrary_data()
    {
        QTest::addColumn<QByteArray>("fileName");
        QTest::addColumn<bool>("loaded");
        QTest::addColumn<QString>("error");

        QTest::newRow("libcurl") << QByteArray("libcurl.so.4") << true << QString();
        QTest::newRow("missing-file")
            << QByteArray(MissingLibrary) << false
            << QStringLiteral("libvrel-no-such-curl.so.4: cannot open shared object file");
        QTest::newRow("not-libcurl") << QByteArray("libz.so.1") << false
                                     << QStringLiteral("libz.so.1 has no curl_global_init");
    }

    void loadsOnlyACompleteLibrary()
    {
        QFETCH(QByteArray, fileName);
        QFETCH(bool, loaded);
        QFETCH(QString, error);

        TCurlApi api;
        QString reason;
        QCOMPARE(TCurlLibrary::Load(fileName, api, reason), loaded);
        QVERIFY2(reason.contains(error), qPrintable(reason));
        // Either every function is there or none is: a half-filled table is never used.
#define VREL_CHECK_FUNCTION(name) QVERIFY2(bool(api.name) == loaded, "curl_" #name);
        VREL_CURL_FUNCTIONS(VREL_CHECK_FUNCTION)
#undef VREL_CHECK_FUNCTION
    }

    void warnsOnceWhenLibcurlIsMissing()
    {
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral(
                                 "^TCurlHttpClient: libcurl cannot be used, every download fails: "
                                 "libvrel-no-such-curl\\.so\\.4: cannot open shared object file")));
        QTest::failOnWarning(QRegularExpression(QStringLiteral("libcurl")));
        QCOMPARE(TCurlLibrary::Shared(), nullptr);
        // A download component asks again when it is made; the answer is known by then.
        THTTPGet get;
        QCOMPARE(TCurlLibrary::Shared(), nullptr);
    }

    void downloadFailsWithoutLibcurl_data()
    {
        QTest::addColumn<bool>("binaryData");
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("errors");

        // The catalog's download.
        QTest::newRow("binary-data-error") << true << 0 << 1;
        // The camera window's: like a host that does not answer, an empty file that the window
        // shows as "Download Error".
        QTest::newRow("file-empty") << false << 1 << 0;
    }

    void downloadFailsWithoutLibcurl()
    {
        QFETCH(bool, binaryData);
        QFETCH(int, done);
        QFETCH(int, errors);

        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        const QString target = m_dir.filePath(QStringLiteral("cam.gif"));
        QFile::remove(target);
        THTTPGet get;
        get.URL = m_server.url(QStringLiteral("/cam.jpg"));
        get.FileName = target;
        get.BinaryData = binaryData;
        int doneCount = 0;
        int errorCount = 0;
        qint32 fileSize = -1;
        get.OnDoneFile = [&](QObject*, const QString&, qint32 size) {
            ++doneCount;
            fileSize = size;
        };
        get.OnError = [&](QObject*) { ++errorCount; };
        get.StartDownload();
        QTRY_COMPARE(doneCount + errorCount, 1);
        QCOMPARE(doneCount, done);
        QCOMPARE(errorCount, errors);
        QCOMPARE(get.ResponseStatus, 0);
        if (done)
            QCOMPARE(fileSize, 0);
        QVERIFY(QFileInfo(target).size() == 0);
        QCOMPARE(m_server.requestCount(), 0);
    }
};

QTEST_GUILESS_MAIN(tst_TCurlLibrary)
#include "tst_TCurlLibrary.moc"
