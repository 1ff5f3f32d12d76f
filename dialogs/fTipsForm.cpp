#include "dialogs/fTipsForm.h"

#include "app/TMenuImages.h"
#include "camera/TMainFormServices.h"
#include "dialogs/TTipList.h"
#include "lang/Lang.h"
#include "lang/TPanel.h"
#include "lang/TWidgetProperties.h"
#include "options/fOptionsNew.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QScreen>
#include <QShowEvent>

namespace {

QFont pixelFont(const QString& family, int pixels, bool bold)
{
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

} // namespace

TfrmTipsForm::TfrmTipsForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      TipsCharset(LanguageCharset()), Random([] { return QRandomGenerator::global()->generateDouble(); })
{
    setObjectName(QStringLiteral("frmTipsForm"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    setFixedSize(425, 280);

    pnlTips = new TPanel(this);
    pnlTips->setObjectName(QStringLiteral("pnlTips"));
    pnlTips->setGeometry(8, 8, 409, 233);
    pnlTips->setFrameShape(QFrame::Panel);
    pnlTips->setFrameShadow(QFrame::Sunken);
    pnlTips->setAutoFillBackground(true);
    QPalette white = pnlTips->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    pnlTips->setPalette(white);

    shpLeft = new QFrame(pnlTips);
    shpLeft->setObjectName(QStringLiteral("shpLeft"));
    shpLeft->setGeometry(1, 1, 53, 231);
    shpLeft->setAutoFillBackground(true);
    QPalette grey = shpLeft->palette();
    grey.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    shpLeft->setPalette(grey);

    // The light bulb of the tray menu, doubled to the window's 32 × 32 symbol.
    Image1 = new QLabel(pnlTips);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(11, 16, 32, 32);
    Image1->setPixmap(QPixmap::fromImage(TMenuImages::MenuImage(TMenuImages::LightBulb)
                                             .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation)));

    lblDidYouKnow = new QLabel(QStringLiteral("Did you know..."), pnlTips);
    lblDidYouKnow->setObjectName(QStringLiteral("lblDidYouKnow"));
    lblDidYouKnow->setFont(pixelFont(QStringLiteral("Times New Roman"), 19, true));
    lblDidYouKnow->move(62, 21);
    lblDidYouKnow->adjustSize();
    lblDidYouKnow->setProperty(AutoSizeProperty, true);

    Bevel1 = new QFrame(pnlTips);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(54, 50, 355, 2);

    lblTip = new QLabel(pnlTips);
    lblTip->setObjectName(QStringLiteral("lblTip"));
    lblTip->setFont(pixelFont(QStringLiteral("Arial"), 13, false));
    lblTip->setGeometry(62, 64, 339, 161);
    lblTip->setWordWrap(true);
    lblTip->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblTip->setTextFormat(Qt::PlainText);

    cbxShowTipNextTime = new QCheckBox(QStringLiteral("&Show tips at startup"), this);
    cbxShowTipNextTime->setObjectName(QStringLiteral("cbxShowTipNextTime"));
    cbxShowTipNextTime->setGeometry(8, 252, 176, 17);

    btnNextTip = new QPushButton(QStringLiteral("&Next Tip"), this);
    btnNextTip->setObjectName(QStringLiteral("btnNextTip"));
    btnNextTip->setGeometry(256, 248, 75, 25);
    btnNextTip->setDefault(true);

    btnClose = new QPushButton(QStringLiteral("&Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(343, 248, 75, 25);

    lngLanguage = new TLanguage(this);
    lngLanguage->SetProperties({QStringLiteral("frmTipsForm.Caption"),
                                QStringLiteral("frmTipsForm.btnNextTip.Caption"),
                                QStringLiteral("frmTipsForm.btnClose.Caption"),
                                QStringLiteral("frmTipsForm.cbxShowTipNextTime.Caption"),
                                QStringLiteral("frmTipsForm.lblDidYouKnow.Caption")});

    connect(btnNextTip, &QPushButton::clicked, this, &TfrmTipsForm::btnNextTipClick);
    connect(btnClose, &QPushButton::clicked, this, [this] { done(mrCancel); });
}

void TfrmTipsForm::Execute(TMainFormServices& mainForm, QWidget* owner)
{
    auto* form = new TfrmTipsForm(owner);
    const auto release = qScopeGuard([&mainForm, form] {
        mainForm.UnregisterDialog(form);
        delete form;
    });
    mainForm.CancelOpenDialogs();
    mainForm.RegisterDialog(form);
    form->TipsFile = TipsFileName(GetLanguageCode());
    form->cbxShowTipNextTime->setChecked(ProgramOptions.ShowTipsOnStartup);
    form->exec();
    // However the window was closed, the check box is the option now.
    ProgramOptions.SetShowTipsOnStartup(form->cbxShowTipNextTime->isChecked());
    ProgramOptions.SaveOptions();
}

void TfrmTipsForm::FormShow()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    Tips = TTipList::LoadTips(TipsFile, TipsCharset);
    TipIndex = TTipList::StartIndex(Random(), int(Tips.size()));
    btnNextTipClick();
}

void TfrmTipsForm::btnNextTipClick()
{
    // No tips: nothing to show and nothing to advance to.
    if (Tips.isEmpty() || TipIndex < 0)
        return;
    lblTip->setText(Tips.at(TipIndex));
    TipIndex = (TipIndex + 1) % int(Tips.size());
}

void TfrmTipsForm::FormClose()
{
    Tips.clear();
}

void TfrmTipsForm::setVisible(bool visible)
{
    if (!visible && isVisible())
        FormClose();
    QDialog::setVisible(visible);
}

void TfrmTipsForm::reject()
{
    done(mrCancel);
}

void TfrmTipsForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
