#pragma once

#include <QFile>
#include <QStringList>
#include <QTemporaryFile>

#include <cstdio>

#include <unistd.h>

// Collects the program's trace lines in a test process (run with VREL_TRACE=1) by pointing
// stderr at a file for as long as it lives. Lines lose their "vrel-trace: " prefix; other
// output is dropped.
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

    QStringList lines()
    {
        std::fflush(stderr);
        QFile file(m_file.fileName());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList result;
        for (const QString& line : QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
            if (line.startsWith("vrel-trace: "))
                result.append(line.mid(12));
        }
        return result;
    }
    // The lines of the named events, in order.
    QStringList events(const QStringList& names)
    {
        QStringList result;
        for (const QString& line : lines()) {
            if (names.contains(line.section(' ', 0, 0)))
                result.append(line);
        }
        return result;
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};
