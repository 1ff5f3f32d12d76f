#include "viewer/TFetchRules.h"

#include <QRegularExpression>

#include <climits>

namespace TFetchRules {

QString StatusLine(const QString& word)
{
    return StatusPrefix + QLatin1Char(' ') + word;
}

QString ProgressStatus(qint32 totalSize, qint32 readed, const QLocale& locale)
{
    if (totalSize != 0) {
        // 64-bit so that bodies over 21 MB do not overflow the product.
        const qint64 percent = qint64(readed) * 100 / totalSize;
        return QStringLiteral("Status: %1% downloaded").arg(percent);
    }
    QLocale plain = locale;
    plain.setNumberOptions(QLocale::OmitGroupSeparator);
    return QStringLiteral("Status: %1 kb downloaded").arg(plain.toString(readed / 1024.0, 'f', 2));
}

bool IsTooSmallForPicture(qint32 fileSize)
{
    return fileSize <= MaxRejectedBodySize;
}

QString ImageExtFromHeader(const QByteArray& firstBytes, const QString& previousExt)
{
    const QByteArray head = firstBytes.left(HeaderLength);
    QString ext = previousExt;
    if (head.contains("GIF"))
        ext = QStringLiteral(".gif");
    if (head.contains("JFIF"))
        ext = QStringLiteral(".jpg");
    if (head.contains("AXIS"))
        ext = QStringLiteral(".jpg");
    if (head.contains("PNG"))
        ext = QStringLiteral(".png");
    return ext;
}

QString URLDirectory(const QString& url)
{
    for (qsizetype i = url.size() - 1; i >= 0; --i) {
        if (url.at(i) == QLatin1Char('/') || url.at(i) == QLatin1Char('\\'))
            return url.left(i + 1);
    }
    return QString();
}

int TimerIntervalMs(qint32 minutes)
{
    if (minutes <= 0)
        return 0;
    const qint64 ms = qint64(minutes) * 60 * 1000;
    return ms > INT_MAX ? INT_MAX : int(ms);
}

QString DateTimeText(const QDateTime& when, const QLocale& locale)
{
    // Qt's long time format carries the time zone ("t"); the time line shows the clock only.
    // Worked out once per locale: every refresh of every window asks.
    static QLocale cachedFor(QLocale::C);
    static QString timeFormat;
    if (timeFormat.isEmpty() || cachedFor != locale) {
        static const QRegularExpression zone(QStringLiteral("\\s*t+\\s*"));
        timeFormat = locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
        cachedFor = locale;
    }
    return locale.toString(when.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(when.time(), timeFormat);
}

} // namespace TFetchRules
