#include "widgets/GradientFill.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

namespace {

const QRgb kMarker = qRgb(1, 2, 3);

QImage Marked(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(kMarker);
    return image;
}

} // namespace

class tst_GradientFill : public QObject
{
    Q_OBJECT

private slots:
    void verticalRows_data();
    void verticalRows();
    void horizontalColumns_data();
    void horizontalColumns();
    void diagonalCorners_data();
    void diagonalCorners();
    void equalColoursFillExactlyTheRectangle();
    void emptyHeightDrawsNothing();
    void horizontalOnePixelHighDrawsOneRow();
    void rectangleBeyondImageIsClipped();
    void otherFormatsBecome32Bit();
    void canvasMatchesBitmap_data();
    void canvasMatchesBitmap();
};

void tst_GradientFill::verticalRows_data()
{
    QTest::addColumn<QColor>("start");
    QTest::addColumn<QColor>("end");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("row");
    QTest::addColumn<QColor>("expected");

    const QColor black(0, 0, 0);
    const QColor trayEnd(156, 182, 214);
    QTest::newRow("tray-top-row") << black << trayEnd << 100 << 0 << QColor(0, 0, 0);
    QTest::newRow("tray-middle-row") << black << trayEnd << 100 << 50 << QColor(78, 91, 107);
    QTest::newRow("tray-bottom-row-short-of-end") << black << trayEnd << 100 << 99 << QColor(154, 180, 211);
    // Falling components truncate towards zero: 200 - 66.67 gives 134, not 133.
    QTest::newRow("falling-truncates-towards-zero")
        << QColor(200, 200, 200) << QColor(0, 0, 0) << 3 << 1 << QColor(134, 134, 134);
    QTest::newRow("default-bar-colours") << QColor(175, 189, 216) << black << 4 << 3 << QColor(44, 48, 54);
}

void tst_GradientFill::verticalRows()
{
    QFETCH(QColor, start);
    QFETCH(QColor, end);
    QFETCH(int, height);
    QFETCH(int, row);
    QFETCH(QColor, expected);

    QImage image = Marked(21, height);
    GradientFill(image, image.rect(), start, end, TGradientStyle::gsVertical);

    QCOMPARE(QColor(image.pixel(0, row)), expected);
    QCOMPARE(QColor(image.pixel(20, row)), expected);
}

void tst_GradientFill::horizontalColumns_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QColor>("expected");

    QTest::newRow("first-column-is-start") << 0 << QColor(128, 128, 128);
    QTest::newRow("column-one") << 1 << QColor(130, 130, 130);
    QTest::newRow("last-column-short-of-end") << 31 << QColor(190, 190, 190);
}

void tst_GradientFill::horizontalColumns()
{
    QFETCH(int, column);
    QFETCH(QColor, expected);

    QImage image = Marked(40, 5);
    GradientFill(image, QRect(4, 1, 32, 3), QColor(128, 128, 128), QColor(192, 192, 192),
                 TGradientStyle::gsHorizontal);

    for (int y = 1; y <= 3; ++y)
        QCOMPARE(QColor(image.pixel(4 + column, y)), expected);
}

void tst_GradientFill::diagonalCorners_data()
{
    QTest::addColumn<TGradientStyle>("style");
    QTest::addColumn<QPoint>("pixel");
    QTest::addColumn<QColor>("expected");

    // 4 x 4 from black to (200, 100, 40): t = trunc((y/4 + x/4) * 512), component = d * t / 1024.
    QTest::newRow("lr-top-left-is-start")
        << TGradientStyle::gsDiagonalLeftRight << QPoint(0, 0) << QColor(0, 0, 0);
    QTest::newRow("lr-top-right") << TGradientStyle::gsDiagonalLeftRight << QPoint(3, 0)
                                  << QColor(75, 37, 15);
    QTest::newRow("lr-bottom-right") << TGradientStyle::gsDiagonalLeftRight << QPoint(3, 3)
                                     << QColor(150, 75, 30);
    QTest::newRow("lr-middle") << TGradientStyle::gsDiagonalLeftRight << QPoint(1, 2) << QColor(75, 37, 15);
    QTest::newRow("rl-top-right-is-start")
        << TGradientStyle::gsDiagonalRightLeft << QPoint(3, 0) << QColor(0, 0, 0);
    QTest::newRow("rl-top-left") << TGradientStyle::gsDiagonalRightLeft << QPoint(0, 0) << QColor(75, 37, 15);
    QTest::newRow("rl-bottom-left") << TGradientStyle::gsDiagonalRightLeft << QPoint(0, 3)
                                    << QColor(150, 75, 30);
}

