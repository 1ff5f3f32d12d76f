#include "lang/Lang.h"

#include "lang/TProfileFile.h"
#include "lang/TPropertyRegistry.h"
#include "options/fOptionsNew.h"
#include "platform/AsciiUpper.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <limits>

QString vchAbout = QStringLiteral("About");
QString vchOptions = QStringLiteral("Options");
QString vchClearPersonalSettings = QStringLiteral("Do you want to clear your personal settings for %s?");

namespace {

const QString SectionTranslations = QStringLiteral("Translations");
const QString SectionMessages = QStringLiteral("Messages");

bool isBlankOrControl(QChar c)
{
    return c.unicode() <= 0x20;
}

bool sameNameAscii(const QString& a, const QString& b)
{
    return a.size() == b.size() && AsciiUpper(a) == AsciiUpper(b);
}

QString& programFilePathOverride()
{
    static QString path;
    return path;
}

QString programFolder()
{
    return QFileInfo(ProgramFilePath()).absolutePath() + QLatin1Char('/');
}

// Splits a list value: each text before a separator becomes a line (trimmed, even when that
// leaves it empty); the trimmed rest is a last line only when it is not empty.
QStringList splitList(QString value, const QString& separator)
{
    QStringList lines;
    if (!separator.isEmpty()) {
        qsizetype at;
        while ((at = value.indexOf(separator)) >= 0) {
            lines.append(TrimBlanks(value.left(at)));
            value.remove(0, at + separator.size());
        }
    }
    const QString rest = TrimBlanks(value);
    if (!rest.isEmpty())
        lines.append(rest);
    return lines;
}

// The value of an ASCII digit or hexadecimal letter; -1 for anything else.
int digitValue(QChar c)
{
    const char16_t u = AsciiUpper(c).unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

std::function<bool(const QObject*)>& separateWindowTest()
{
    static std::function<bool(const QObject*)> test;
    return test;
}

void collectOwned(const QObject* parent, QList<QObject*>& components)
{
    for (QObject* child : parent->children()) {
        if (separateWindowTest() && separateWindowTest()(child))
            continue;
        components.append(child);
        collectOwned(child, components);
    }
}

} // namespace

QList<QObject*> OwnedComponents(const QObject* owner)
{
    QList<QObject*> components;
    if (owner)
        collectOwned(owner, components);
    return components;
}

void SetSeparateWindowTest(std::function<bool(const QObject*)> test)
{
    separateWindowTest() = std::move(test);
}

QString TrimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlankOrControl(text.at(begin)))
        ++begin;
    while (end > begin && isBlankOrControl(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

int StrToInt(const QString& text)
{
    const auto fail = [&text] {
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    };
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    bool negative = false;
    if (i < text.size() && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))) {
        negative = text.at(i) == QLatin1Char('-');
        ++i;
    }
    int base = 10;
    if (i < text.size() && text.at(i) == QLatin1Char('$')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text.at(i) == QLatin1Char('0') &&
               (text.at(i + 1) == QLatin1Char('x') || text.at(i + 1) == QLatin1Char('X'))) {
        base = 16;
        i += 2;
    }
    if (i >= text.size())
        fail();
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const int digit = digitValue(text.at(i));
        if (digit < 0 || digit >= base)
            fail();
        value = value * base + digit;
        if (value > qint64(std::numeric_limits<int>::max()) + 1)
            fail();
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int>::max() || value < std::numeric_limits<int>::min())
        fail();
    return static_cast<int>(value);
}

TLanguage::TLanguage(QObject* owner) : QObject(owner)
{
    setObjectName(QStringLiteral("lngLanguage"));
}

void TLanguage::SetLanguageFile(const QString& value)
{
    if (value == m_languageFile)
        return;
    m_languageFile = value;
    if (AutoTranslate && !m_loading)
        Translate();
}

void TLanguage::SetSeparator(const QString& value)
{
    m_separator = TrimBlanks(value).isEmpty() ? QStringLiteral(",") : value;
}

void TLanguage::Translate()
{
    if (OnBeforeTranslation)
        OnBeforeTranslation(this);
    const TProfileFile file(m_languageFile);
    // A copy: a handler may change the list while the pass runs.
    const QStringList lines = m_properties;
    for (const QString& line : lines) {
        if (TrimBlanks(line).isEmpty())
            continue;
        ApplyPair(line, file.ReadString(SectionTranslations, line, QString()));
    }
    if (OnAfterTranslation)
        OnAfterTranslation(this);
}

