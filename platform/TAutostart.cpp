#include "platform/TAutostart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace TAutostart {
namespace {

bool isReserved(QChar c)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    return reserved.contains(c);
}

// Quoting rule of the Exec key: an argument with a reserved character goes in double quotes,
// with ", `, $ and \ escaped by a backslash.
QString quoteArgument(const QString& argument)
{
    bool needsQuotes = false;
    for (const QChar c : argument)
        needsQuotes = needsQuotes || isReserved(c);
    if (!needsQuotes)
        return argument;
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
    }
    return quoted + QLatin1Char('"');
}

// The Exec value is also a string value: its own escapes are undone before the quoting rule,
// so backslashes double again (a literal one ends up as four), and "%" is a field code.
QString escapeStringValue(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\'))
            escaped += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            escaped += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            escaped += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            escaped += QStringLiteral("\\r");
        else if (c == QLatin1Char('%'))
            escaped += QStringLiteral("%%");
        else
            escaped += c;
    }
    return escaped;
}

QString configHome()
{
    // Relative values are invalid in the base-directory rules and must be ignored.
    QString fromEnv = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!fromEnv.isEmpty() && QDir::isAbsolutePath(fromEnv))
        return fromEnv;
    return QDir::homePath() + QStringLiteral("/.config");
}

} // namespace

QString ExecutablePath()
{
    const QString resolved = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return resolved.isEmpty() ? QStringLiteral("/proc/self/exe") : resolved;
}

QString EntryPath()
{
    return configHome() + QStringLiteral("/autostart/vrel-web-camera.desktop");
}

QString ExecLine(const QString& programPath)
{
    return escapeStringValue(quoteArgument(programPath)) + QStringLiteral(" -start");
}

QString EntryText(const QString& programPath)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Vrel Web Camera\n"
                          "Comment=Shows web cameras from the notification area\n"
                          "Exec=%1\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(ExecLine(programPath));
}

bool Write(const QString& programPath, QString* error)
{
    const QString path = EntryPath();
    const QByteArray text = EntryText(programPath).toUtf8();
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == text)
        return true;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        *error = QStringLiteral("cannot create the folder of %1").arg(path);
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool Remove(QString* error)
{
    QFile file(EntryPath());
    if (!QFileInfo(file).exists() && !QFileInfo(file).isSymLink())
        return true;
    if (!file.remove()) {
        *error = QStringLiteral("%1: %2").arg(file.fileName(), file.errorString());
        return false;
    }
    return true;
}

bool Exists()
{
    return QFileInfo::exists(EntryPath());
}

} // namespace TAutostart
