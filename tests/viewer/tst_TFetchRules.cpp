#include "viewer/TFetchRules.h"

#include <QtTest>

class tst_TFetchRules : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void namesTypeFromFirstBytes_data()
    {
        QTest::addColumn<QByteArray>("head");
        QTest::addColumn<QString>("previous");
        QTest::addColumn<QString>("expected");
        QTest::newRow("gif") << QByteArray("GIF89a\x50\x00\x3c\x00", 10) << ".jpg"
                             << ".gif";
        QTest::newRow("jfif") << QByteArray("\xff\xd8\xff\xe0\x00\x10JFIF\x00", 11) << ".png"
                              << ".jpg";
        QTest::newRow("axis") << QByteArray("\xff\xd8\xff\xfe\x00\x08"
                                            "AXIS",
                                            10)
                              << ".gif"
                              << ".jpg";
        QTest::newRow("png") << QByteArray("\x89PNG\r\n\x1a\n", 8) << ".jpg"
                             << ".png";
        QTest::newRow("jpeg-without-marker-keeps-png") << QByteArray("\xff\xd8\xff\xdb\x00\x43", 6) << ".png"
                                                       << ".png";
        QTest::newRow("nothing-first-download") << QByteArray("<html><body>404", 15) << ".jpg"
                                                << ".jpg";
        QTest::newRow("png-magic-in-gif-file") << QByteArray("GIF89a PNG") << ".jpg"
                                               << ".png";
        QTest::newRow("zero-bytes-before-marker") << QByteArray("\0\0\0\0\0\0JFIF", 10) << ".gif"
                                                  << ".jpg";
        QTest::newRow("marker-after-byte-20-ignored") << QByteArray(20, 'x') + "GIF"
                                                      << ".jpg"
                                                      << ".jpg";
        QTest::newRow("marker-ending-at-byte-20") << QByteArray(17, 'x') + "GIF"
                                                  << ".jpg"
                                                  << ".gif";
    }
    void namesTypeFromFirstBytes()
    {
        QFETCH(QByteArray, head);
        QFETCH(QString, previous);
        QFETCH(QString, expected);
        QCOMPARE(TFetchRules::ImageExtFromHeader(head, previous), expected);
    }

    void progressLine_data()
    {
        QTest::addColumn<qint32>("total");
        QTest::addColumn<qint32>("readed");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("expected");
        QTest::newRow("percent-truncates") << 3000 << 1025 << "C"
                                           << "Status: 34% downloaded";
        QTest::newRow("percent-complete") << 1025 << 1025 << "C"
                                          << "Status: 100% downloaded";
        QTest::newRow("percent-large-body-no-overflow") << 2000000000 << 1500000000 << "C"
                                                        << "Status: 75% downloaded";
        QTest::newRow("kb-without-length") << 0 << 1536 << "C"
                                           << "Status: 1.50 kb downloaded";
        QTest::newRow("kb-german-separator") << 0 << 1025 << "de_DE"
                                             << "Status: 1,00 kb downloaded";
        QTest::newRow("kb-no-grouping") << 0 << 2048000 << "en_US"
                                        << "Status: 2000.00 kb downloaded";
    }
    void progressLine()
    {
        QFETCH(qint32, total);
        QFETCH(qint32, readed);
        QFETCH(QString, locale);
        QFETCH(QString, expected);
        QCOMPARE(TFetchRules::ProgressStatus(total, readed, QLocale(locale)), expected);
    }

    void rejectsTinyBodies()
    {
        QVERIFY(TFetchRules::IsTooSmallForPicture(0));
        QVERIFY(TFetchRules::IsTooSmallForPicture(512));
        QVERIFY(!TFetchRules::IsTooSmallForPicture(513));
    }

    void urlDirectory_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        QTest::newRow("scheme-kept") << "http://cam/a/b.jpg"
                                     << "http://cam/a/";
        QTest::newRow("no-scheme") << "cam/b.jpg"
                                   << "cam/";
        QTest::newRow("backslash") << "cam\\pics\\b.jpg"
                                   << "cam\\pics\\";
        QTest::newRow("query-with-slash") << "cam/x.cgi?p=a/b"
                                          << "cam/x.cgi?p=a/";
        QTest::newRow("none") << "camera.jpg"
                              << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void urlDirectory()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QCOMPARE(TFetchRules::URLDirectory(url), expected);
    }

    void timerInterval_data()
    {
        QTest::addColumn<qint32>("minutes");
        QTest::addColumn<int>("expected");
        QTest::newRow("manual") << 0 << 0;
        QTest::newRow("negative-is-manual") << -5 << 0;
        QTest::newRow("one-minute") << 1 << 60000;
        QTest::newRow("catalog-default-10000") << 10000 << 600000000;
        QTest::newRow("too-long-clamped") << 100000 << 2147483647;
    }
    void timerInterval()
    {
        QFETCH(qint32, minutes);
        QFETCH(int, expected);
        QCOMPARE(TFetchRules::TimerIntervalMs(minutes), expected);
    }

    void timeLineHasNoZone()
    {
        const QDateTime when(QDate(2024, 3, 7), QTime(14, 5, 9));
        QCOMPARE(TFetchRules::DateTimeText(when, QLocale(QLocale::C)), QStringLiteral("7 Mar 2024 14:05:09"));
        QCOMPARE(TFetchRules::DateTimeText(when, QLocale(QStringLiteral("en_US"))),
                 QStringLiteral("3/7/24 2:05:09 PM"));
        QCOMPARE(TFetchRules::DateTimeText(when, QLocale(QStringLiteral("de_DE"))),
                 QStringLiteral("07.03.24 14:05:09"));
    }
};

QTEST_APPLESS_MAIN(tst_TFetchRules)
#include "tst_TFetchRules.moc"
