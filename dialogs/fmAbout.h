#pragma once

#include <QDialog>
#include <QIcon>
#include <QList>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class TLanguage;
class TURLLabel;

// Where the about box takes its texts and pictures from: the program's own version block,
// string table and icons, unless a test supplies others.
struct TAboutResources
{
    // The file whose version block is read (TVersionInfo).
    QString VersionFile;
    // A string of the string table; nothing for a missing id.
    std::function<std::optional<QString>(int id)> String;
    // An icon by resource name ("MAINICON", "ProductIcon0", ...); a null icon when missing.
    std::function<QIcon(const QString& name)> Icon;

    static TAboutResources Program();
};

// The about box: product name and version on a navy banner, the product's comment, the
// maker's other products with links, a Help button to the maker's question-and-answer page
// and the copyright line as a link to the maker's home page.
class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* owner = nullptr,
                        const TAboutResources& resources = TAboutResources::Program());

    // The opener's part (tray menu and a second start): the dialog protocol around a modal run.
    static void Execute(class TMainFormServices& mainForm, QWidget* owner);

    QLabel* lblProductName = nullptr;
    QLabel* imgIcon = nullptr;
    QLabel* lblComments = nullptr;
    QLabel* lblPropositions = nullptr;
    QTreeWidget* lstPropositions = nullptr;
    QPushButton* OKButton = nullptr;
    QPushButton* HelpButton = nullptr;
    TURLLabel* lblCopyright = nullptr;
    QList<QIcon> imgList;
    TLanguage* lngLanguage = nullptr;

    void FormCreate();
    void FormShow();
    void lstPropositionsClick();
    void HelpButtonClick();

    // Texts written by the language component are format strings again: fill them anew.
    Q_INVOKABLE void LanguageUpdated(QObject* Sender);

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void FillProducts();
    void FillTexts();
    void PlaceCopyright();
    void HoverRow(QTreeWidgetItem* item);

    TAboutResources m_resources;
    QString m_productName;
    QString m_companyName;
    QString m_versionText;
    QTreeWidgetItem* m_hovered = nullptr;
};
