#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

struct TRegExportResult
{
    // False: nothing was written; Error says why (a bad key path, a key that does not exist,
    // a file that cannot be written).
    bool Ok = false;
    QString Error;
    int Keys = 0;
    int Values = 0;
    // Keys and values left out because the format cannot hold them (a line break in a name).
    QStringList Warnings;
};

// Writes the key named by keyPath (with its root: "HKEY_CURRENT_USER\..." or "HKCU\...") and its
// whole subtree in REGEDIT4 form, UTF-8, CR LF line ends: the header, a blank line, then for each
// key in enumeration order "[FULL\PATH]", its values and a blank line. Text values become
// "name"="text", REG_DWORD of 4 bytes dword:xxxxxxxx, REG_BINARY hex:, everything else
// hex(N): with the stored bytes, so importing the text gives back the same store content.
// User-interface thread only.
TRegExportResult RegExportKey(const QString& keyPath, QByteArray* out);
// The same into a file, replaced as a whole only once everything is written.
TRegExportResult RegExportFile(const QString& keyPath, const QString& filePath);
