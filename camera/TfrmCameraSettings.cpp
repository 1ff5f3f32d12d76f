#include "camera/TfrmCameraSettings.h"

#include "camera/TSpinEdit.h"
#include "camera/TWebCamera.h"
#include "lang/Lang.h"
#include "platform/TUserPrompt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

// Resources of a static library are registered only when asked for by name.
static void initCameraResources()
{
    Q_INIT_RESOURCE(camera);
}

namespace {

// Help context numbers of the controls, kept as a property for a help viewer to read.
void setHelpContext(QWidget* w, int context)
{
    w->setProperty("HelpContext", context);
}

} // namespace

TfrmCameraSettings::TfrmCameraSettings(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowMinimizeButtonHint | Qt::WindowContextHelpButtonHint |
                         Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    initCameraResources();
    setObjectName(QStringLiteral("frmCameraSettings"));
    setWindowTitle(QStringLiteral("Web Camera Settings"));
    setFixedSize(423, 245);

    // Header strip: grey band with the camera picture and the white bold title.
    auto* header = new QLabel(QStringLiteral("                  Specify Web camera settings"), this);
    header->setObjectName(QStringLiteral("lblHeader"));
    header->setGeometry(0, 0, 423, 36);
    header->setAutoFillBackground(true);
    QPalette headerPalette = header->palette();
    headerPalette.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    headerPalette.setColor(QPalette::WindowText, Qt::white);
    header->setPalette(headerPalette);
    QFont headerFont(QStringLiteral("Arial"));
    headerFont.setStyleHint(QFont::SansSerif);
    headerFont.setBold(true);
    headerFont.setPointSize(11);
    header->setFont(headerFont);
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("imgHeader"));
    picture->setGeometry(8, 2, 32, 32);
    picture->setPixmap(QPixmap(QStringLiteral(":/camera/HEADER_CAMERA")));

    addBevel(QStringLiteral("Bevel1"), 36);
    addGroupCaption(QStringLiteral("lblUrlGroup"), QStringLiteral("URL and Description "), 42);

    edtURL = new QLineEdit(this);
    edtURL->setObjectName(QStringLiteral("edtURL"));
    edtURL->setGeometry(128, 60, 285, 21);
    setHelpContext(edtURL, 3);
    addLabel(QStringLiteral("lblURL"), QStringLiteral("&URL:"), QRect(16, 63, 108, 16))->setBuddy(edtURL);

    edtDescr = new QLineEdit(this);
    edtDescr->setObjectName(QStringLiteral("edtDescr"));
    edtDescr->setGeometry(128, 86, 285, 21);
    edtDescr->setMaxLength(60);
    setHelpContext(edtDescr, 1);
    addLabel(QStringLiteral("lblDescr"), QStringLiteral("Enter &description:"), QRect(16, 89, 108, 16))
        ->setBuddy(edtDescr);

    addBevel(QStringLiteral("Bevel2"), 113);
    addGroupCaption(QStringLiteral("lblOptionsGroup"), QStringLiteral("Additional options "), 119);

    edtPeriod = new TSpinEdit(this);
    edtPeriod->setObjectName(QStringLiteral("edtPeriod"));
    edtPeriod->setGeometry(100, 138, 50, 21);
    setHelpContext(edtPeriod, 4);
    addLabel(QStringLiteral("lblPeriod"), QStringLiteral("Update &every"), QRect(16, 141, 82, 16))
        ->setBuddy(edtPeriod);
    addLabel(QStringLiteral("lblMinutes"), QStringLiteral("minute(s)*"), QRect(156, 141, 80, 16));
    QLabel* note = addLabel(QStringLiteral("lblManualNote"),
                            QStringLiteral("* set 0 to refresh camera manually"), QRect(16, 162, 220, 14));
    QFont noteFont = note->font();
    noteFont.setPointSizeF(noteFont.pointSizeF() * 0.85);
    note->setFont(noteFont);

    cbxScale = new QComboBox(this);
    cbxScale->setObjectName(QStringLiteral("cbxScale"));
    cbxScale->setGeometry(288, 138, 125, 21);
    cbxScale->addItems({QStringLiteral("25%"), QStringLiteral("50%"), QStringLiteral("Original Size")});
    setHelpContext(cbxScale, 8);
    addLabel(QStringLiteral("lblScale"), QStringLiteral("Scale: "), QRect(240, 141, 46, 16))
        ->setBuddy(cbxScale);

    chkStartup = new QCheckBox(QStringLiteral("Open on program startup"), this);
    chkStartup->setObjectName(QStringLiteral("chkStartup"));
    chkStartup->setGeometry(16, 182, 210, 18);
    chkStartup->setChecked(true);
    setHelpContext(chkStartup, 5);

    chkTop = new QCheckBox(QStringLiteral("Stay on top"), this);
    chkTop->setObjectName(QStringLiteral("chkTop"));
    chkTop->setGeometry(240, 182, 170, 18);
    chkTop->setChecked(true);
    setHelpContext(chkTop, 6);

    addBevel(QStringLiteral("Bevel3"), 206);

    chkAdd = new QCheckBox(QStringLiteral("Add Web camera to Favorites"), this);
    chkAdd->setObjectName(QStringLiteral("chkAdd"));
    chkAdd->setGeometry(16, 218, 226, 18);
    chkAdd->setChecked(true);
    chkAdd->setEnabled(true);
    setHelpContext(chkAdd, 7);

    btnOk = new QPushButton(QStringLiteral("Ok"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(254, 214, 75, 25);
    btnOk->setDefault(true);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(338, 214, 75, 25);

    lngLanguage = new TLanguage(this);

    setTabOrder(edtURL, edtDescr);
    setTabOrder(edtDescr, edtPeriod);
    setTabOrder(edtPeriod, cbxScale);
    setTabOrder(cbxScale, chkStartup);
    setTabOrder(chkStartup, chkTop);
    setTabOrder(chkTop, chkAdd);
    setTabOrder(chkAdd, btnOk);
    setTabOrder(btnOk, btnCancel);

    connect(edtURL, &QLineEdit::textChanged, this, &TfrmCameraSettings::edtURLChange);
    connect(chkAdd, &QCheckBox::toggled, this, &TfrmCameraSettings::chkAddClick);
    connect(btnOk, &QPushButton::clicked, this, &TfrmCameraSettings::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(mrCancel); });

    FormCreate();
}

