#include "options/fOptionsNew.h"

#include "camera/RegistryLayout.h"
#include "options/ERegistryError.h"
#include "platform/TAutostart.h"
#include "platform/TRegistry.h"

#include <QFileInfo>

TProgramOptions ProgramOptions;

namespace {

const QString ValueLanguage = QStringLiteral("Language");
const QString ValueShowTips = QStringLiteral("ShowTipsOnStartup");
const QString ValueCheckForUpdates = QStringLiteral("CheckForUpdatesOnStartup");
const QString ValueStartOnStartup = QStringLiteral("StartOnStartup");
const QString ValueLastUpdateSize = QStringLiteral("LastUpdateSize");
const QString ValueExePath = QStringLiteral("ExePath");
// The name the start-at-log-on entry had as a registry value; errors about it use this name.
const QString AutostartValueName = QStringLiteral("Vrel Web Camera");

void readFlag(const TRegKey& key, const QString& name, bool* field)
{
    if (const auto v = key.readDword(name))
        *field = *v != 0;
}

} // namespace

QString TProgramOptions::ExecutableFolder()
{
    return QFileInfo(TAutostart::ExecutablePath()).absolutePath() + QLatin1Char('/');
}

bool TProgramOptions::LoadOptions()
{
    if (Loaded == 0) {
        StartOnStartup = false;
        ShowTipsOnStartup = true;
        LastUpdateSize = 0;
        CheckForUpdatesOnStartup = true;
        Language = DefaultLanguage();
    }
    TRegKey key = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
    // A store that cannot be written may still be read.
    if (!key.isOpen())
        key = TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
    const bool available = key.isOpen();
    if (available) {
        const auto language = key.queryValue(ValueLanguage);
        if (!language || language->Data.isEmpty())
            Language.clear();
        else if (const auto text = key.readString(ValueLanguage))
            Language = *text;
        readFlag(key, ValueShowTips, &ShowTipsOnStartup);
        readFlag(key, ValueCheckForUpdates, &CheckForUpdatesOnStartup);
        readFlag(key, ValueStartOnStartup, &StartOnStartup);
        if (const auto size = key.readDword(ValueLastUpdateSize))
            LastUpdateSize = *size;
    }
    SetStartOnStartup(StartOnStartup);
    SetShowTipsOnStartup(ShowTipsOnStartup);
    SetCheckForUpdatesOnStartup(CheckForUpdatesOnStartup);
    SetLastUpdateSize(LastUpdateSize);
    SetLanguage(Language);
    Loaded = 1;
    return available;
}

void TProgramOptions::SaveOptions()
{
    if (OptionsForm) {
        const QStringList entries = OptionsForm->LanguageEntries();
        const int selected = OptionsForm->SelectedLanguageIndex();
        Language = selected >= 0 && selected < entries.size() ? entries.at(selected) : DefaultLanguage();
        StartOnStartup = OptionsForm->StartWithWindowsChecked();
        CheckForUpdatesOnStartup = OptionsForm->CheckForUpdatesChecked();
    }
    // One transaction: the options land together, or the store keeps the previous set.
    TRegTransaction transaction(TRegRoot::CurrentUser);
    TRegKey key = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::ProgramKey);
    auto check = [](bool written, const QString& name) {
        if (!written)
            throw ERegistryError(name);
    };
    check(key.writeString(ValueExePath, ExecutableFolder()), ValueExePath);
    check(key.writeDword(ValueShowTips, ShowTipsOnStartup ? 1 : 0), ValueShowTips);
    check(key.writeDword(ValueCheckForUpdates, CheckForUpdatesOnStartup ? 1 : 0), ValueCheckForUpdates);
    check(key.writeString(ValueLanguage, Language), ValueLanguage);
    check(key.writeDword(ValueStartOnStartup, StartOnStartup ? 1 : 0), ValueStartOnStartup);
    check(key.writeDword(ValueLastUpdateSize, LastUpdateSize), ValueLastUpdateSize);
    // Nothing is stored when the commit fails, so the report names the first value.
    check(transaction.commit(), ValueExePath);
}

void TProgramOptions::SetStartOnStartup(bool value)
{
    StartOnStartup = value;
    if (OptionsForm)
        OptionsForm->SetStartWithWindowsChecked(value);
    QString error;
    const bool done =
        value ? TAutostart::Write(TAutostart::ExecutablePath(), &error) : TAutostart::Remove(&error);
    if (!done)
        throw ERegistryError(AutostartValueName, error);
}

void TProgramOptions::SetShowTipsOnStartup(bool value)
{
    ShowTipsOnStartup = value;
}

void TProgramOptions::SetCheckForUpdatesOnStartup(bool value)
{
    CheckForUpdatesOnStartup = value;
    if (OptionsForm)
        OptionsForm->SetCheckForUpdatesChecked(value);
}

void TProgramOptions::SetLastUpdateSize(qint32 value)
{
    LastUpdateSize = value;
}

void TProgramOptions::SetLanguage(const QString& value)
{
    Language = value;
    if (OptionsForm)
        OptionsForm->SelectLanguageIndex(LanguageEntryIndex(OptionsForm->LanguageEntries(), value));
}

int LanguageEntryIndex(const QStringList& entries, const QString& text)
{
    for (int i = 0; i < entries.size(); ++i) {
        if (entries.at(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return 0;
}
