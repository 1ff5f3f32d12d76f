#include "app/TTrayBarColours.h"
#include "widgets/BarGeometry.h"
#include "widgets/BarMeasure.h"
#include "widgets/BarPictures.h"
#include "widgets/FadeLine.h"

#include <QImage>
#include <QtTest>

// Positions, measure rules and the pixel helpers of the side-bar menu, without a display.
class tst_BarRules : public QObject
{
    Q_OBJECT

private slots:
    void roundHalfEven_data();
    void roundHalfEven();
    void picturePosition_data();
    void picturePosition();
    void tileStart_data();
    void tileStart();
    void tilesCoverTheBar();
    void captionPosition_data();
    void captionPosition();
    void itemArea_data();
    void itemArea();
    void bandTargetOnEitherSide();
    void shortLineRect();
    void separatorTextLeft_data();
    void separatorTextLeft();
    void measureBeforeHandlers_data();
    void measureBeforeHandlers();
    void measureAfterHandlers_data();
    void measureAfterHandlers();
    void effectiveMenuStyle_data();
    void effectiveMenuStyle();
    void fadeLine_data();
    void fadeLine();
    void fadeLineOutsideImageIsSkipped();
    void pictureForBar();
    void trayBarColoursForDepth_data();
    void trayBarColoursForDepth();
};

void tst_BarRules::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("half-down-to-even") << 2.5 << 2;
    QTest::newRow("half-up-to-even") << 3.5 << 4;
    QTest::newRow("minus-half") << -0.5 << 0;
    QTest::newRow("minus-one-and-half") << -1.5 << -2;
    QTest::newRow("below-half") << 1.49 << 1;
    QTest::newRow("above-half") << -1.51 << -2;
    QTest::newRow("whole") << -1.0 << -1;
}

void tst_BarRules::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(int, expected);
    QCOMPARE(RoundHalfEven(value), expected);
}

void tst_BarRules::picturePosition_data()
{
    QTest::addColumn<THorzAlignment>("horz");
    QTest::addColumn<TVertAlignment>("vert");
    QTest::addColumn<QPoint>("offset");
    QTest::addColumn<QPoint>("expected");

    // Bar 21 x 101, picture 10 x 16.
    QTest::newRow("left-top") << THorzAlignment::haLeft << TVertAlignment::vaTop << QPoint(0, 0)
                              << QPoint(0, 0);
    QTest::newRow("left-top-offsets")
        << THorzAlignment::haLeft << TVertAlignment::vaTop << QPoint(2, 3) << QPoint(2, 3);
    QTest::newRow("right-bottom") << THorzAlignment::haRight << TVertAlignment::vaBottom << QPoint(0, 0)
                                  << QPoint(11, 85);
    QTest::newRow("right-bottom-offsets")
        << THorzAlignment::haRight << TVertAlignment::vaBottom << QPoint(-1, -4) << QPoint(10, 81);
    QTest::newRow("centre-middle-truncates")
        << THorzAlignment::haCenter << TVertAlignment::vaMiddle << QPoint(0, 0) << QPoint(5, 42);
    QTest::newRow("centre-bottom-default-picture")
        << THorzAlignment::haCenter << TVertAlignment::vaBottom << QPoint(1, 0) << QPoint(6, 85);
}

void tst_BarRules::picturePosition()
{
    QFETCH(THorzAlignment, horz);
    QFETCH(TVertAlignment, vert);
    QFETCH(QPoint, offset);
    QFETCH(QPoint, expected);
    QCOMPARE(PicturePosition(QSize(10, 16), 21, 101, horz, vert, offset.x(), offset.y()), expected);
}

void tst_BarRules::tileStart_data()
{
    QTest::addColumn<int>("extent");
    QTest::addColumn<int>("picture");
    QTest::addColumn<bool>("farSide");
    QTest::addColumn<bool>("centred");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("expected");

    QTest::newRow("near-side") << 21 << 10 << false << false << 0 << 0;
    QTest::newRow("far-side") << 21 << 10 << true << false << 0 << -9;
    QTest::newRow("centred-halves-truncating") << 21 << 10 << false << true << 0 << -4;
    QTest::newRow("offset-steps-back-whole-pictures") << 21 << 10 << false << false << 25 << -5;
    QTest::newRow("far-side-offset-past-zero") << 21 << 10 << true << false << 12 << -7;
    QTest::newRow("exact-multiple-far-side") << 20 << 10 << true << false << 0 << -10;
    QTest::newRow("offset-landing-on-zero") << 21 << 10 << false << false << 10 << 0;
    QTest::newRow("negative-offset-kept") << 21 << 10 << false << false << -3 << -3;
    QTest::newRow("empty-picture") << 21 << 0 << true << false << 5 << 0;
}

