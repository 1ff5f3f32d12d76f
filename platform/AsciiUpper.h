#pragma once

#include <QChar>
#include <QString>

// Upper-cases ASCII letters only: switches and language codes are ASCII, and no letter of
// another script may turn into one of them (as "ı" would into "I").
inline QChar AsciiUpper(QChar c)
{
    return c >= QLatin1Char('a') && c <= QLatin1Char('z') ? QChar(c.unicode() - 'a' + 'A') : c;
}

inline QString AsciiUpper(const QString& text)
{
    QString result = text;
    for (QChar& c : result)
        c = AsciiUpper(c);
    return result;
}