QObject* TLanguage::ResolveSegment(const QString& segment) const
{
    QObject* owner = parent();
    if (!owner)
        return nullptr;
    if (sameNameAscii(segment, owner->objectName()))
        return owner;
    // The owner's components: its descendants, in the order they were created.
    const QList<QObject*> components = OwnedComponents(owner);
    for (QObject* component : components) {
        if (!component->objectName().isEmpty() && sameNameAscii(segment, component->objectName()))
            return component;
    }
    return nullptr;
}

void TLanguage::ApplyPair(const QString& path, const QString& value)
{
    QString rest = TrimBlanks(path);
    QString text = value;
    text.replace(QLatin1Char('~'), QLatin1Char('\t'));

    QObject* target = QCoreApplication::instance();
    qsizetype dot;
    // Each segment is looked up among the owner's components, so only the last one counts.
    while ((dot = rest.indexOf(QLatin1Char('.'))) >= 0) {
        const QString segment = TrimBlanks(rest.left(dot));
        rest = TrimBlanks(rest.mid(dot + 1));
        target = ResolveSegment(segment);
    }
    if (!target || text.isEmpty())
        return;
    if (OnTranslate) {
        const QString oldValue = TPropertyRegistry::TextProperty(target, rest);
        OnTranslate(this, target, rest, oldValue, text);
    }
    const auto access = TPropertyRegistry::Find(target, TrimBlanks(rest));
    if (!access)
        return;
    switch (access->Kind) {
    case TPropertyKind::Text:
        access->WriteText(target, text);
        break;
    case TPropertyKind::Integer:
        access->WriteInteger(target, StrToInt(text));
        break;
    case TPropertyKind::TextList:
        access->WriteList(target, splitList(text, m_separator));
        break;
    }
}

QString TLanguage::ReadMessage(const QString& key) const
{
    return TProfileFile(m_languageFile).ReadString(SectionMessages, key, key);
}

const QVector<TLanguageRow>& LanguageTable()
{
    static const QVector<TLanguageRow> table{{TProgramOptions::DefaultLanguage(), QStringLiteral("Engish")},
                                             {QStringLiteral("DE"), QStringLiteral("Deutsch")},
                                             {QStringLiteral("RU"), QStringLiteral("Русский")}};
    return table;
}

QString DefaultLanguageCode()
{
    return TProgramOptions::DefaultLanguage();
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
    const QString wanted = AsciiUpper(code);
    for (const TLanguageRow& row : LanguageTable()) {
        if (row.Code == wanted)
            return row.Name;
    }
    return LanguageTable().first().Name;
}

QString ProgramFilePath()
{
    if (!programFilePathOverride().isEmpty())
        return programFilePathOverride();
    // The messages are loaded before the application object exists, which Qt needs for
    // applicationFilePath(); the kernel knows the executable all the same.
    if (!QCoreApplication::instance())
        return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    return QCoreApplication::applicationFilePath();
}

void SetProgramFilePath(const QString& path)
{
    programFilePathOverride() = path;
}

QString LanguageFileName(const QString& code)
{
    const QString path = ProgramFilePath();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > slash ? path.left(dot) : path;
    return stem + QLatin1Char('.') + code;
}

QString TipsFileName(const QString& code)
{
    return programFolder() + QStringLiteral("TIPS.") + code;
}

QString HelpFileName(const QString& code)
{
    return programFolder() + QStringLiteral("Options.") + code;
}

int LanguageCharset()
{
    TLanguage language;
    language.SetLanguageFile(LanguageFileName(GetLanguageCode()));
    bool ok = false;
    const int charset = language.ReadMessage(QStringLiteral("nCharset")).toInt(&ok);
    return ok ? charset : 0;
}

void LoadMessages()
{
    TLanguage language;
    language.SetLanguageFile(LanguageFileName(GetLanguageCode()));
    if (QCoreApplication* app = QCoreApplication::instance())
        app->setProperty("HelpFile", HelpFileName(GetLanguageCode()));
    vchAbout = language.ReadMessage(QStringLiteral("vchAbout"));
    vchOptions = language.ReadMessage(QStringLiteral("vchOptions"));
    vchClearPersonalSettings = language.ReadMessage(QStringLiteral("vchClearPersonalSettings"));
}

QString MessageText(const QString& key)
{
    if (key == QLatin1String("vchAbout"))
        return vchAbout;
    if (key == QLatin1String("vchOptions"))
        return vchOptions;
    if (key == QLatin1String("vchClearPersonalSettings"))
        return vchClearPersonalSettings;
    return key;
}