void tst_BarRules::tileStart()
{
    QFETCH(int, extent);
    QFETCH(int, picture);
    QFETCH(bool, farSide);
    QFETCH(bool, centred);
    QFETCH(int, offset);
    QFETCH(int, expected);
    QCOMPARE(TileStart(extent, picture, farSide, centred, offset), expected);
}

void tst_BarRules::tilesCoverTheBar()
{
    const QList<QPoint> tiles =
        TilePositions(QSize(10, 10), 21, 25, THorzAlignment::haRight, TVertAlignment::vaTop, 0, 0);

    const QList<QPoint> expected = {QPoint(-9, 0),  QPoint(1, 0),  QPoint(11, 0),
                                    QPoint(-9, 10), QPoint(1, 10), QPoint(11, 10),
                                    QPoint(-9, 20), QPoint(1, 20), QPoint(11, 20)};
    QCOMPARE(tiles, expected);
    QVERIFY(
        TilePositions(QSize(0, 10), 21, 25, THorzAlignment::haLeft, TVertAlignment::vaTop, 0, 0).isEmpty());
}

void tst_BarRules::captionPosition_data()
{
    QTest::addColumn<int>("barWidth");
    QTest::addColumn<int>("textHeight");
    QTest::addColumn<TVertAlignment>("alignment");
    QTest::addColumn<TDirection>("direction");
    QTest::addColumn<int>("bottomPicture");
    QTest::addColumn<QPoint>("expected");

    // Bar height 200, caption 150 long, OffsetY 6.
    QTest::newRow("tray-bottom-upwards")
        << 21 << 22 << TVertAlignment::vaBottom << TDirection::dDownToUp << 0 << QPoint(-1, 194);
    QTest::newRow("bottom-above-picture")
        << 21 << 22 << TVertAlignment::vaBottom << TDirection::dDownToUp << 16 << QPoint(-1, 178);
    QTest::newRow("top-upwards") << 21 << 22 << TVertAlignment::vaTop << TDirection::dDownToUp << 0
                                 << QPoint(-1, 156);
    QTest::newRow("middle-half-to-even")
        << 21 << 22 << TVertAlignment::vaMiddle << TDirection::dDownToUp << 0 << QPoint(-1, 174);
    QTest::newRow("bottom-downwards")
        << 21 << 22 << TVertAlignment::vaBottom << TDirection::dUpToDown << 0 << QPoint(22, 44);
    QTest::newRow("top-downwards") << 21 << 22 << TVertAlignment::vaTop << TDirection::dUpToDown << 0
                                   << QPoint(22, 6);
    QTest::newRow("x-whole") << 32 << 17 << TVertAlignment::vaTop << TDirection::dDownToUp << 0
                             << QPoint(7, 156);
    QTest::newRow("x-half-up-to-even")
        << 32 << 16 << TVertAlignment::vaTop << TDirection::dDownToUp << 0 << QPoint(8, 156);
    QTest::newRow("x-half-down-to-even")
        << 32 << 18 << TVertAlignment::vaTop << TDirection::dDownToUp << 0 << QPoint(6, 156);
}

void tst_BarRules::captionPosition()
{
    QFETCH(int, barWidth);
    QFETCH(int, textHeight);
    QFETCH(TVertAlignment, alignment);
    QFETCH(TDirection, direction);
    QFETCH(int, bottomPicture);
    QFETCH(QPoint, expected);
    QCOMPARE(CaptionPosition(barWidth, 200, 150, textHeight, alignment, direction, 6, bottomPicture),
             expected);
}

void tst_BarRules::itemArea_data()
{
    QTest::addColumn<bool>("withBand");
    QTest::addColumn<TSide>("side");
    QTest::addColumn<TSeparatorStyle>("separators");
    QTest::addColumn<QRect>("expected");

    // Item row x 3 .. 102, bar 21 wide with 1 pixel of space.
    QTest::newRow("left-band") << true << TSide::sLeft << TSeparatorStyle::ssNormal << QRect(25, 10, 78, 18);
    QTest::newRow("right-band") << true << TSide::sRight << TSeparatorStyle::ssNormal << QRect(3, 10, 78, 18);
    QTest::newRow("no-band") << false << TSide::sLeft << TSeparatorStyle::ssNormal << QRect(3, 10, 100, 18);
    QTest::newRow("short-lines-take-ten-more")
        << true << TSide::sLeft << TSeparatorStyle::ssShortLine << QRect(25, 10, 68, 18);
}