void tst_GradientFill::diagonalCorners()
{
    QFETCH(TGradientStyle, style);
    QFETCH(QPoint, pixel);
    QFETCH(QColor, expected);

    QImage image = Marked(4, 4);
    GradientFill(image, image.rect(), QColor(0, 0, 0), QColor(200, 100, 40), style);

    QCOMPARE(QColor(image.pixel(pixel)), expected);
}

void tst_GradientFill::equalColoursFillExactlyTheRectangle()
{
    QImage image = Marked(10, 10);
    const QRect rect(2, 3, 5, 4);
    GradientFill(image, rect, QColor(10, 20, 30), QColor(10, 20, 30), TGradientStyle::gsDiagonalLeftRight);

    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            QCOMPARE(image.pixel(x, y), rect.contains(x, y) ? qRgb(10, 20, 30) : kMarker);
}

void tst_GradientFill::emptyHeightDrawsNothing()
{
    QImage image = Marked(10, 10);
    GradientFill(image, QRect(0, 5, 10, 0), QColor(0, 0, 0), QColor(255, 255, 255),
                 TGradientStyle::gsVertical);
    GradientFill(image, QRect(0, 5, 10, -3), QColor(0, 0, 0), QColor(255, 255, 255),
                 TGradientStyle::gsHorizontal);

    QCOMPARE(image, Marked(10, 10));
}

void tst_GradientFill::horizontalOnePixelHighDrawsOneRow()
{
    QImage image = Marked(8, 3);
    GradientFill(image, QRect(0, 1, 8, 1), QColor(0, 0, 0), QColor(80, 80, 80), TGradientStyle::gsHorizontal);

    for (int x = 0; x < 8; ++x) {
        QCOMPARE(image.pixel(x, 0), kMarker);
        QCOMPARE(image.pixel(x, 1), qRgb(10 * x, 10 * x, 10 * x));
        QCOMPARE(image.pixel(x, 2), kMarker);
    }
}

void tst_GradientFill::rectangleBeyondImageIsClipped()
{
    QImage image = Marked(6, 6);
    GradientFill(image, QRect(-4, -4, 20, 20), QColor(0, 0, 0), QColor(40, 40, 40),
                 TGradientStyle::gsVertical);

    // Row 0 of the image is row 4 of the gradient: 40 * 4 / 20 = 8.
    QCOMPARE(image.pixel(0, 0), qRgb(8, 8, 8));
    QCOMPARE(image.pixel(5, 5), qRgb(18, 18, 18));
}

void tst_GradientFill::otherFormatsBecome32Bit()
{
    QImage image(4, 4, QImage::Format_Indexed8);
    image.setColorCount(1);
    image.setColor(0, kMarker);
    image.fill(0);

    GradientFill(image, image.rect(), QColor(0, 0, 0), QColor(0, 0, 128), TGradientStyle::gsVertical);

    QCOMPARE(image.format(), QImage::Format_RGB32);
    QCOMPARE(image.pixel(2, 3), qRgb(0, 0, 96));
}

void tst_GradientFill::canvasMatchesBitmap_data()
{
    QTest::addColumn<TGradientStyle>("style");
    QTest::newRow("horizontal") << TGradientStyle::gsHorizontal;
    QTest::newRow("vertical") << TGradientStyle::gsVertical;
    QTest::newRow("diagonal-left-right") << TGradientStyle::gsDiagonalLeftRight;
    QTest::newRow("diagonal-right-left") << TGradientStyle::gsDiagonalRightLeft;
}

void tst_GradientFill::canvasMatchesBitmap()
{
    QFETCH(TGradientStyle, style);
    const QRect rect(3, 2, 17, 9);
    QImage direct = Marked(24, 14);
    GradientFill(direct, rect, QColor(20, 200, 40), QColor(220, 10, 90), style);

    QImage drawn = Marked(24, 14);
    {
        QPainter canvas(&drawn);
        GradientFill(canvas, rect, QColor(20, 200, 40), QColor(220, 10, 90), style);
    }

    QCOMPARE(drawn, direct);
}

QTEST_GUILESS_MAIN(tst_GradientFill)
#include "tst_GradientFill.moc"
