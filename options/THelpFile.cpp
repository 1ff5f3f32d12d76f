#include "options/THelpFile.h"

#include <QFile>
#include <QRegularExpression>

bool THelpFile::Load(const QString& fileName, QString* error)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Cannot open the help file %1: %2").arg(fileName, file.errorString());
        return false;
    }
    if (!Parse(QString::fromUtf8(file.readAll()))) {
        *error = QStringLiteral("The help file %1 holds no topic.").arg(fileName);
        return false;
    }
    return true;
}

bool THelpFile::Parse(const QString& text)
{
    static const QRegularExpression topicLine(QStringLiteral(R"(^\[\s*(\d{1,9})\s*\]\s*(.*)$)"));
    m_topics.clear();
    TTopic* topic = nullptr;
    QString paragraph;
    const auto endParagraph = [&] {
        if (topic && !paragraph.isEmpty())
            topic->Paragraphs.append(paragraph);
        paragraph.clear();
    };
    for (const QString& raw : text.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            endParagraph();
            const QRegularExpressionMatch m = topicLine.match(line);
            topic = m.hasMatch() ? &m_topics[m.captured(1).toInt()] : nullptr;
            if (topic)
                *topic = TTopic{m.captured(2).trimmed(), {}};
            continue;
        }
        if (line.isEmpty()) {
            endParagraph();
            continue;
        }
        if (!paragraph.isEmpty())
            paragraph += QLatin1Char(' ');
        paragraph += line;
    }
    endParagraph();
    return !m_topics.isEmpty();
}
