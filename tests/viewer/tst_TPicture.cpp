#include "viewer/TPicture.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtEndian>
#include <QtTest>

#include <cstdio>

#include "tests/support/TTraceCapture.h"

#include <unistd.h>

namespace {

// Left half red, right half blue: enough to see scaling and the format round trip.
QImage twoColours(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QPainter p(&image);
    p.fillRect(0, 0, w / 2, h, Qt::red);
    return image;
}

// Every row and column different, so a strip drawn one row off or a pixel short shows.
QImage detailed(int w, int h)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x)
            line[x] = qRgb((x * 7 + y) & 0xff, (y * 5) & 0xff, ((x ^ y) * 3) & 0xff);
    }
    return image;
}

QByteArray encoded(const QImage& image, const char* format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.write(image);
    return bytes;
}

QByteArray fixture(const char* name)
{
    QFile f(QStringLiteral(VREL_TEST_DATA_DIR "/viewer/") + QLatin1String(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray gifFixture()
{
    return fixture("camera.gif");
}

// A JPEG whose frame header announces another size than its data holds.
QByteArray jpegAnnouncing(quint16 width, quint16 height)
{
    QByteArray bytes = encoded(twoColours(16, 16), "jpeg");
    const qsizetype sof = bytes.indexOf(QByteArray("\xff\xc0", 2));
    if (sof < 0)
        return QByteArray();
    qToBigEndian<quint16>(height, bytes.data() + sof + 5);
    qToBigEndian<quint16>(width, bytes.data() + sof + 7);
    return bytes;
}

// The CRC-32 that closes every PNG chunk.
quint32 pngCrc(const char* data, qsizetype size)
{
    quint32 crc = 0xffffffffU;
    for (qsizetype i = 0; i < size; ++i) {
        crc ^= quint8(data[i]);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320U & (0U - (crc & 1U)));
    }
    return ~crc;
}

// A valid PNG whose header (with a correct checksum) announces another size than its data holds.
QByteArray pngAnnouncing(quint32 width, quint32 height)
{
    QByteArray bytes = encoded(twoColours(16, 16), "png");
    qToBigEndian<quint32>(width, bytes.data() + 16);
    qToBigEndian<quint32>(height, bytes.data() + 20);
    qToBigEndian<quint32>(pngCrc(bytes.constData() + 12, 17), bytes.data() + 29);
    return bytes;
}

// A bitmap header that announces a size but carries no pixel data.
QByteArray bitmapHeaderOnly(qint32 width, qint32 height)
{
    QByteArray b(54, '\0');
    b[0] = 'B';
    b[1] = 'M';
    qToLittleEndian<quint32>(54, b.data() + 10);
    qToLittleEndian<quint32>(40, b.data() + 14);
    qToLittleEndian<qint32>(width, b.data() + 18);
    qToLittleEndian<qint32>(height, b.data() + 22);
    qToLittleEndian<quint16>(1, b.data() + 26);
    qToLittleEndian<quint16>(24, b.data() + 28);
    return b;
}

} // namespace

class tst_TPicture : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            return QString();
        return path;
    }

