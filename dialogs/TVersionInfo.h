#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

#include <optional>
#include <utility>

// The fixed part of a version block: each version as two 32-bit words, the most significant
// holding major (high 16 bits) and minor, the least significant release and build.
struct TFixedFileInfo
{
    quint32 FileVersionMS = 0;
    quint32 FileVersionLS = 0;
    quint32 ProductVersionMS = 0;
    quint32 ProductVersionLS = 0;
};

// Reads a version block: the one the build generates into the program for its own
// executable, or, for any other file, the version block that file holds as text:
//
//   VERSIONINFO
//   [\]                          the fixed part
//   FileVersion=1.2.0.0
//   ProductVersion=1.2.0.0
//   [\VarFileInfo\Translation]   language and code page, four hexadecimal digits each
//   0409 04E4
//   [\StringFileInfo\040904E4]
//   ProductName=Vrel Web Camera
//
// A file without such a block is not valid, and every query then gives nothing.
class TVersionInfo
{
public:
    explicit TVersionInfo(const QString& fileName);

    bool Valid() const { return m_valid; }
    // Language in the low 16 bits, code page in the high; the first listed translation.
    std::optional<quint32> Translation() const;
    // Language and code page as 8 upper-case hexadecimal digits ("040904E4"); empty without one.
    QString TranslationKey() const;
    std::optional<TFixedFileInfo> FixedInfo() const;
    // The two product-version words of the fixed part; both 0 without one.
    std::pair<quint32, quint32> ProductVersion() const;
    // The value under "\StringFileInfo\" + TranslationKey() + "\" + name; empty when missing.
    QString StringValue(const QString& name) const;

    // "major.minor", the release appended without separator when not 0 (1.2 release 5 is
    // "1.25"); the build never shows.
    static QString VersionText(quint32 versionMS, quint32 versionLS);

    // The block the build generated for this program.
    static QByteArray ProgramVersionBlock();

private:
    QString m_fileName;
    bool m_valid = false;
    qsizetype m_size = 0;
    // Query path (letter case ignored, kept upper-case) to its lines.
    QMap<QString, QStringList> m_block;
};
