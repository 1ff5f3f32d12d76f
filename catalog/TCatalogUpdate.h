#pragma once

#include <QByteArray>
#include <QString>

// The catalog update's decisions, without a window.
namespace TCatalogUpdate {

// The catalog's key with its root, as the registry editor's "--only" takes it.
QString CatalogRootKey();

// Where the catalog is fetched: the string value "CatalogURL" in the user's program key when it
// is set (a whole address: a scheme, https and a port allowed), else the maker's web host +
// "/info/vwcfavorites.reg", without a scheme.
QString CatalogAddress();

// The fixed credentials sent with the catalog request (build settings).
QString UserName();
QString Password();

// The progress bar's position for readed of total bytes: the percentage rounded to the nearest
// integer, halves to the even neighbour. total must not be 0.
int ProgressPercent(qint32 total, qint32 readed);

// The file as lines (ended by CR, LF or CR LF; the text ends at the first NUL), its first line
// replaced by "REGEDIT4", every line ended by CR LF.
QByteArray WithRegeditHeader(const QByteArray& content);

// Whether the file names the catalog key or a key below it on a line of its own ("[HKEY_LOCAL_
// MACHINE\...\Favorites\..." or "[-..." to delete, also with "HKLM"). The download component
// takes any answer of the server as the file, so an error page has to be told apart here.
bool NamesCatalogKeys(const QByteArray& content);

} // namespace TCatalogUpdate
