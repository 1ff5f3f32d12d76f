#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QPainter;
class QRect;

// A picture as the camera window needs it: loaded from a file by the decoder its extension
// names (".jpg"/".jpeg" through libjpeg, ".png" through libpng, ".gif" and ".bmp" through Qt's
// readers; the content is never sniffed), with its natural size, drawn stretched, and saved in
// the format it was loaded in: the loaded bytes are written back unchanged. The placeholder
// picture saves as a bitmap. What the decoders have to say goes to the trace ("codec" lines),
// never to the terminal. UI thread.
class TPicture
{
public:
    enum class TFormat
    {
        None,
        Jpeg,
        Gif,
        Png,
        Bmp
    };

    // Larger pictures count as undecodable, whatever their format: no side over 10000 pixels and
    // at most 128 MiB decoded at 4 bytes a pixel (8K video frames fit), checked from the header
    // before the pixels are decoded.
    static constexpr int MaxSide = 10000;
    static constexpr qint64 MaxDecodedBytes = qint64(128) * 1024 * 1024;
    // Larger files are not read at all. Camera pictures are tens of kilobytes; this holds a
    // 24-bit bitmap of 3840 x 2160 with room to spare.
    static constexpr qint64 MaxFileBytes = qint64(32) * 1024 * 1024;

    // When a JPEG's pixels are decoded. Now: into a frame held with the picture. WhenDrawn: only
    // the header is read at load (a picture libjpeg would stop at is still refused then), and every
    // Draw decodes the rows it draws a strip at a time, so no frame of the whole picture is held:
    // the camera window draws a picture once per refresh and keeps just the camera's bytes.
    // Other formats are always decoded now.
    enum class TDecode
    {
        Now,
        WhenDrawn
    };

    // The decoder an extension (with or without its dot, any case) names; None when unknown.
    static TFormat FormatForExtension(const QString& ext);

    // False for an unknown extension, an unreadable file or content its decoder rejects; the
    // picture is then left as it was. scalePercent: the scale the picture is shown at; a JPEG
    // shown at 50 % or less is decoded at 1/2 or 1/4 of its size (its natural size stays), so a
    // small window holds a small frame.
    bool LoadFromFile(const QString& fileName, int scalePercent = 100);
    // The same from bytes in memory, decoded as format.
    bool LoadFromData(QByteArray bytes, TFormat format, int scalePercent = 100,
                      TDecode decode = TDecode::Now);
    // Decodes the loaded JPEG again when scalePercent needs another fraction of its size than the
    // frame held (a window scaled up from 25 %); true when the frame changed.
    bool Rescale(int scalePercent);
    // The program's 256 x 256 placeholder ("BLANK_IMAGE").
    void LoadBlank();
    void Clear();

    // Writes the loaded bytes unchanged (the placeholder as a bitmap). False on failure; an
    // existing file is replaced only by a complete new one.
    bool SaveToFile(const QString& fileName) const;

    bool IsEmpty() const { return m_frameSize.isEmpty(); }
    // The natural size, whatever size the frame was decoded at.
    int Width() const { return m_natural.width(); }
    int Height() const { return m_natural.height(); }
    TFormat Format() const { return m_format; }
    // The frame as decoded: the natural size, or less for a JPEG loaded for a small scale. Null
    // for a picture decoded when drawn.
    const QImage& Image() const { return m_image; }
    // The size of the frame held, or drawn for a picture decoded when drawn.
    QSize FrameSize() const { return m_frameSize; }
    // The bytes as loaded (shared, not copied); empty for the placeholder.
    const QByteArray& Bytes() const { return m_bytes; }

    // Draws the picture scaled to fill the target rectangle; exposed, when given, is the part
    // that needs drawing (a picture decoded when drawn stops after its last row). False when the
    // picture could not be decoded; what could not be drawn is filled with black.
    bool Draw(QPainter& painter, const QRect& target, const QRect& exposed = QRect()) const;

private:
    // libjpeg's scale denominator for a picture shown at scalePercent: 1, 2 or 4.
    static int jpegDenominator(int scalePercent);

    bool drawStrips(QPainter& painter, const QRect& target, const QRect& exposed) const;

    QImage m_image;
    QSize m_natural;
    QSize m_frameSize;
    bool m_whenDrawn = false;
    int m_denominator = 1;
    QByteArray m_bytes; // as loaded; empty for the placeholder
    TFormat m_format = TFormat::None;
};
