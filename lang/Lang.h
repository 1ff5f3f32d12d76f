#pragma once

#include <QString>
#include <QVector>

class QObject;

// One row of the language table: the code that names the language files and the display name
// that the options window lists and the Language option stores.
struct TLanguageRow
{
    QString Code;
    QString Name;
};

// The languages the program offers, in display order. The first row is the fallback for
// codes and names nobody knows.
const QVector<TLanguageRow>& LanguageTable();
// The code used when the Language option matches no row of the table.
QString DefaultLanguageCode();

// The code for a Language option value: the row whose display name equals it exactly
// (letter case counts), else the default code.
QString GetLanguageCode(const QString& languageOption);
// The code for the current Language option of ProgramOptions.
QString GetLanguageCode();
// The display name for a code in any letter case; the first row's name for an unknown code.
QString GetLanguageName(const QString& code);

// Reloads the program's message texts for the current language. Until language files are
// read, every language gets the built-in English texts.
void LoadMessages();
// The text of a message key such as "vchClearPersonalSettings"; an unknown key comes back
// as the key itself, as a missing key in a language file does.
QString MessageText(const QString& key);

// Applies the current language to one window's texts. Windows carry no translations yet,
// so this changes nothing.
void ApplyLanguage(QObject* window);