void tst_BarRules::itemArea()
{
    QFETCH(bool, withBand);
    QFETCH(TSide, side);
    QFETCH(TSeparatorStyle, separators);
    QFETCH(QRect, expected);
    QCOMPARE(ItemArea(QRect(3, 10, 100, 18), withBand, side, 21, 1, separators), expected);
}

void tst_BarRules::bandTargetOnEitherSide()
{
    QCOMPARE(BandTarget(QRect(3, 10, 100, 18), TSide::sLeft, 21), QRect(3, 10, 21, 18));
    QCOMPARE(BandTarget(QRect(3, 10, 100, 18), TSide::sRight, 21), QRect(82, 10, 21, 18));
}

void tst_BarRules::shortLineRect()
{
    QCOMPARE(ShortLineRect(QRect(25, 10, 68, 12)), QRect(37, 10, 54, 12));
}

void tst_BarRules::separatorTextLeft_data()
{
    QTest::addColumn<int>("textWidth");
    QTest::addColumn<TAlignment>("alignment");
    QTest::addColumn<int>("expected");

    // Rectangle x 20 .. 119.
    QTest::newRow("left") << 41 << TAlignment::taLeftJustify << 20;
    QTest::newRow("right") << 41 << TAlignment::taRightJustify << 79;
    QTest::newRow("centre-whole") << 41 << TAlignment::taCenter << 49;
    QTest::newRow("centre-half-up-to-even") << 40 << TAlignment::taCenter << 50;
    QTest::newRow("centre-half-down-to-even") << 42 << TAlignment::taCenter << 48;
    QTest::newRow("text-wider-than-rect") << 120 << TAlignment::taCenter << 10;
}

void tst_BarRules::separatorTextLeft()
{
    QFETCH(int, textWidth);
    QFETCH(TAlignment, alignment);
    QFETCH(int, expected);
    QCOMPARE(SeparatorTextLeft(QRect(20, 0, 100, 14), textWidth, alignment), expected);
}

void tst_BarRules::measureBeforeHandlers_data()
{
    QTest::addColumn<bool>("separator");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("hint");
    QTest::addColumn<bool>("menuHasImages");
    QTest::addColumn<bool>("ownBitmap");
    QTest::addColumn<bool>("mainMenuTop");
    QTest::addColumn<TBcMenuStyle>("look");
    QTest::addColumn<QSize>("expected");

    // Proposal 100 x 17.
    const auto standard = TBcMenuStyle::msStandard;
    const auto xp = TBcMenuStyle::msWindowsXP;
    QTest::newRow("separator-plain") << true << true << QString() << false << false << false << standard
                                     << QSize(100, 12);
    QTest::newRow("separator-plain-xp")
        << true << true << QString() << false << false << false << xp << QSize(100, 9);
    QTest::newRow("separator-with-hint")
        << true << true << "Cameras" << false << false << false << xp << QSize(100, 14);
    QTest::newRow("separator-disabled-hides-hint")
        << true << false << "Cameras" << false << false << false << standard << QSize(100, 12);
    QTest::newRow("item-no-pictures-gets-check-column")
        << false << true << QString() << false << false << false << standard << QSize(115, 17);
    QTest::newRow("item-menu-images")
        << false << true << QString() << true << false << false << standard << QSize(100, 17);
    QTest::newRow("item-own-bitmap") << false << true << QString() << false << true << false << standard
                                     << QSize(100, 17);
    QTest::newRow("item-xp-even-height")
        << false << true << QString() << true << false << false << xp << QSize(102, 18);
    QTest::newRow("item-xp-no-pictures")
        << false << true << QString() << false << false << false << xp << QSize(117, 18);
    QTest::newRow("main-menu-top-level-unchanged")
        << false << true << QString() << false << false << true << xp << QSize(100, 17);
}

void tst_BarRules::measureBeforeHandlers()
{
    QFETCH(bool, separator);
    QFETCH(bool, enabled);
    QFETCH(QString, hint);
    QFETCH(bool, menuHasImages);
    QFETCH(bool, ownBitmap);
    QFETCH(bool, mainMenuTop);
    QFETCH(TBcMenuStyle, look);
    QFETCH(QSize, expected);

    TMeasureItem item;
    item.separator = separator;
    item.enabled = enabled;
    item.hint = hint;
    item.menuHasImages = menuHasImages;
    item.hasOwnBitmap = ownBitmap;
    item.topLevelOfMainMenu = mainMenuTop;
    int width = 100;
    int height = 17;
    MeasureBeforeHandlers(item, look, width, height);
    QCOMPARE(QSize(width, height), expected);
}

