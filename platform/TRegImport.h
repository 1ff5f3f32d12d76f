#pragma once

#include "platform/TRegParser.h"

#include <QByteArray>
#include <QString>
#include <QVector>

struct TRegImportOptions
{
    // A key path with its root. When set, only keys at or below it are written or deleted and
    // every other line of the file is skipped. Empty: the whole file counts.
    QString OnlyKey;
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
// line) into the store, record by record as TRegParser reads it: lines that do not parse are
// skipped and the import goes on. The whole import is one transaction per root: it is written
// completely or, on a store failure, not at all. The file must be a regular file of at most
// TRegLimits::FileBytes. User-interface thread only.
TRegImportResult RegImportFile(const QString& path, const TRegImportOptions& options = {});
// The same for file content already in memory.
TRegImportResult RegImportBytes(const QByteArray& content, const TRegImportOptions& options = {});
