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

    // The decoder an extension (with or without its dot, any case) names; None when unknown.
    static TFormat FormatForExtension(const QString& ext);

    // False for an unknown extension, an unreadable file or content its decoder rejects; the
    // picture is then left as it was.
    bool LoadFromFile(const QString& fileName);
    // The program's 256 x 256 placeholder ("BLANK_IMAGE").
    void LoadBlank();
    void Clear();

    // Writes the loaded bytes unchanged (the placeholder as a bitmap). False on failure; an
    // existing file is replaced only by a complete new one.
    bool SaveToFile(const QString& fileName) const;

    bool IsEmpty() const { return m_image.isNull(); }
    int Width() const { return m_image.width(); }
    int Height() const { return m_image.height(); }
    TFormat Format() const { return m_format; }
    const QImage& Image() const { return m_image; }

    // Draws the picture scaled to fill the target rectangle.
    void Draw(QPainter& painter, const QRect& target) const;

private:
    QImage m_image;
    QByteArray m_bytes; // as loaded; empty for the placeholder
    TFormat m_format = TFormat::None;
};
