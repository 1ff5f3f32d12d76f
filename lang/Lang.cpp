#include "lang/Lang.h"

#include "options/fOptionsNew.h"

#include <QHash>

namespace {

QHash<QString, QString>& messages()
{
    static QHash<QString, QString> texts;
    return texts;
}

// Upper-cases ASCII letters only, so that no other script turns into a known code.
QString asciiUpper(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return result;
}

} // namespace

const QVector<TLanguageRow>& LanguageTable()
{
    static const QVector<TLanguageRow> table{{QStringLiteral("EN"), QStringLiteral("Engish")}};
    return table;
}

QString DefaultLanguageCode()
{
    return QStringLiteral("EN");
}

QString GetLanguageCode(const QString& languageOption)
{
    for (const TLanguageRow& row : LanguageTable()) {
        if (row.Name == languageOption)
            return row.Code;
    }
    return DefaultLanguageCode();
}

QString GetLanguageCode()
{
    return GetLanguageCode(ProgramOptions.Language);
}

QString GetLanguageName(const QString& code)
{
    const QString wanted = asciiUpper(code);
    for (const TLanguageRow& row : LanguageTable()) {
        if (row.Code == wanted)
            return row.Name;
    }
    return LanguageTable().first().Name;
}

void LoadMessages()
{
    auto& texts = messages();
    texts.clear();
    texts.insert(QStringLiteral("vchAbout"), QStringLiteral("About"));
    texts.insert(QStringLiteral("vchOptions"), QStringLiteral("Options"));
    texts.insert(QStringLiteral("vchClearPersonalSettings"),
                 QStringLiteral("Do you want to clear your personal settings for %s?"));
}

QString MessageText(const QString& key)
{
    if (messages().isEmpty())
        LoadMessages();
    return messages().value(key, key);
}

void ApplyLanguage(QObject* window)
{
    Q_UNUSED(window);
}
