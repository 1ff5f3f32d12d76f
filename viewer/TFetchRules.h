#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>

// The decisions of one camera refresh that do not need a window: which status line to show,
// whether a downloaded body can be a picture, which picture type its first bytes name.
namespace TFetchRules {

// Status words; a status line is "Status:" + " " + word. Fixed English, never translated.
inline const QString StatusPrefix = QStringLiteral("Status:");
inline const QString WordIdle = QStringLiteral("Idle");
inline const QString WordDone = QStringLiteral("Done");
inline const QString WordDownloadError = QStringLiteral("Download Error");
inline const QString WordDownloading = QStringLiteral("Downloading...");

QString StatusLine(const QString& word);

// Progress while a body arrives: percent of the announced length, or kilobytes with two
// decimals in the locale's decimal separator when the server announced none (totalSize 0).
QString ProgressStatus(qint32 totalSize, qint32 readed, const QLocale& locale = QLocale());

// Bodies of this many bytes or fewer are error answers, never pictures.
constexpr qint32 MaxRejectedBodySize = 512;
bool IsTooSmallForPicture(qint32 fileSize);

// How many leading bytes of a body are looked at to name its type.
constexpr int HeaderLength = 20;
// The picture extension (with its dot) named by the first bytes of a body; later matches win
// ("GIF", then "JFIF" or "AXIS" for JPEG, then "PNG"). Without a match the previous extension
// stays, so a JPEG without either marker loads as whatever came before.
QString ImageExtFromHeader(const QByteArray& firstBytes, const QString& previousExt);

// The URL up to and including its last "/" or "\"; empty when it has none. Sent as Referer.
QString URLDirectory(const QString& url);

// Refresh timer interval for an update interval in minutes; 0 (or less) means "never fires".
// Clamped to what a timer can hold (about 24 days) instead of wrapping around.
int TimerIntervalMs(qint32 minutes);

// The time line under the picture: the user's short date and long time, without a time zone.
// UI thread only.
QString DateTimeText(const QDateTime& when, const QLocale& locale = QLocale());

} // namespace TFetchRules
