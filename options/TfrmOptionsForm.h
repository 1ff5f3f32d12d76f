#pragma once

#include "options/fOptionsNew.h"
#include "options/fmOptionsDlg.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QTableWidget;
class TLanguage;
class TMainFormServices;

// The options window: the General page edits the program options (stored only by OK), the
// Favorites page lists the favourite cameras and opens, edits, deletes and adds them at once.
// While it exists it is OptionsForm. Opened modally by the main form (mnuOptionsClick).
class TfrmOptionsForm : public TOptionsDlgForm, public TOptionsFormControls
{
    Q_OBJECT

public:
    // mainForm gets the favourites' changes and opens their windows; null: nobody does.
    explicit TfrmOptionsForm(TMainFormServices* mainForm = nullptr, QWidget* owner = nullptr);
    ~TfrmOptionsForm() override;

    static constexpr int GeneralPage = 0;
    static constexpr int FavoritesPage = 1;

    // The help file: the executable's folder + "Options." + the language code.
    QString HelpFile;

    QWidget* pgGeneral = nullptr;
    QLabel* lblGeneral = nullptr;
    QLabel* lblStartup = nullptr;
    QCheckBox* cbxStartup = nullptr;
    QCheckBox* cbxCheckForUpdates = nullptr;
    QLabel* lblLanguageSettings = nullptr;
    QLabel* lblLanguages = nullptr;
    QComboBox* cbxLanguages = nullptr;
    QPushButton* btnGetLatestVersion = nullptr;

    QWidget* TabSheet1 = nullptr;
    QLabel* Label1 = nullptr;
    QTableWidget* lstFavorites = nullptr;
    QMenu* mnuFavorites = nullptr;
    QAction* mnuAdd = nullptr;
    QAction* N1 = nullptr;
    QAction* mnuOpenCamera = nullptr;
    QAction* mnuSettings = nullptr;
    QAction* mnuDelete = nullptr;

    TLanguage* lngLanguage = nullptr;

    void FormCreate() override;
    void FormShow() override;
    void btnOkClick();
    // After each translation: the caption ("vchOptions" + " " + the application title), the
    // navigator's names and the section rules, which follow their headings' new widths.
    Q_INVOKABLE void LanguageUpdated(QObject* Sender = nullptr);
    void lstFavoritesDblClick();
    void mnuFavoritesPopup();
    void mnuOpenCameraClick();
    void mnuSettingsClick();
    void mnuDeleteClick();
    void btnGetLatestVersionClick();
    // Opens the help viewer on the topic of the focused control's help context.
    void ShowHelp();

    // Lists the favourites from the store, sorted by description; a store without the
    // favourites key leaves the list as it is. Also run by the add-camera flows.
    void FillFavorites() override;
    // The selected favourite's row, -1 when none.
    int SelectedFavorite() const;
    void SelectFavorite(int row);

    bool StartWithWindowsChecked() const override;
    void SetStartWithWindowsChecked(bool checked) override;
    bool CheckForUpdatesChecked() const override;
    void SetCheckForUpdatesChecked(bool checked) override;
    QStringList LanguageEntries() const override;
    int SelectedLanguageIndex() const override;
    void SelectLanguageIndex(int index) override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* addTitledPage(const QString& caption, const char* pageName, const char* titleName,
                           const QString& title, QLabel** titleLabel);
    QLabel* addHeading(QWidget* page, const char* name, const QString& text, int top);
    static void placeHeadingRule(QLabel* heading);
    QString selectedDescription() const;
    // After a change of the favourites: rebuild the tray submenu and the list, then select the
    // remembered row, or the last one when the list got shorter.
    void favoritesChanged(int remembered);

    TMainFormServices* m_mainForm = nullptr;
};
