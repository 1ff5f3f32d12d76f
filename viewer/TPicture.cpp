#include "viewer/TPicture.h"

#include "platform/TTrace.h"
#include "viewer/TJpegDecoder.h"
#include "viewer/TPngDecoder.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>
#include <QSaveFile>
#include <QThread>
#include <QTransform>

#include <algorithm>
#include <cmath>
#include <optional>

// Resources of a static library are registered only when asked for by name.
static void initViewerResources()
{
    Q_INIT_RESOURCE(viewer);
}

namespace {

// Where decoded rows may go straight into the image a painter paints on.
struct TInPlace
{
    uchar* Bits;
    qsizetype BytesPerLine;
    QPoint Origin; // the picture's top left pixel in the image
    QRect Rows;    // the image's rows to write, each the picture's whole width
};

// Rows of width pixels for target, within wanted, may be written in place only onto a plain
// 32-bit raster image, at a whole-pixel offset, opaque, and only as whole rows that lie inside
// the target, the image and every clip (the painter's and the paint event's): none otherwise.
std::optional<TInPlace> inPlace(QPainter& painter, const QRect& target, const QRect& wanted, int width)
{
    QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster || !engine->paintDevice() ||
        engine->paintDevice()->devType() != QInternal::Image)
        return std::nullopt;
    auto* image = static_cast<QImage*>(engine->paintDevice());
    if ((image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32_Premultiplied) ||
        image->devicePixelRatio() != 1.0 || !image->isDetached())
        return std::nullopt;
    if (painter.opacity() < 1.0 || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return std::nullopt;
    const QTransform transform = painter.deviceTransform();
    if (transform.type() > QTransform::TxTranslate || transform.dx() != std::floor(transform.dx()) ||
        transform.dy() != std::floor(transform.dy()))
        return std::nullopt;
    if (width > target.width() || wanted.left() > target.left() || wanted.right() < target.left() + width - 1)
        return std::nullopt;
    const QRect rows(target.left(), wanted.top(), width, wanted.height());
    if (painter.hasClipping() && !(QRegion(rows) - painter.clipRegion()).isEmpty())
        return std::nullopt;
    const QPoint offset(int(transform.dx()), int(transform.dy()));
    const QRect inImage = rows.translated(offset);
    const QRegion systemClip = engine->systemClip();
    if (!image->rect().contains(inImage) ||
        (!systemClip.isEmpty() && !(QRegion(inImage) - systemClip).isEmpty()))
        return std::nullopt;
    return TInPlace{image->bits(), image->bytesPerLine(), target.topLeft() + offset, inImage};
}

const char* qtFormatName(TPicture::TFormat format)
{
    switch (format) {
    case TPicture::TFormat::Jpeg:
        return "jpeg";
    case TPicture::TFormat::Gif:
        return "gif";
    case TPicture::TFormat::Png:
        return "png";
    case TPicture::TFormat::Bmp:
        return "bmp";
    case TPicture::TFormat::None:
        break;
    }
    return "";
}

bool fitsLimits(const QSize& size)
{
    return size.width() <= TPicture::MaxSide && size.height() <= TPicture::MaxSide &&
           qint64(size.width()) * size.height() * 4 <= TPicture::MaxDecodedBytes;
}

// While it lives, what Qt's image readers say on this thread (qWarning from a plugin, for one)
// goes to the trace instead of the terminal; other threads' messages pass as before.
class TCodecMessages
{
public:
    TCodecMessages()
    {
        s_thread = QThread::currentThread();
        s_previous = qInstallMessageHandler(route);
    }
    ~TCodecMessages()
    {
        qInstallMessageHandler(s_previous);
        s_thread = nullptr;
    }
    Q_DISABLE_COPY_MOVE(TCodecMessages)

private:
    static void route(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        if (QThread::currentThread() == s_thread && type != QtFatalMsg)
            TTrace::write("codec", message);
        else if (s_previous)
            s_previous(type, context, message);
    }

    static inline QThread* s_thread = nullptr;
    static inline QtMessageHandler s_previous = nullptr;
};

} // namespace