void tst_BarRules::measureAfterHandlers_data()
{
    QTest::addColumn<TSeparatorStyle>("separators");
    QTest::addColumn<bool>("barVisible");
    QTest::addColumn<bool>("firstColumn");
    QTest::addColumn<bool>("recalculate");
    QTest::addColumn<bool>("itemVisible");
    QTest::addColumn<int>("expectedWidth");
    QTest::addColumn<int>("expectedBarHeight");

    // Width 100, height 18, bar 21 + 1.
    QTest::newRow("first-column-gets-bar")
        << TSeparatorStyle::ssNormal << true << true << false << true << 122 << 0;
    QTest::newRow("recalculating-adds-height")
        << TSeparatorStyle::ssNormal << true << true << true << true << 122 << 18;
    QTest::newRow("invisible-item-adds-no-height")
        << TSeparatorStyle::ssNormal << true << true << true << false << 122 << 0;
    QTest::newRow("second-column-nothing")
        << TSeparatorStyle::ssNormal << true << false << true << true << 100 << 0;
    QTest::newRow("hidden-bar-nothing")
        << TSeparatorStyle::ssNormal << false << true << true << true << 100 << 0;
    QTest::newRow("short-lines-ten-more")
        << TSeparatorStyle::ssShortLine << false << true << false << true << 110 << 0;
    QTest::newRow("short-lines-and-bar")
        << TSeparatorStyle::ssShortLine << true << true << false << true << 132 << 0;
}

void tst_BarRules::measureAfterHandlers()
{
    QFETCH(TSeparatorStyle, separators);
    QFETCH(bool, barVisible);
    QFETCH(bool, firstColumn);
    QFETCH(bool, recalculate);
    QFETCH(bool, itemVisible);
    QFETCH(int, expectedWidth);
    QFETCH(int, expectedBarHeight);

    TMeasureItem item;
    item.inFirstColumn = firstColumn;
    item.visible = itemVisible;
    TMeasureBar bar;
    bar.separatorStyle = separators;
    bar.barVisible = barVisible;
    bar.barWidth = 21;
    bar.barSpace = 1;
    bar.recalculate = recalculate;
    int width = 100;
    QCOMPARE(MeasureAfterHandlers(item, bar, width, 18), expectedBarHeight);
    QCOMPARE(width, expectedWidth);
}

void tst_BarRules::effectiveMenuStyle_data()
{
    QTest::addColumn<TBcMenuStyle>("style");
    QTest::addColumn<bool>("nt");
    QTest::addColumn<int>("major");
    QTest::addColumn<int>("minor");
    QTest::addColumn<TBcMenuStyle>("expected");

    QTest::newRow("standard-stays") << TBcMenuStyle::msStandard << true << 5 << 1 << TBcMenuStyle::msStandard;
    QTest::newRow("xp-stays") << TBcMenuStyle::msWindowsXP << false << 4 << 0 << TBcMenuStyle::msWindowsXP;
    QTest::newRow("auto-nt-5.1") << TBcMenuStyle::msAuto << true << 5 << 1 << TBcMenuStyle::msWindowsXP;
    QTest::newRow("auto-nt-5.0") << TBcMenuStyle::msAuto << true << 5 << 0 << TBcMenuStyle::msStandard;
    QTest::newRow("auto-nt-6.0") << TBcMenuStyle::msAuto << true << 6 << 0 << TBcMenuStyle::msStandard;
    QTest::newRow("auto-nt-4.1") << TBcMenuStyle::msAuto << true << 4 << 1 << TBcMenuStyle::msStandard;
    QTest::newRow("auto-not-nt") << TBcMenuStyle::msAuto << false << 5 << 1 << TBcMenuStyle::msStandard;
}

void tst_BarRules::effectiveMenuStyle()
{
    QFETCH(TBcMenuStyle, style);
    QFETCH(bool, nt);
    QFETCH(int, major);
    QFETCH(int, minor);
    QFETCH(TBcMenuStyle, expected);
    QCOMPARE(EffectiveMenuStyle(style, TPlatformVersion{nt, major, minor}), expected);
    QCOMPARE(EffectiveMenuStyle(TBcMenuStyle::msAuto, CurrentPlatformVersion()), TBcMenuStyle::msStandard);
}

