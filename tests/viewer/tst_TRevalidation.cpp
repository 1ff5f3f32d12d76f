#include "viewer/TRevalidation.h"

#include <QtTest>

class tst_TRevalidation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a server sends (or a store holds) goes into request lines only when it cannot break
    // them.
    void requestLinesCarryOnlyHarmlessValues_data()
    {
        QTest::addColumn<QByteArray>("etag");
        QTest::addColumn<QByteArray>("lastModified");
        QTest::addColumn<QByteArray>("lines");
        QTest::newRow("both") << QByteArray("\"v1\"") << QByteArray("Mon, 07 Dec 2026 14:05:00 GMT")
                              << QByteArray("If-None-Match: \"v1\"\r\n"
                                            "If-Modified-Since: Mon, 07 Dec 2026 14:05:00 GMT\r\n");
        QTest::newRow("weak-etag-only")
            << QByteArray("W/\"a-b\"") << QByteArray() << QByteArray("If-None-Match: W/\"a-b\"\r\n");
        QTest::newRow("none") << QByteArray() << QByteArray() << QByteArray();
        QTest::newRow("line-break-dropped") << QByteArray("\"v1\"\r\nX-Evil: 1") << QByteArray("Mon")
                                            << QByteArray("If-Modified-Since: Mon\r\n");
        QTest::newRow("control-byte-dropped") << QByteArray("\"v\x01\"") << QByteArray() << QByteArray();
        QTest::newRow("over-1-kib-dropped") << QByteArray(1025, 'e') << QByteArray() << QByteArray();
    }
    void requestLinesCarryOnlyHarmlessValues()
    {
        QFETCH(QByteArray, etag);
        QFETCH(QByteArray, lastModified);
        QFETCH(QByteArray, lines);
        TRevalidation revalidation;
        revalidation.Shown(etag, lastModified, "picture");
        QCOMPARE(revalidation.NextRequestHeaders(), lines);
        QCOMPARE(revalidation.AskedConditionally(), !lines.isEmpty());
    }

    void forgottenPictureIsNeitherAskedNorMatched()
    {
        TRevalidation revalidation;
        revalidation.Shown("\"v1\"", {}, "picture");
        QVERIFY(revalidation.SameAsShown("picture"));
        QVERIFY(!revalidation.SameAsShown("pictures"));
        QVERIFY(!revalidation.NextRequestHeaders().isEmpty());
        // The placeholder came while the question ran: its answer describes nothing shown.
        revalidation.Forget();
        QVERIFY(!revalidation.AskedConditionally());
        QVERIFY(!revalidation.SameAsShown("picture"));
        QCOMPARE(revalidation.NextRequestHeaders(), QByteArray());
    }
};

QTEST_GUILESS_MAIN(tst_TRevalidation)
#include "tst_TRevalidation.moc"