TPicture::TFormat TPicture::FormatForExtension(const QString& ext)
{
    QString e = ext.toLower();
    if (e.startsWith(QLatin1Char('.')))
        e.remove(0, 1);
    if (e == QLatin1String("jpg") || e == QLatin1String("jpeg"))
        return TFormat::Jpeg;
    if (e == QLatin1String("gif"))
        return TFormat::Gif;
    if (e == QLatin1String("png"))
        return TFormat::Png;
    if (e == QLatin1String("bmp"))
        return TFormat::Bmp;
    return TFormat::None;
}

int TPicture::jpegDenominator(int scalePercent)
{
    // The frame never comes out smaller than it is shown, so nothing is scaled up.
    if (scalePercent > 0 && scalePercent <= 25)
        return 4;
    if (scalePercent > 0 && scalePercent <= 50)
        return 2;
    return 1;
}

bool TPicture::LoadFromFile(const QString& fileName, int scalePercent)
{
    const TFormat format = FormatForExtension(QFileInfo(fileName).suffix());
    if (format == TFormat::None)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // A file far larger than any picture we accept is not read into memory at all.
    if (file.size() > MaxFileBytes)
        return false;
    QByteArray bytes = file.readAll();
    file.close();
    return LoadFromData(std::move(bytes), format, scalePercent);
}

bool TPicture::LoadFromData(QByteArray bytes, TFormat format, int scalePercent, TDecode decode)
{
    if (format == TFormat::None || bytes.size() > MaxFileBytes)
        return false;

    if (format == TFormat::Jpeg && decode == TDecode::WhenDrawn) {
        QSize natural;
        QSize output;
        const int denominator = jpegDenominator(scalePercent);
        switch (TJpegDecoder::Probe(bytes, fitsLimits, denominator, &natural, &output)) {
        case TJpegDecoder::TResult::Decoded:
            m_image = QImage();
            m_natural = natural;
            m_frameSize = output;
            m_whenDrawn = true;
            m_denominator = denominator;
            m_bytes = std::move(bytes);
            m_format = format;
            return true;
        case TJpegDecoder::TResult::Refused:
            return false;
        case TJpegDecoder::TResult::Unsupported:
            break; // CMYK: decoded now, by Qt's reader
        }
    }

    if (format == TFormat::Jpeg) {
        QImage image;
        QSize natural;
        const int denominator = jpegDenominator(scalePercent);
        switch (TJpegDecoder::Decode(bytes, fitsLimits, &image, denominator, &natural)) {
        case TJpegDecoder::TResult::Decoded:
            m_image = std::move(image);
            m_natural = natural;
            m_frameSize = m_image.size();
            m_whenDrawn = false;
            m_denominator = denominator;
            m_bytes = std::move(bytes);
            m_format = format;
            return true;
        case TJpegDecoder::TResult::Refused:
            return false;
        case TJpegDecoder::TResult::Unsupported:
            break; // CMYK: Qt's reader converts it
        }
    }

    if (format == TFormat::Png) {
        QImage image;
        if (!TPngDecoder::Decode(bytes, fitsLimits, &image))
            return false;
        m_image = std::move(image);
        m_natural = m_image.size();
        m_frameSize = m_natural;
        m_whenDrawn = false;
        m_denominator = 1;
        m_bytes = std::move(bytes);
        m_format = format;
        return true;
    }

    const TCodecMessages quiet;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, qtFormatName(format));
    reader.setAutoDetectImageFormat(false);
    reader.setDecideFormatFromContent(false);
    // Our limit, not Qt's own (which differs by format), decides.
    reader.setAllocationLimit(int(MaxDecodedBytes / (1024 * 1024)));
    // Ask the header first, so a hostile size is refused before anything is allocated.
    const QSize announced = reader.size();
    if (announced.isValid() && !fitsLimits(announced))
        return false;
    QImage image;
    if (!reader.read(&image) || image.isNull() || !fitsLimits(image.size()))
        return false;

    buffer.close();
    m_image = std::move(image);
    m_natural = m_image.size();
    m_frameSize = m_natural;
    m_whenDrawn = false;
    m_denominator = 1;
    m_bytes = std::move(bytes);
    m_format = format;
    return true;
}

bool TPicture::Rescale(int scalePercent)
{
    if (m_format != TFormat::Jpeg || m_bytes.isEmpty() || jpegDenominator(scalePercent) == m_denominator)
        return false;
    const QByteArray bytes = m_bytes;
    return LoadFromData(bytes, TFormat::Jpeg, scalePercent, m_whenDrawn ? TDecode::WhenDrawn : TDecode::Now);
}