void tst_BarRules::fadeLine_data()
{
    QTest::addColumn<int>("fadeWidth");
    QTest::addColumn<int>("gapLeft");
    QTest::addColumn<int>("gapRight");
    QTest::addColumn<QList<int>>("expected");

    // Ten pixels of white under a black line; -1 marks a pixel left alone.
    QTest::newRow("plain-fades-both-ends")
        << 4 << 5 << 5 << QList<int>{255, 192, 128, 64, 0, 0, 64, 128, 192, 255};
    QTest::newRow("gap-for-text") << 4 << 3 << 7 << QList<int>{255, 192, 128, -1, -1, -1, -1, 128, 192, 255};
    QTest::newRow("no-fade-width-is-solid") << 0 << 5 << 5 << QList<int>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    QTest::newRow("fade-wider-than-halves")
        << 8 << 5 << 5 << QList<int>{255, 224, 192, 160, 128, 128, 160, 192, 224, 255};
}

void tst_BarRules::fadeLine()
{
    QFETCH(int, fadeWidth);
    QFETCH(int, gapLeft);
    QFETCH(int, gapRight);
    QFETCH(QList<int>, expected);

    QImage image(10, 3, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    for (int x = gapLeft; x < gapRight; ++x)
        image.setPixel(x, 1, qRgb(7, 7, 7));
    const QImage untouched = image;

    FadeLine(image, 1, 0, 10, fadeWidth, QColor(0, 0, 0), gapLeft, gapRight);

    for (int x = 0; x < 10; ++x) {
        const int grey = expected.at(x);
        const QRgb wanted = grey < 0 ? untouched.pixel(x, 1) : qRgb(grey, grey, grey);
        QCOMPARE(image.pixel(x, 1), wanted);
        QCOMPARE(image.pixel(x, 0), qRgb(255, 255, 255));
    }
}

void tst_BarRules::fadeLineOutsideImageIsSkipped()
{
    QImage image(4, 2, QImage::Format_RGB32);
    image.fill(qRgb(255, 255, 255));
    FadeLine(image, 5, 0, 4, 2, QColor(0, 0, 0), 2, 2);
    FadeLine(image, 0, -6, 12, 2, QColor(0, 0, 0), 3, 3);

    QCOMPARE(image.pixel(0, 1), qRgb(255, 255, 255));
    QCOMPARE(image.pixel(0, 0), qRgb(0, 0, 0));
    QCOMPARE(image.pixel(3, 0), qRgb(0, 0, 0));
}

void tst_BarRules::pictureForBar()
{
    QImage keyed(3, 2, QImage::Format_RGB32);
    keyed.fill(qRgb(255, 0, 255));
    keyed.setPixel(1, 0, qRgb(10, 20, 30));

    const QImage transparent = PictureForBar(keyed, true);
    QCOMPARE(qAlpha(transparent.pixel(0, 0)), 0);
    QCOMPARE(transparent.pixel(1, 0), qRgb(10, 20, 30));

    const QImage opaque = PictureForBar(keyed, false);
    QCOMPARE(opaque.pixel(0, 0), qRgb(255, 0, 255));
    QVERIFY(!opaque.hasAlphaChannel());

    QImage alpha(2, 2, QImage::Format_ARGB32);
    alpha.fill(qRgba(0, 0, 255, 255));
    alpha.setPixel(1, 1, qRgba(0, 0, 0, 0));
    const QImage kept = PictureForBar(alpha, true);
    QCOMPARE(kept.pixel(0, 1), qRgba(0, 0, 255, 255));
    QCOMPARE(qAlpha(kept.pixel(1, 1)), 0);

    QVERIFY(PictureForBar(QImage(), true).isNull());
}

void tst_BarRules::trayBarColoursForDepth_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("visible");
    QTest::addColumn<QColor>("start");
    QTest::addColumn<QColor>("end");

    QTest::newRow("16-colours-no-bar") << 4 << false << QColor() << QColor();
    QTest::newRow("256-colours-navy") << 8 << true << QColor(0, 0, 128) << QColor(0, 0, 128);
    QTest::newRow("high-colour-gradient") << 16 << true << QColor(0, 0, 0) << QColor(156, 182, 214);
    QTest::newRow("true-colour-24") << 24 << true << QColor(0, 0, 0) << QColor(156, 182, 214);
    QTest::newRow("true-colour-32") << 32 << true << QColor(0, 0, 0) << QColor(156, 182, 214);
}

void tst_BarRules::trayBarColoursForDepth()
{
    QFETCH(int, depth);
    QFETCH(bool, visible);
    QFETCH(QColor, start);
    QFETCH(QColor, end);
    const TTrayBarColours colours = TrayBarColoursForDepth(depth);
    QCOMPARE(colours.visible, visible);
    QCOMPARE(colours.start, start);
    QCOMPARE(colours.end, end);
}

QTEST_GUILESS_MAIN(tst_BarRules)
#include "tst_BarRules.moc"
