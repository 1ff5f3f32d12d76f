#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// One help file of the options window ("Options.<language code>" beside the executable), a
// plain text file in UTF-8:
//   ; a comment line
//   [14] Start with Windows
//   The text of topic 14, up to the next topic line. An empty line
//   starts a new paragraph.
// A topic line is "[" + help context number + "]" + the topic's title. Text before the first
// topic line, and topic lines whose number cannot be read, are ignored.
class THelpFile
{
public:
    struct TTopic
    {
        QString Title;
        QStringList Paragraphs;
    };

    // False, with the reason in *error, when the file cannot be read or holds no topic.
    bool Load(const QString& fileName, QString* error);
    bool Parse(const QString& text);

    bool HasTopic(int context) const { return m_topics.contains(context); }
    TTopic Topic(int context) const { return m_topics.value(context); }
    QList<int> Contexts() const { return m_topics.keys(); }

private:
    QMap<int, TTopic> m_topics;
};
