#include "dialogs/TTipList.h"

#include "lang/TCharset.h"

#include <QFile>

#include <cmath>

namespace TTipList {

QStringList LoadTips(const QString& fileName, int charset)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = TCharset::DecodeFile(file.readAll(), charset);
    QStringList tips;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text.at(end) != QLatin1Char('\n') && text.at(end) != QLatin1Char('\r'))
            ++end;
        tips.append(ConvertLineBreaks(text.mid(start, end - start)));
        if (end + 1 < text.size() && text.at(end) == QLatin1Char('\r') &&
            text.at(end + 1) == QLatin1Char('\n'))
            ++end;
        start = end + 1;
    }
    return tips;
}

QString ConvertLineBreaks(const QString& tip)
{
    QString result = tip;
    qsizetype at;
    while ((at = result.indexOf(QLatin1String("\\n"), 0, Qt::CaseInsensitive)) >= 0)
        result.replace(at, 2, QStringLiteral("\r\n"));
    return result;
}

int StartIndex(double r, int count)
{
    if (count <= 0)
        return -1;
    return static_cast<int>(std::lround(r * count)) % count;
}

} // namespace TTipList
