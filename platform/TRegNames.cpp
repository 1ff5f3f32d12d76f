#include "platform/TRegNames.h"

QString regRootName(TRegRoot root)
{
    return root == TRegRoot::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER")
                                         : QStringLiteral("HKEY_LOCAL_MACHINE");
}

QString RegFoldName(const QString& name)
{
    QString out;
    out.reserve(name.size());
    const qsizetype size = name.size();
    for (qsizetype i = 0; i < size; ++i) {
        char32_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size && name[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[i].unicode(), name[i + 1].unicode());
            ++i;
        }
        if (c != 0x0131)
            c = QChar::toUpper(c);
        if (QChar::requiresSurrogates(c)) {
            out.append(QChar(QChar::highSurrogate(c)));
            out.append(QChar(QChar::lowSurrogate(c)));
        } else {
            out.append(QChar(c));
        }
    }
    return out;
}