private Q_SLOTS:
    void loadsByExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QSize>("size");
        const QImage image = twoColours(64, 48);
        QTest::newRow("jpg") << "a.jpg" << encoded(image, "jpeg") << QSize(64, 48);
        QTest::newRow("jpeg") << "a.jpeg" << encoded(image, "jpeg") << QSize(64, 48);
        QTest::newRow("upper-case-JPG") << "a.JPG" << encoded(image, "jpeg") << QSize(64, 48);
        QTest::newRow("png") << "a.png" << encoded(image, "png") << QSize(64, 48);
        QTest::newRow("bmp") << "a.bmp" << encoded(image, "bmp") << QSize(64, 48);
        QTest::newRow("gif") << "a.gif" << gifFixture() << QSize(80, 60);
        QTest::newRow("jpeg-greyscale")
            << "grey.jpg" << encoded(twoColours(30, 20).convertToFormat(QImage::Format_Grayscale8), "jpeg")
            << QSize(30, 20);
        QTest::newRow("jpeg-cmyk") << "cmyk.jpg" << fixture("cmyk.jpg") << QSize(40, 30);
        // The first half of the scan lines arrived: shown, the rest grey.
        const QByteArray whole = encoded(twoColours(256, 256), "jpeg");
        QTest::newRow("jpeg-truncated-shows-what-came")
            << "cut.jpg" << whole.left(whole.size() * 3 / 4) << QSize(256, 256);
        QTest::newRow("side-10000-accepted")
            << "wide.png" << encoded(QImage(10000, 2, QImage::Format_Mono), "png") << QSize(10000, 2);
    }
    void loadsByExtension()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QSize, size);
        TPicture picture;
        QVERIFY(picture.LoadFromFile(write(name, bytes)));
        QCOMPARE(QSize(picture.Width(), picture.Height()), size);
        TPicture drawn;
        QVERIFY(drawn.LoadFromData(bytes, TPicture::FormatForExtension(QFileInfo(name).suffix()), 100,
                                   TPicture::TDecode::WhenDrawn));
        QCOMPARE(QSize(drawn.Width(), drawn.Height()), size);
        QCOMPARE(drawn.FrameSize(), picture.Image().size());
    }

    void refusesWhatItsDecoderCannotRead_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QImage image = twoColours(64, 48);
        QTest::newRow("png-bytes-named-gif") << "a.gif" << encoded(image, "png");
        QTest::newRow("jpeg-bytes-named-png") << "a.png" << encoded(image, "jpeg");
        QTest::newRow("gif-bytes-named-jpg") << "a.jpg" << gifFixture();
        QTest::newRow("unknown-extension") << "a.tif" << encoded(image, "png");
        QTest::newRow("no-extension") << "picture" << encoded(image, "png");
        QTest::newRow("html-error-page")
            << "a.jpg" << QByteArray("<html><body>Not Found</body></html>").repeated(20);
        QTest::newRow("empty-file") << "a.png" << QByteArray();
        QTest::newRow("side-10001-refused")
            << "wide.png" << encoded(QImage(10001, 2, QImage::Format_Mono), "png");
        QTest::newRow("height-10001-refused")
            << "tall.png" << encoded(QImage(2, 10001, QImage::Format_Mono), "png");
        QTest::newRow("288-MB-decoded-refused") << "big.bmp" << bitmapHeaderOnly(9000, 8000);
        QTest::newRow("jpeg-announcing-10001-wide") << "wide.jpg" << jpegAnnouncing(10001, 16);
        QTest::newRow("jpeg-announcing-9000x8000") << "big.jpg" << jpegAnnouncing(9000, 8000);
        QTest::newRow("jpeg-header-only") << "head.jpg" << encoded(twoColours(64, 48), "jpeg").left(100);
        // One limit for every format: 10000 x 6500 is 260 MB decoded.
        QTest::newRow("jpeg-announcing-10000x6500") << "big.jpg" << jpegAnnouncing(10000, 6500);
        QTest::newRow("png-announcing-10000x6500") << "big.png" << pngAnnouncing(10000, 6500);
        QTest::newRow("bmp-announcing-10000x6500") << "big.bmp" << bitmapHeaderOnly(10000, 6500);
        QTest::newRow("png-announcing-8193x4097") << "big.png" << pngAnnouncing(8193, 4097);
        QTest::newRow("png-truncated") << "cut.png" << encoded(twoColours(64, 48), "png").chopped(30);
        QTest::newRow("png-data-damaged") << "bad.png" << [] {
            QByteArray b = encoded(twoColours(64, 48), "png");
            const qsizetype data = b.indexOf("IDAT") + 6; // past the chunk type and zlib's header
            b[data] = char(b[data] ^ 0x55);
            return b;
        }();
    }
    void refusesWhatItsDecoderCannotRead()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        const QString path = write(name, bytes);
        TPicture picture;
        picture.LoadBlank();
        // The decoders' complaints are the trace's business (off here): nothing on the terminal,
        // nothing through Qt's message handler.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        TTraceCapture output;
        QVERIFY(!picture.LoadFromFile(path));
        // Refused as well when only the header is read at load.
        QVERIFY(!picture.LoadFromData(bytes, TPicture::FormatForExtension(QFileInfo(name).suffix()), 100,
                                      TPicture::TDecode::WhenDrawn));
        QCOMPARE(output.text(), QByteArray());
        // A failed load leaves the picture it had.
        QCOMPARE(QSize(picture.Width(), picture.Height()), QSize(256, 256));
        QCOMPARE(picture.Format(), TPicture::TFormat::Bmp);
    }

    void refusesMissingFile()
    {
        TPicture picture;
        QVERIFY(!picture.LoadFromFile(m_dir.filePath(QStringLiteral("missing.jpg"))));
        QVERIFY(picture.IsEmpty());
    }

    void savesTheBytesItLoaded_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        const QImage image = twoColours(64, 48);
        QTest::newRow("jpeg") << "s.jpg" << encoded(image, "jpeg");
        QTest::newRow("jpeg-cmyk") << "s.jpg" << fixture("cmyk.jpg");
        QTest::newRow("png") << "s.png" << encoded(image, "png");
        QTest::newRow("gif") << "s.gif" << gifFixture();
        QTest::newRow("bmp") << "s.bmp" << encoded(image, "bmp");
    }
    void savesTheBytesItLoaded()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        TPicture picture;
        QVERIFY(picture.LoadFromFile(write(name, bytes)));
        // Whatever name the user picks, the content stays in the loaded format, byte for byte.
        const QString target = m_dir.filePath(QStringLiteral("saved-as.bmp"));
        QVERIFY(picture.SaveToFile(target));
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), bytes);
    }

    void placeholderIs256SquareAndSavesAsBitmap()
    {
        TPicture picture;
        picture.LoadBlank();
        QCOMPARE(QSize(picture.Width(), picture.Height()), QSize(256, 256));
        const QString target = m_dir.filePath(QStringLiteral("blank.jpg"));
        QVERIFY(picture.SaveToFile(target));
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY(bytes.startsWith("BM"));
        QImage back;
        QVERIFY(back.loadFromData(bytes, "bmp"));
        QCOMPARE(back.size(), QSize(256, 256));
        QCOMPARE(back.convertToFormat(QImage::Format_RGB32),
                 picture.Image().convertToFormat(QImage::Format_RGB32));
    }

    // PNG is decoded by libpng directly: every stored form must come out as Qt's own reader
    // shows it.
    void pngPixelsMatchQtsReader_data()
    {
        QTest::addColumn<QImage>("image");
        const QImage colour = twoColours(33, 17);
        QImage translucent(20, 10, QImage::Format_ARGB32);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 20; ++x)
                translucent.setPixel(x, y, qRgba(x * 12, y * 25, 200, x * 13));
        QTest::newRow("rgb") << colour;
        QTest::newRow("rgb-with-alpha") << translucent;
        QTest::newRow("palette") << colour.convertToFormat(QImage::Format_Indexed8);
        QTest::newRow("grey-8") << colour.convertToFormat(QImage::Format_Grayscale8);
        QTest::newRow("grey-16") << colour.convertToFormat(QImage::Format_Grayscale16);
        QTest::newRow("rgb-16-per-channel") << translucent.convertToFormat(QImage::Format_RGBA64);
        QTest::newRow("one-bit") << QImage(40, 8, QImage::Format_Mono);
    }
    void pngPixelsMatchQtsReader()
    {
        QFETCH(QImage, image);
        if (image.format() == QImage::Format_Mono) {
            image.fill(0);
            for (int x = 0; x < 40; x += 3)
                image.setPixel(x, x % 8, 1);
        }
        const QByteArray bytes = encoded(image, "png");
        QImage expected;
        QVERIFY(expected.loadFromData(bytes, "png"));
        TPicture picture;
        QVERIFY(picture.LoadFromFile(write(QStringLiteral("p.png"), bytes)));
        QCOMPARE(picture.Image().size(), image.size());
        QCOMPARE(picture.Image().hasAlphaChannel(), expected.hasAlphaChannel());
        const QImage want = expected.convertToFormat(QImage::Format_ARGB32);
        const QImage got = picture.Image().convertToFormat(QImage::Format_ARGB32);
        for (int y = 0; y < want.height(); ++y)
            for (int x = 0; x < want.width(); ++x)
                QVERIFY2(got.pixel(x, y) == want.pixel(x, y),
                         qPrintable(QStringLiteral("(%1, %2): %3 instead of %4")
                                        .arg(x)
                                        .arg(y)
                                        .arg(got.pixel(x, y), 8, 16)
                                        .arg(want.pixel(x, y), 8, 16)));
    }

    void jpegColoursSurviveDecoding()
    {
        TPicture picture;
        QVERIFY(picture.LoadFromFile(write(QStringLiteral("c.jpg"), encoded(twoColours(64, 48), "jpeg"))));
        const QColor left = picture.Image().pixelColor(8, 24);
        const QColor right = picture.Image().pixelColor(56, 24);
        QVERIFY2(left.red() > 230 && left.green() < 25 && left.blue() < 25, qPrintable(left.name()));
        QVERIFY2(right.blue() > 230 && right.red() < 25 && right.green() < 25, qPrintable(right.name()));
        QCOMPARE(picture.Image().pixel(8, 24) >> 24, 0xffu);
    }

    // A window at 50 % or 25 % holds a JPEG frame decoded at that fraction; the natural size
    // stays what the camera sent. Other formats keep their whole frame.
    void decodesJpegAtTheShownScale_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QSize>("frame");
        QTest::newRow("jpeg-100") << "s.jpg" << 100 << QSize(640, 480);
        QTest::newRow("jpeg-75-whole") << "s.jpg" << 75 << QSize(640, 480);
        QTest::newRow("jpeg-50-half") << "s.jpg" << 50 << QSize(320, 240);
        QTest::newRow("jpeg-25-quarter") << "s.jpg" << 25 << QSize(160, 120);
        QTest::newRow("png-25-whole") << "s.png" << 25 << QSize(640, 480);
    }
    void decodesJpegAtTheShownScale()
    {
        QFETCH(QString, name);
        QFETCH(int, scale);
        QFETCH(QSize, frame);
        const QByteArray bytes =
            encoded(twoColours(640, 480), name.endsWith(QLatin1String("jpg")) ? "jpeg" : "png");
        TPicture picture;
        QVERIFY(picture.LoadFromFile(write(name, bytes), scale));
        QCOMPARE(QSize(picture.Width(), picture.Height()), QSize(640, 480));
        QCOMPARE(picture.Image().size(), frame);
        // Saved as the camera sent it, whatever the frame.
        const QString saved = m_dir.filePath(QStringLiteral("saved-") + name);
        QVERIFY(picture.SaveToFile(saved));
        QFile file(saved);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), bytes);
    }

    void rescaleDecodesAgainOnlyWhenTheFractionChanges()
    {
        TPicture picture;
        QVERIFY(picture.LoadFromData(encoded(twoColours(640, 480), "jpeg"), TPicture::TFormat::Jpeg, 25));
        QCOMPARE(picture.Image().size(), QSize(160, 120));
        QVERIFY(picture.Rescale(100));
        QCOMPARE(picture.Image().size(), QSize(640, 480));
        QVERIFY(!picture.Rescale(75));
        QVERIFY(picture.Rescale(50));
        QCOMPARE(picture.Image().size(), QSize(320, 240));
        TPicture blank;
        blank.LoadBlank();
        QVERIFY(!blank.Rescale(25));
        QCOMPARE(blank.Image().size(), QSize(256, 256));
    }

    void failedSaveKeepsExistingFile()
    {
        TPicture picture;
        picture.LoadBlank();
        QVERIFY(!picture.SaveToFile(m_dir.filePath(QStringLiteral("no-such-folder/x.bmp"))));
        TPicture empty;
        const QString existing = write(QStringLiteral("keep.bmp"), "old content");
        QVERIFY(!empty.SaveToFile(existing));
        QFile f(existing);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("old content"));
    }

    void drawsStretchedToTarget()
    {
        TPicture picture;
        QVERIFY(picture.LoadFromFile(write(QStringLiteral("d.png"), encoded(twoColours(8, 8), "png"))));
        QImage canvas(200, 60, QImage::Format_RGB32);
        canvas.fill(Qt::white);
        {
            QPainter p(&canvas);
            picture.Draw(p, QRect(0, 0, 200, 60));
        }
        QCOMPARE(canvas.pixelColor(2, 2), QColor(Qt::red));
        QCOMPARE(canvas.pixelColor(60, 57), QColor(Qt::red));
        QCOMPARE(canvas.pixelColor(140, 2), QColor(Qt::blue));
        QCOMPARE(canvas.pixelColor(197, 57), QColor(Qt::blue));
    }

    // A JPEG decoded when drawn holds no frame and draws the very pixels of the frame decoded
    // now: whole, at a half or a quarter (the fraction's size rounds up, the window's down, so
    // one column and row are cut off), scaled to a smaller box, or only a band of it.
    void drawsFromItsBytesAsFromAFrame_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QSize>("target");
        QTest::addColumn<QRect>("exposed");
        const QByteArray baseline = encoded(detailed(641, 481), "jpeg");
        const QSize whole(641, 481);
        QTest::newRow("whole") << baseline << 100 << whole << QRect();
        QTest::newRow("half-odd-size") << baseline << 50 << QSize(320, 240) << QRect();
        QTest::newRow("quarter-odd-size") << baseline << 25 << QSize(160, 120) << QRect();
        QTest::newRow("scaled-into-a-smaller-box") << baseline << 100 << QSize(300, 225) << QRect();
        QTest::newRow("band-exposed") << baseline << 100 << whole << QRect(0, 100, 641, 37);
        QTest::newRow("corner-exposed") << baseline << 100 << whole << QRect(600, 450, 100, 100);
        const QByteArray progressive = [] {
            QByteArray b;
            QBuffer buffer(&b);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "jpeg");
            writer.setProgressiveScanWrite(true);
            writer.write(detailed(641, 481));
            return b;
        }();
        QTest::newRow("progressive") << progressive << 100 << whole << QRect();
        QTest::newRow("progressive-half") << progressive << 50 << QSize(320, 240) << QRect();
        QTest::newRow("greyscale") << encoded(detailed(641, 481).convertToFormat(QImage::Format_Grayscale8),
                                              "jpeg")
                                   << 100 << whole << QRect();
        // The rows that did not come are grey, as when decoded at once.
        QTest::newRow("truncated") << baseline.left(baseline.size() / 2) << 100 << whole << QRect();
    }
    void drawsFromItsBytesAsFromAFrame()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, scale);
        QFETCH(QSize, target);
        QFETCH(QRect, exposed);
        TPicture now;
        QVERIFY(now.LoadFromData(bytes, TPicture::TFormat::Jpeg, scale));
        TPicture drawn;
        QVERIFY(drawn.LoadFromData(bytes, TPicture::TFormat::Jpeg, scale, TPicture::TDecode::WhenDrawn));
        QVERIFY(drawn.Image().isNull());
        QCOMPARE(drawn.FrameSize(), now.Image().size());
        QCOMPARE(QSize(drawn.Width(), drawn.Height()), QSize(641, 481));

        // Drawn at an offset, on a canvas whose untouched pixels stay magenta.
        const QRect box(QPoint(3, 5), target);
        const auto paint = [&](const TPicture& picture, const QRect& part) {
            QImage canvas(660, 500, QImage::Format_RGB32);
            canvas.fill(Qt::magenta);
            QPainter p(&canvas);
            if (!part.isNull())
                p.setClipRect(part.translated(box.topLeft()));
            const bool ok = picture.Draw(p, box, part.isNull() ? QRect() : part.translated(box.topLeft()));
            p.end();
            return ok ? canvas : QImage();
        };
        const bool cut = now.Image().size() != target && target.width() >= now.Image().width() - 1;
        QImage expected;
        if (cut) {
            expected = QImage(660, 500, QImage::Format_RGB32);
            expected.fill(Qt::magenta);
            QPainter p(&expected);
            p.drawImage(box.topLeft(), now.Image(), QRect(QPoint(0, 0), target));
        } else {
            expected = paint(now, QRect());
        }
        const QImage got = paint(drawn, exposed);
        QVERIFY(!got.isNull());
        if (!exposed.isNull()) {
            // Only the exposed part was drawn; the rest of the box is untouched.
            QImage clipped(660, 500, QImage::Format_RGB32);
            clipped.fill(Qt::magenta);
            QPainter p(&clipped);
            const QRect part = exposed.translated(box.topLeft()).intersected(box);
            p.drawImage(part.topLeft(), expected, part);
            p.end();
            expected = clipped;
        }
        QCOMPARE(got, expected);
    }
};

QTEST_GUILESS_MAIN(tst_TPicture)
#include "tst_TPicture.moc"
