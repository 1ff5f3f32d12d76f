#pragma once

#include <QString>
#include <QStringList>

// The controls of the options window that the options record keeps in step while the
// window exists. The window implements this and sets OptionsForm for its lifetime.
class TOptionsFormControls
{
public:
    virtual ~TOptionsFormControls() = default;

    virtual bool StartWithWindowsChecked() const = 0;
    virtual void SetStartWithWindowsChecked(bool checked) = 0;
    virtual bool CheckForUpdatesChecked() const = 0;
    virtual void SetCheckForUpdatesChecked(bool checked) = 0;
    // The entries of the language list, in list order.
    virtual QStringList LanguageEntries() const = 0;
    // -1 when no entry is selected.
    virtual int SelectedLanguageIndex() const = 0;
    virtual void SelectLanguageIndex(int index) = 0;
    // Re-reads the favourites list from the store, after a flow elsewhere has added one.
    virtual void FillFavorites() {}
};

// The open options window; null while none exists.
inline TOptionsFormControls* OptionsForm = nullptr;

// The program-wide settings, stored as values of the program key in the per-user store.
// Used on the user-interface thread only.
class TProgramOptions
{
public:
    bool ShowTipsOnStartup = false;
    bool StartOnStartup = false; // start at log-on, through the desktop's autostart entry
    bool CheckForUpdatesOnStartup = false;
    // Normally the display name of a language table row; see GetLanguageCode.
    QString Language;
    qint32 LastUpdateSize = 0; // bytes of the catalog file at the last successful import
    // 0 until the first load has finished; while 0, a load starts from the defaults.
    quint32 Loaded = 0;

    // Reads the stored values over the current ones (the defaults on the first load), then
    // applies every field through its setter, so the autostart entry follows StartOnStartup.
    // Values that are missing or of another type keep the current value; a missing
    // "Language" reads as empty. Returns false when the program key could be neither
    // created nor opened, so nothing was read.
    // Throws ERegistryError when the autostart entry cannot be written or removed.
    bool LoadOptions();
    // Takes the fields from the options window when it exists, then writes every value
    // and "ExePath". Throws ERegistryError naming the value that could not be written.
    void SaveOptions();

    // Also writes or removes the autostart entry (throws ERegistryError when that fails).
    void SetStartOnStartup(bool value);
    void SetShowTipsOnStartup(bool value);
    void SetCheckForUpdatesOnStartup(bool value);
    void SetLastUpdateSize(qint32 value);
    void SetLanguage(const QString& value);

    // The executable's folder with its trailing "/", as stored in "ExePath".
    static QString ExecutableFolder();
    // The Language a first load starts from; also the code of the language table's first row.
    static QString DefaultLanguage() { return QStringLiteral("EN"); }
};

extern TProgramOptions ProgramOptions;

// Index of the entry equal to text, letter case ignored; 0 (the first entry) when none is.
int LanguageEntryIndex(const QStringList& entries, const QString& text);
