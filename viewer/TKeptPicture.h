#pragma once

#include <QByteArray>
#include <QString>

// What a favourite keeps of the picture it showed last, so that the first refresh after a start
// asks the camera whether that picture is still current: the validators as the values "ETag" and
// "LastModified" of its key, with "PictureURL", the address they came from, and the picture's
// bytes in a file of the user's cache folder
// ($XDG_CACHE_HOME/vrel-web-camera/pictures, or "pictures" beside VREL_USER_REGISTRY's file).
// UI thread only.
namespace TKeptPicture {

struct TKept
{
    QByteArray ETag;
    QByteArray LastModified;
    QByteArray Body;
    // The address the picture came from; empty when storing: the favourite's own "URL".
    QString URL;
};

// The kept picture of the favourite at keyPath (below the per-user root); false, with kept
// emptied, when anything is missing: no validators, no file, or a file too large for a picture,
// and when it came from another address than the favourite's (its URL was changed meanwhile).
bool Load(const QString& keyPath, TKept* kept);
// Keeps kept for the favourite at keyPath; without validators whatever was kept goes. A key that
// does not exist (no favourite) gets nothing. False when a value or the file could not be written.
bool Store(const QString& keyPath, const TKept& kept);
// Drops what the favourite at keyPath and every favourite below it keep, values and files; for a
// key about to be deleted (or renamed: the picture then belongs to no key). Nothing when absent.
void Forget(const QString& keyPath);
// Removes the picture files that belong to no key below favoritesKeyPath any more, as after an
// import that deleted favourites behind the program's back; other files of the folder stay. Does
// nothing when the key above favoritesKeyPath cannot be read either: a store that cannot be read
// says nothing about which favourites exist.
void ForgetOrphans(const QString& favoritesKeyPath);
// The file that holds the favourite's picture.
QString FilePath(const QString& keyPath);

} // namespace TKeptPicture
