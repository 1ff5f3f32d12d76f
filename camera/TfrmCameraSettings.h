#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TLanguage;
class TSpinEdit;
class TWebCamera;

// "Web Camera Settings": the one dialog in which a camera's settings are entered or changed.
// Openers create it, fill it with LoadFrom, run exec() and, when it returned mrOk, read it back
// with StoreInto. The URL and description texts are trimmed whenever the dialog closes.
class TfrmCameraSettings : public QDialog
{
    Q_OBJECT

public:
    // Modal results, as exec() returns them.
    static constexpr int mrOk = 1;
    static constexpr int mrCancel = 2;

    explicit TfrmCameraSettings(QWidget* owner = nullptr);

    // Who opened the dialog. The flows differ only here:
    //  Add       a camera about to be opened: the controls keep their defaults (both ticks and
    //            "Add Web camera to Favorites" on, original size); an interval of 0 shows as 1.
    //  Catalog   a catalog camera about to be opened: the record's values with "Add Web camera
    //            to Favorites" off; an interval of 0 shows as 1.
    //  Edit      the camera of an open window: the record's values, "Add Web camera to
    //            Favorites" ticked when it is a favourite; an interval of 0 stays 0.
    //  Favorite  a favourite edited from the options window: as Edit, but the scale is neither
    //            shown nor read back, so the favourite keeps its stored scale.
    enum class TFlow
    {
        Add,
        Catalog,
        Edit,
        Favorite
    };

    // Sets EditMode and fills the controls from the record, as the flow asks.
    void LoadFrom(const TWebCamera& camera, TFlow flow);
    // Copies the controls into the record after OK: URL, description, interval, the start-up and
    // on-top flags and, except in the Favorite flow, the scale. Whether the record is stored
    // is the caller's choice (chkAdd); a rename's old key is the caller's too.
    void StoreInto(TWebCamera& camera) const;

    // false: preparing a camera about to be opened (an interval of 0 is raised to 1 when the
    // dialog shows); true: editing an existing camera (0 stays 0). Set by LoadFrom.
    bool EditMode = false;

    // Record Scale to the drop-down's item: 25 -> 0, 50 -> 1, anything else -> 2 ("Original Size").
    static int ScaleIndexFor(int scale);
    // Item back to Scale: 0 -> 25, 1 -> 50, anything else (2, or none selected) -> 100.
    static int ScaleForIndex(int index);

    // Without the blanks and control characters at either end, as the dialog leaves its texts.
    static QString Trimmed(const QString& text);

    void SetScale(int scale);
    int Scale() const;

    QLineEdit* edtURL = nullptr;
    QLineEdit* edtDescr = nullptr;
    TSpinEdit* edtPeriod = nullptr;
    QComboBox* cbxScale = nullptr;
    QCheckBox* chkStartup = nullptr;
    QCheckBox* chkTop = nullptr;
    QCheckBox* chkAdd = nullptr;
    QPushButton* btnOk = nullptr;
    QPushButton* btnCancel = nullptr;
    // Lists no property paths: the texts stay those above; a re-applied language only sets
    // the character set on the controls.
    TLanguage* lngLanguage = nullptr;

    void FormShow();
    void chkAddClick();
    void btnOkClick();
    void edtURLChange();
    void FormCreate();
    void FormClose();

    void setVisible(bool visible) override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* addLabel(const QString& name, const QString& text, const QRect& geometry);
    QLabel* addGroupCaption(const QString& name, const QString& text, int top);
    void addBevel(const QString& name, int top);

    TFlow m_flow = TFlow::Add;
};
