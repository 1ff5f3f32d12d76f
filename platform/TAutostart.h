#pragma once

#include <QString>

// The desktop's start-at-log-on entry for this program: an XDG autostart desktop entry,
// $XDG_CONFIG_HOME/autostart/vrel-web-camera.desktop (~/.config/autostart when unset),
// that runs the executable with " -start". UI thread only.
namespace TAutostart {

// The full path of the running executable (symbolic links resolved).
QString ExecutablePath();
// Where the entry lives.
QString EntryPath();
// The Exec line: the program path, quoted and escaped as desktop entries require when it
// holds blanks or other reserved characters, followed by " -start".
QString ExecLine(const QString& programPath);
// The whole file text for a program path.
QString EntryText(const QString& programPath);

// Writes the entry for programPath (leaving an identical file untouched). False, with the
// reason in *error, when it cannot be written.
bool Write(const QString& programPath, QString* error);
// Removes the entry; true when no entry exists afterwards (also when there was none).
bool Remove(QString* error);
bool Exists();

} // namespace TAutostart
