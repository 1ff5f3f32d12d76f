#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <stdexcept>

// A text given for an integer property that is no integer. It ends the translation pass at
// that line; message() is "'<text>' is not a valid integer value".
class EConvertError : public std::runtime_error
{
public:
    explicit EConvertError(const QString& message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// The language component: a window owns one under the name "lngLanguage". Properties holds
// property paths such as "frmTipsForm.btnNextTip.Caption"; Translate() looks each up in the
// [Translations] section of LanguageFile and writes the text into that property of the
// owner's component named by the path's last component segment (letter case ignored), found
// through TPropertyRegistry. A path without "." names a property of the application object.
// Without an owner only ReadMessage is of use. UI thread only.
class TLanguage : public QObject
{
    Q_OBJECT

public:
    using TNotifyEvent = std::function<void(TLanguage* Sender)>;
    // NewValue may be replaced by the handler; the replacement is written.
    using TLanguageNotifyEvent =
        std::function<void(TLanguage* Sender, QObject* AComponent, const QString& PropertyName,
                           const QString& OldValue, QString& NewValue)>;

    explicit TLanguage(QObject* owner = nullptr);

    QString LanguageFile() const { return m_languageFile; }
    // A new name (letter case counts) is stored; with AutoTranslate, and not while the owner
    // is still being built (BeginLoading), a translation pass runs at once.
    void SetLanguageFile(const QString& value);

    QStringList Properties() const { return m_properties; }
    void SetProperties(const QStringList& value) { m_properties = value; }

    // Item separator for list properties; empty at first. A value that is blank once trimmed
    // stores ",".
    QString Separator() const { return m_separator; }
    void SetSeparator(const QString& value);

    bool AutoTranslate = false;
    TNotifyEvent OnBeforeTranslation;
    // Only after a pass that ran to its end.
    TNotifyEvent OnAfterTranslation;
    TLanguageNotifyEvent OnTranslate;

    // The window building its components calls these around filling in the component, so
    // that AutoTranslate waits until the components exist.
    void BeginLoading() { m_loading = true; }
    void EndLoading() { m_loading = false; }

    // One pass over Properties. Missing components, properties, keys and empty texts are
    // skipped; a non-integer text for an integer property throws EConvertError and ends the
    // pass there (OnAfterTranslation is then not called).
    void Translate();
    // Writes one value to the property a path names, as a pass does for each line.
    void ApplyPair(const QString& path, const QString& value);

    // The [Messages] value of key; the key itself when the file or the key is missing.
    // Reads the file on each call.
    QString ReadMessage(const QString& key) const;

private:
    QObject* ResolveSegment(const QString& segment) const;

    QString m_languageFile;
    QStringList m_properties;
    QString m_separator;
    bool m_loading = false;
};

// The components a window owns: its descendants in creation order, leaving out the windows
// it owns (a dialog opened by the window) and everything inside them. Which children are
// windows of their own the widget side says (SetSeparateWindowTest); without it every
// descendant counts.
QList<QObject*> OwnedComponents(const QObject* owner);
void SetSeparateWindowTest(std::function<bool(const QObject*)> test);

// Delphi's StrToInt: blanks before the number, a sign, decimal digits or "$"/"0x" hexadecimal,
// signed 32 bits. Throws EConvertError otherwise.
int StrToInt(const QString& text);

// Without the blanks and control characters at both ends.
QString TrimBlanks(const QString& text);

// One row of the language table: the code that names the language files and the display name
// that the options window lists and the Language option stores.
struct TLanguageRow
{
    QString Code;
    QString Name;
};

// The languages the program offers, in display order. The first row is the fallback for
// codes and names nobody knows; its name "Engish" is what stores already hold.
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

// The executable's full path, which the language, tips and help files are named after. Tests
// point it elsewhere with SetProgramFilePath; an empty path restores the real one.
QString ProgramFilePath();
void SetProgramFilePath(const QString& path);
// The executable's path with its extension (if any) replaced by "." + code.
QString LanguageFileName(const QString& code);
// "TIPS." + code and "Options." + code in the executable's folder.
QString TipsFileName(const QString& code);
QString HelpFileName(const QString& code);
// The font character set of the current language file ([Messages] nCharset); 0 when it is
// missing or no integer. Also the character set the language's tips file is written in.
int LanguageCharset();

// The message texts, named after their keys. English until the first LoadMessages; after it,
// the current language file's texts, or the keys themselves where the file has none.
extern QString vchAbout;
extern QString vchOptions;
extern QString vchClearPersonalSettings;

// Reloads the message texts from the current language file and sets the application's help
// file (the application object's "HelpFile" property). Runs at start before any window.
void LoadMessages();
// The text of a message key such as "vchClearPersonalSettings"; an unknown key comes back as
// the key itself.
QString MessageText(const QString& key);
