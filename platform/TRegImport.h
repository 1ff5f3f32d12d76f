#pragma once

#include "platform/TRegistry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

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

// Limits where the registry has them, and a cap on what one import reads.
namespace TRegLimits {
constexpr int KeyNameChars = 255;
constexpr int ValueNameChars = 16383;
constexpr int PathDepth = 512;
constexpr int ValueDataBytes = 1024 * 1024;
constexpr int LineBytes = 4 * 1024 * 1024;
constexpr qint64 FileBytes = 64 * 1024 * 1024;
// Keys one import may create or open, level by level: a deep path counts once per level. It
// bounds the work a small file of deep paths could ask for (a catalog needs about 11,000).
constexpr int ImportKeys = 1000000;
constexpr int ReportedSkips = 1000;
} // namespace TRegLimits

struct TRegImportOptions
{
    // A key path with its root. When set, only keys at or below it are written or deleted and
    // every other line of the file is skipped. Empty: the whole file counts.
    QString OnlyKey;
};

struct TRegSkippedLine
{
    int Line = 0; // 1-based number of the line in the file; a continued value gives its first line
    QString Reason;
};

struct TRegImportResult
{
    // False: nothing at all was written (a file that is not a registry file, a store that cannot
    // be written, a bad OnlyKey); Error says why. True even when some lines were skipped.
    bool Ok = false;
    QString Error;
    int KeysWritten = 0; // key lines that opened or created a key
    int KeysDeleted = 0;
    int ValuesWritten = 0;
    int ValuesDeleted = 0;
    int SkippedCount = 0;             // every skipped line
    QVector<TRegSkippedLine> Skipped; // the first TRegLimits::ReportedSkips of them
};

// Imports a registry export file ("REGEDIT4" or "Windows Registry Editor Version 5.00" on its first
// line) the way the platform's registry editor does: lines that do not parse are skipped and the
// import goes on. The whole import is one transaction per root: it is written completely or,
// on a store failure, not at all. 8-bit files are read as UTF-8 when they are valid UTF-8,
// otherwise as Windows-1252; a UTF-16LE file with its byte-order mark is accepted too.
// The file must be a regular file of at most TRegLimits::FileBytes. User-interface thread only.
TRegImportResult RegImportFile(const QString& path, const TRegImportOptions& options = {});
// The same for file content already in memory.
TRegImportResult RegImportBytes(const QByteArray& content, const TRegImportOptions& options = {});