void TPicture::LoadBlank()
{
    initViewerResources();
    m_image = QImage(QStringLiteral(":/viewer/BLANK_IMAGE"));
    if (m_image.isNull()) {
        // Never an empty placeholder: the window would keep clearing itself.
        m_image = QImage(256, 256, QImage::Format_RGB32);
        m_image.fill(Qt::darkGray);
    }
    m_natural = m_image.size();
    m_frameSize = m_natural;
    m_whenDrawn = false;
    m_denominator = 1;
    m_bytes.clear();
    m_format = TFormat::Bmp;
}

void TPicture::Clear()
{
    m_image = QImage();
    m_natural = QSize();
    m_frameSize = QSize();
    m_whenDrawn = false;
    m_denominator = 1;
    m_bytes.clear();
    m_format = TFormat::None;
}

bool TPicture::SaveToFile(const QString& fileName) const
{
    if (IsEmpty())
        return false;
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!m_bytes.isEmpty()) {
        if (file.write(m_bytes) != m_bytes.size())
            return false;
    } else {
        QImageWriter writer(&file, "bmp");
        if (!writer.write(m_image))
            return false;
    }
    return file.commit();
}

bool TPicture::Draw(QPainter& painter, const QRect& target, const QRect& exposed) const
{
    if (IsEmpty() || target.isEmpty())
        return true;
    // Decoded now after all when the frame would have to be scaled: scaled strip by strip, the
    // joins would show.
    QImage frame = m_image;
    if (m_whenDrawn) {
        const QSize over = m_frameSize - target.size();
        // A fraction of the size rounds up, the shown scale down: a pixel more is cut off.
        if (over.width() >= 0 && over.height() >= 0 && over.width() <= 1 && over.height() <= 1)
            return drawStrips(painter, target, exposed);
        if (TJpegDecoder::Decode(m_bytes, fitsLimits, &frame, m_denominator) !=
            TJpegDecoder::TResult::Decoded) {
            painter.fillRect(target, Qt::black);
            return false;
        }
    }
    painter.save();
    if (target.size() != frame.size())
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, frame);
    painter.restore();
    return true;
}

bool TPicture::drawStrips(QPainter& painter, const QRect& target, const QRect& exposed) const
{
    const QRect wanted = exposed.isNull() ? target : exposed.intersected(target);
    if (wanted.isEmpty())
        return true;
    const int rowLimit = wanted.bottom() - target.top() + 1;
    int rowsDone = 0;
    bool decoded = false;
    // Straight into the painter's image when nothing would change the pixels on their way there:
    // it saves copying every strip once more (a tenth of a 720p refresh).
    if (const std::optional<TInPlace> place = inPlace(painter, target, wanted, m_frameSize.width())) {
        decoded = TJpegDecoder::DecodeRowsInto(
            m_bytes, m_denominator, rowLimit,
            [&place](int row) -> uchar* {
                const int y = place->Origin.y() + row;
                if (y < place->Rows.top() || y > place->Rows.bottom())
                    return nullptr;
                return place->Bits + qsizetype(y) * place->BytesPerLine + qsizetype(place->Origin.x()) * 4;
            },
            &rowsDone);
    } else {
        painter.save();
        painter.setClipRect(wanted, Qt::IntersectClip);
        decoded = TJpegDecoder::DecodeStrips(
            m_bytes, m_denominator, rowLimit, [&](const QImage& strip, int top, int rows) {
                rowsDone = top + rows;
                // Strips above the part to draw are decoded (a JPEG is read from its start) but
                // not drawn.
                if (target.top() + rowsDone > wanted.top())
                    painter.drawImage(QPoint(target.left(), target.top() + top), strip,
                                      QRect(0, 0, strip.width(), rows));
            });
        painter.restore();
    }
    // The rows that never came are black, and only within the part to draw.
    const int firstMissing = std::max(wanted.top(), target.top() + rowsDone);
    if (firstMissing <= wanted.bottom())
        painter.fillRect(
            QRect(wanted.left(), firstMissing, wanted.width(), wanted.bottom() - firstMissing + 1),
            Qt::black);
    return decoded;
}
