#pragma once

#include "platform/TRegNames.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <optional>

// A key path with its root, as .reg files and the command line write it:
// "HKEY_CURRENT_USER\SOFTWARE\..." or the short forms "HKCU\..." and "HKLM\...".
struct TRegKeyPath
{
    TRegRoot Root = TRegRoot::CurrentUser;
    QStringList Names; // below the root; empty names the root itself

    // The path with the root's full name, "HKEY_LOCAL_MACHINE\A\B".
    QString text() const;
    // Whether this key is `other` or lies below it; names compare without regard to letter case.
    bool isAtOrBelow(const TRegKeyPath& other) const;
};

// Parses a key path with its root. Trailing backslashes are ignored. Returns an empty text on
// success, otherwise why the path cannot name a key of this store (path is then unchanged).
QString RegParseKeyPath(const QString& text, TRegKeyPath* path);

// File text quoted in a message: at most 80 characters, control characters replaced by "?", so
// that hostile text cannot garble a terminal.
QString RegShownText(const QString& text);

// Limits where the registry has them, and a cap on what one import reads.
namespace TRegLimits {
constexpr int MiB = 1024 * 1024;
constexpr int KeyNameChars = 255;
constexpr int ValueNameChars = 16383;
constexpr int PathDepth = 512;
constexpr int ValueDataBytes = 1 * MiB;
constexpr int LineBytes = 4 * MiB;
constexpr qint64 FileBytes = qint64{64} * MiB;
// Keys one import may create or open, level by level: a deep path counts once per level. It
// bounds the work a small file of deep paths could ask for (a catalog needs about 11,000).
constexpr int ImportKeys = 1000000;
constexpr int ReportedSkips = 1000;
} // namespace TRegLimits

struct TRegSkippedLine
{
    int Line = 0; // 1-based number of the line in the file; a continued value gives its first line
    QString Reason;
};

// One key or value line of a .reg file (a continued hex value counts as one), as it reads.
struct TRegRecord
{
    enum class TKind
    {
        Key,        // [path]: open or create the key; the values that follow go into it
        DeleteKey,  // [-path]: delete the key with its subtree; never the root itself
        Value,      // "name"=data
        DeleteValue // "name"=-
    };
    TKind Kind = TKind::Key;
    int Line = 0;     // 1-based; a continued value gives its first line
    TRegKeyPath Path; // Key and DeleteKey
    QString Name;     // Value and DeleteValue; empty for the default value "@"
    quint32 Type = 0; // Value: TRegType number
    // Value: the bytes as the store keeps them; text as UTF-8 with its NUL, a dword little-endian.
    QByteArray Data;
};

// Reads a registry export file ("REGEDIT4" or "Windows Registry Editor Version 5.00" on its first
// line) the way the platform's registry editor does, one record at a time, without touching a
// store. Lines that do not parse come back as skipped lines with their reason. Values after a
// key line that was skipped, a deletion or no key line at all are skipped too. 8-bit files are
// read as UTF-8 when they are valid UTF-8, otherwise as Windows-1252; a UTF-16LE file with its
// byte-order mark is accepted too. Any thread; one parser per thread.
class TRegParser
{
public:
    enum class TStep
    {
        Record,
        Skipped,
        End
    };

    // only: when set, key lines outside that key are skipped, and with them their values.
    explicit TRegParser(const QByteArray& content, std::optional<TRegKeyPath> only = std::nullopt);
    Q_DISABLE_COPY_MOVE(TRegParser)

    // Empty when the first line is a registry header; otherwise why the content is not a
    // registry file, and next() gives End straight away.
    QString error() const { return m_error; }
    // The next record or skipped line; End after the last line. Each call reads at least one line.
    TStep next(TRegRecord* record, TRegSkippedLine* skipped);

private:
    bool nextLine(QByteArrayView* line);
    QString decode(QByteArrayView bytes) const;
    TStep skip(TRegSkippedLine* skipped, int line, const QString& reason) const;
    TStep keyLine(QByteArrayView line, int lineNo, TRegRecord* record, TRegSkippedLine* skipped);
    TStep valueLine(QByteArrayView line, int lineNo, TRegRecord* record, TRegSkippedLine* skipped);
    bool parseHexList(QByteArrayView line, qsizetype pos, int firstLine, QByteArray* data, QString* why);
    void terminateText(QByteArray* bytes) const;

    QByteArray m_content;
    QByteArray m_utf16AsUtf8;
    QByteArrayView m_text; // into m_content or m_utf16AsUtf8
    qsizetype m_pos = 0;
    int m_lineNo = 0;
    bool m_utf8 = true;
    // The file came as UTF-16LE: hex(N) text data is then in 16-bit units.
    bool m_utf16 = false;
    QString m_error;

    std::optional<TRegKeyPath> m_only;

    // Whether value lines have a key to go into, and why not.
    bool m_keyOpen = false;
    QString m_noKeyReason = QStringLiteral("no key line before this value");
};
