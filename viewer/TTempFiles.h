#pragma once

#include <QString>
#include <QStringList>
#include <QTime>

// Temporary download files: "<folder>/<time of day><random><ext>", where the time of day is the
// fraction of the day elapsed times 100000000, rounded, and the random part is below 123456789.
// The folder is private to the user (mode 0700, inside the system's temporary folder) and each
// name is created exclusively, so no other local user can plant a file or link under a name the
// program is about to write. Used on the user-interface thread.
namespace TTempFiles {

constexpr quint32 RandomLimit = 123456789;

// The name for a given time and random number, in the given folder (ending in a separator).
QString FileNameFor(const QString& folder, const QTime& time, quint32 random, const QString& ext);

// Makes (or reuses) the private folder inside tempRoot and returns it with its trailing
// separator. A usual name held by a link, a file or another user's folder is not used: a fresh
// folder is made instead. Empty when no private folder can be had.
QString MakePrivateFolder(const QString& tempRoot);

// The private folder in the system's temporary folder, with its trailing separator; made once. Empty when
// neither the usual folder nor a freshly made fallback can be had (the download then fails).
QString PrivateFolder();

// Creates an empty file under a fresh name in the private folder, readable by the user only
// (mode 0600), and returns its path; empty when no file could be created.
QString Create(const QString& ext);

// Marks folder as used by this process for as long as it runs (a shared lock on the file
// ".in-use" in it); PrivateFolder() does so for its folder. False when that file cannot be had.
bool HoldFolder(const QString& folder);

// Removes the files an earlier run left in folder (one killed in the middle of a download) and
// returns their paths. Removes nothing while another process holds the folder: its downloads
// live there. Meant for the copy that holds the single-instance lock, at start.
QStringList RemoveLeftovers(const QString& folder);

// A file still held by a stopped download may be written again after it was deleted; such
// names are removed again by the next Create and when the program ends.
void Abandon(const QString& fileName);

} // namespace TTempFiles
