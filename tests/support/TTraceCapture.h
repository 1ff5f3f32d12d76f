#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTemporaryFile>

#include <cstdio>

#include <unistd.h>

// A program's output, a line each: trace lines lose their "vrel-trace: " prefix, other lines (a
// warning, a message) stay as they are.
inline QStringList ProgramOutputLines(const QString& output)
{
    QStringList result;
    for (QString line : output.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (line.startsWith(QLatin1String("vrel-trace: ")))
            line.remove(0, 12);
        result.append(line);
    }
    return result;
}

// Collects what this process writes to stderr while it lives, by pointing stderr at a file;
// the trace goes there when the test runs with VREL_TRACE=1. The terminal gets it back on
// destruction.
class TTraceCapture
{
public:
    TTraceCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(2);
        ::dup2(m_file.handle(), 2);
    }
    ~TTraceCapture()
    {
        std::fflush(stderr);
        ::dup2(m_saved, 2);
        ::close(m_saved);
    }
    Q_DISABLE_COPY_MOVE(TTraceCapture)

    // Everything written so far.
    QByteArray text()
    {
        std::fflush(stderr);
        QFile file(m_file.fileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    // The lines that begin with prefix, without it.
    QStringList linesAfter(const QString& prefix)
    {
        QStringList result;
        for (const QString& line : QString::fromUtf8(text()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (line.startsWith(prefix))
                result.append(line.mid(prefix.size()));
        }
        return result;
    }
    // The trace lines, without their "vrel-trace: " prefix.
    QStringList lines() { return linesAfter(QStringLiteral("vrel-trace: ")); }
    // The lines of the named events, in order.
    QStringList events(const QStringList& names)
    {
        QStringList result;
        for (const QString& line : lines()) {
            if (names.contains(line.section(QLatin1Char(' '), 0, 0)))
                result.append(line);
        }
        return result;
    }
    // The status lines of one camera's window, without "status <description>: ".
    QStringList statusLines(const QString& description)
    {
        return linesAfter(QStringLiteral("vrel-trace: status ") + description + QStringLiteral(": "));
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};
