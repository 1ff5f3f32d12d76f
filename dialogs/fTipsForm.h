#pragma once

#include <QDialog>
#include <QStringList>

#include <functional>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class TLanguage;
class TMainFormServices;
class TPanel;

// "Tip of the Day": shows one hint about the program at a time from the language's tips
// file, starting at a random tip and going round the file with "Next Tip". The check box is
// the ShowTipsOnStartup option; the opener stores it however the window closes.
class TfrmTipsForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr int mrCancel = 2;

    explicit TfrmTipsForm(QWidget* owner = nullptr);

    // The opener's part (the tray menu item and the start-up): the dialog protocol around a
    // modal run, then ShowTipsOnStartup from the check box, saved. Throws ERegistryError when
    // the options cannot be saved (the window is gone by then).
    static void Execute(TMainFormServices& mainForm, QWidget* owner);

    // Full path of the tips file, set before the window shows.
    QString TipsFile;
    // Character set of the tips file's 8-bit text; the current language file's by default.
    int TipsCharset = 0;
    // The tips read when the window showed, line breaks converted; emptied when it closes.
    QStringList Tips;
    // The tip the next "Next Tip" shows; -1 until the window has shown a tip.
    int TipIndex = -1;
    // Uniform in [0, 1); tests fix the start.
    std::function<double()> Random;

    TPanel* pnlTips = nullptr;
    QFrame* shpLeft = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lblDidYouKnow = nullptr;
    QFrame* Bevel1 = nullptr;
    QLabel* lblTip = nullptr;
    QCheckBox* cbxShowTipNextTime = nullptr;
    QPushButton* btnNextTip = nullptr;
    QPushButton* btnClose = nullptr;
    TLanguage* lngLanguage = nullptr;

    void FormShow();
    void btnNextTipClick();
    void FormClose();

    void setVisible(bool visible) override;
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
};