QLabel* TfrmCameraSettings::addLabel(const QString& name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(name);
    label->setGeometry(geometry);
    return label;
}

QLabel* TfrmCameraSettings::addGroupCaption(const QString& name, const QString& text, int top)
{
    QLabel* label = addLabel(name, text, QRect(8, top, 240, 16));
    QFont bold = label->font();
    bold.setBold(true);
    label->setFont(bold);
    return label;
}

void TfrmCameraSettings::addBevel(const QString& name, int top)
{
    auto* line = new QFrame(this);
    line->setObjectName(name);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(4, top, 415, 2);
}

QString TfrmCameraSettings::Trimmed(const QString& text)
{
    const auto isBlank = [](QChar c) { return c.unicode() <= 0x20 || c.category() == QChar::Other_Control; };
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text.at(begin)))
        ++begin;
    while (end > begin && isBlank(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

int TfrmCameraSettings::ScaleIndexFor(int scale)
{
    if (scale == 25)
        return 0;
    if (scale == 50)
        return 1;
    return 2;
}

int TfrmCameraSettings::ScaleForIndex(int index)
{
    if (index == 0)
        return 25;
    if (index == 1)
        return 50;
    return 100;
}

void TfrmCameraSettings::SetScale(int scale)
{
    cbxScale->setCurrentIndex(ScaleIndexFor(scale));
}

int TfrmCameraSettings::Scale() const
{
    return ScaleForIndex(cbxScale->currentIndex());
}

void TfrmCameraSettings::LoadFrom(const TWebCamera& camera, TFlow flow)
{
    m_flow = flow;
    EditMode = flow == TFlow::Edit || flow == TFlow::Favorite;
    if (flow == TFlow::Add)
        return;
    edtURL->setText(camera.URL);
    edtDescr->setText(camera.Description);
    edtPeriod->setValue(camera.UpdateInterval);
    chkStartup->setChecked(camera.RunOnStartup);
    chkTop->setChecked(camera.AlwaysOnTop);
    if (flow != TFlow::Favorite)
        SetScale(camera.Scale);
    // Setting it runs chkAddClick, so the start-up box's enabled state follows.
    chkAdd->setChecked(flow != TFlow::Catalog && camera.isFavorite());
}

void TfrmCameraSettings::StoreInto(TWebCamera& camera) const
{
    camera.SetUpdateInterval(edtPeriod->value());
    camera.SetDescription(edtDescr->text());
    camera.SetURL(edtURL->text());
    camera.SetRunOnStartup(chkStartup->isChecked());
    camera.SetAlwaysOnTop(chkTop->isChecked());
    if (m_flow != TFlow::Favorite)
        camera.Scale = Scale();
}

void TfrmCameraSettings::FormCreate()
{
    edtURLChange();
    cbxScale->setCurrentIndex(2);
}

void TfrmCameraSettings::FormShow()
{
    if (!EditMode && edtPeriod->value() == 0)
        edtPeriod->setValue(1);
    // Stands on its own in the middle of the screen, whoever owns it.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    edtURL->setFocus();
}

void TfrmCameraSettings::edtURLChange()
{
    btnOk->setEnabled(!Trimmed(edtURL->text()).isEmpty());
}

void TfrmCameraSettings::chkAddClick()
{
    chkStartup->setEnabled(chkAdd->isChecked());
}

void TfrmCameraSettings::btnOkClick()
{
    // A description of blanks would be emptied as the dialog closes: it could name no favourite,
    // and renaming one to it would delete the old key and store nothing.
    if (edtURL->text().isEmpty())
        TUserPrompt::ShowMessage(this, QStringLiteral("Please enter URL!"));
    else if (Trimmed(edtDescr->text()).isEmpty())
        TUserPrompt::ShowMessage(this, QStringLiteral("Please enter description!"));
    else
        done(mrOk);
}

void TfrmCameraSettings::FormClose()
{
    edtURL->setText(Trimmed(edtURL->text()));
    edtDescr->setText(Trimmed(edtDescr->text()));
}

void TfrmCameraSettings::setVisible(bool visible)
{
    // Every way a shown dialog goes away (OK, Cancel, Escape, the close box, an opener that
    // cancels it) passes here.
    if (!visible && isVisible())
        FormClose();
    QDialog::setVisible(visible);
}

void TfrmCameraSettings::reject()
{
    done(mrCancel);
}

void TfrmCameraSettings::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}
