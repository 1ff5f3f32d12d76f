#include "viewer/TWindowLayout.h"

#include <QtTest>

class tst_TWindowLayout : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void imageArea_data()
    {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("original") << QSize(640, 480) << 100 << QSize(640, 480);
        QTest::newRow("half") << QSize(640, 480) << 50 << QSize(320, 240);
        QTest::newRow("quarter-truncates") << QSize(641, 479) << 25 << QSize(160, 119);
        QTest::newRow("stored-75") << QSize(640, 480) << 75 << QSize(480, 360);
        QTest::newRow("no-picture-any-scale") << QSize(0, 0) << 25 << QSize(256, 256);
        QTest::newRow("negative-scale-empty") << QSize(640, 480) << -50 << QSize(0, 0);
        QTest::newRow("absurd-scale-capped") << QSize(640, 480) << 2000000000 << QSize(100000, 100000);
    }
    void imageArea()
    {
        QFETCH(QSize, natural);
        QFETCH(int, scale);
        QFETCH(QSize, expected);
        QCOMPARE(TWindowLayout::ImageAreaSize(natural.width(), natural.height(), scale), expected);
    }

    // The screens offer 1280 x 800: room for an image area of 1270 x 737.
    void imageAreaFitsTheScreens_data()
    {
        QTest::addColumn<QSize>("natural");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("fits-unchanged") << QSize(640, 480) << 75 << QSize(480, 360);
        QTest::newRow("fills-the-room-exactly") << QSize(1270, 737) << 100 << QSize(1270, 737);
        QTest::newRow("stored-100000-bounded-by-height") << QSize(100, 80) << 100000 << QSize(921, 737);
        QTest::newRow("absurd-scale-bounded") << QSize(640, 480) << 2000000000 << QSize(982, 737);
        QTest::newRow("panorama-bounded-by-width") << QSize(4000, 500) << 100 << QSize(1270, 158);
        QTest::newRow("original-larger-than-screen") << QSize(1920, 1080) << 100 << QSize(1270, 714);
        QTest::newRow("one-pixel-too-tall") << QSize(1000, 738) << 100 << QSize(998, 737);
        QTest::newRow("no-picture-any-scale") << QSize(0, 0) << 100000 << QSize(256, 256);
        QTest::newRow("negative-scale-empty") << QSize(640, 480) << -50 << QSize(0, 0);
    }
    void imageAreaFitsTheScreens()
    {
        QFETCH(QSize, natural);
        QFETCH(int, scale);
        QFETCH(QSize, expected);
        const QSize area =
            TWindowLayout::ImageAreaSize(natural.width(), natural.height(), scale, QSize(1280, 800));
        QCOMPARE(area, expected);
        const QSize window = TWindowLayout::ArrangeControls(area).Window;
        QVERIFY(window.width() <= 1280 && window.height() <= 800);
    }

    void arrange_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QRect>("image");
        QTest::addColumn<int>("statusTop");
        QTest::newRow("640x480-at-50") << QSize(320, 240) << QSize(330, 303) << QRect(5, 5, 320, 240) << 249;
        QTest::newRow("narrow-image-centred")
            << QSize(100, 80) << QSize(230, 143) << QRect(65, 5, 100, 80) << 89;
        QTest::newRow("exactly-minimum") << QSize(220, 50) << QSize(230, 113) << QRect(5, 5, 220, 50) << 59;
        QTest::newRow("one-below-minimum") << QSize(219, 50) << QSize(230, 113) << QRect(5, 5, 219, 50) << 59;
        QTest::newRow("two-below-minimum") << QSize(218, 50) << QSize(230, 113) << QRect(6, 5, 218, 50) << 59;
        QTest::newRow("placeholder") << QSize(256, 256) << QSize(266, 319) << QRect(5, 5, 256, 256) << 265;
    }
    void arrange()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, window);
        QFETCH(QRect, image);
        QFETCH(int, statusTop);
        const TWindowLayout::TLayout l = TWindowLayout::ArrangeControls(area);
        QCOMPARE(l.Window, window);
        QCOMPARE(l.ImageArea, image);
        QCOMPARE(l.StatusTop, statusTop);
        QCOMPARE(l.DescriptionTop, statusTop + 16);
        QCOMPARE(l.DateTimeTop, statusTop + 32);
        QCOMPARE(l.LabelLeft, 5);
        QCOMPARE(l.LabelWidth, window.width() - 10);
    }

    void placement_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("stored") << 40 << 70 << QPoint(40, 70);
        QTest::newRow("left-0-centres-horizontally") << 0 << 120 << QPoint(475, 120);
        QTest::newRow("top-0-centres-vertically") << 30 << 0 << QPoint(30, 248);
        QTest::newRow("both-centred-odd-halves-truncate") << 0 << 0 << QPoint(475, 248);
        QTest::newRow("negative-kept") << -20 << 5 << QPoint(-20, 5);
    }
    void placement()
    {
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(QPoint, expected);
        QCOMPARE(TWindowLayout::PlaceWindow(left, top, QSize(1280, 800), QSize(330, 303)), expected);
    }
};

QTEST_APPLESS_MAIN(tst_TWindowLayout)
#include "tst_TWindowLayout.moc"
