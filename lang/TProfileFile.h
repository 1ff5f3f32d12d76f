#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// An INI-style profile file read the way the language files were always read: bracketed
// section names, one key=value pair per line. Section and key names match without regard to
// letter case, the first matching section and the first matching key in it count, blanks
// around the value are removed and one pair of enclosing quotes ('...' or "...") is dropped;
// a value longer than MaxValueLength characters is cut; a missing file, section or key gives
// the default.
//
// Opening only records the name: every read goes to the file afresh, reading it as a stream,
// so any file is safe (binary data, NUL bytes, huge files, megabyte lines).
//
// Text decoding: a file that is valid UTF-8 behind a byte-order mark is UTF-8; otherwise the
// file is 8-bit text in the character set its [Messages] nCharset names (Windows-1252 when
// absent), unless the caller fixes the character set.
class TProfileFile
{
public:
    static constexpr int MaxValueLength = 2047;

    explicit TProfileFile(const QString& fileName, std::optional<int> charset = std::nullopt);

    QString FileName() const { return m_fileName; }

    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;

    // The character set the values are decoded with; -1 when the file is UTF-8.
    int Charset() const;

private:
    // The raw value bytes of key in section, or nothing.
    std::optional<QByteArray> FindRaw(const QByteArray& section, const QByteArray& key) const;
    QString Decode(const QByteArray& bytes) const;

    QString m_fileName;
    mutable std::optional<int> m_charset;
};
