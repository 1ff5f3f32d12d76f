#include "dialogs/fmAbout.h"

#include "app/TMenuImages.h"
#include "camera/TMainFormServices.h"
#include "dialogs/CursorRegistry.h"
#include "dialogs/TProgramResources.h"
#include "dialogs/TVersionInfo.h"
#include "dialogs/URLLabel.h"
#include "lang/Lang.h"
#include "lang/TWidgetProperties.h"
#include "platform/ForceForegroundWindow.h"
#include "platform/TMakerSite.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QShowEvent>
#include <QTreeWidget>

namespace {

const QColor Navy(0, 0, 128);
// Product names and descriptions are read into 255-byte buffers.
constexpr int MaxProductText = 254;

QFont arial(int pixels, bool bold)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* banner(QWidget* parent, const char* name, const QRect& geometry, int pixels)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(geometry);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    label->setFont(arial(pixels, true));
    QPalette p = label->palette();
    p.setColor(QPalette::Window, Navy);
    p.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(p);
    return label;
}

// Fills each "%s" of format with the next argument, as the window's format texts expect.
QString formatText(const QString& format, const QStringList& arguments)
{
    QString result;
    qsizetype next = 0;
    qsizetype i = 0;
    while (i < format.size()) {
        if (format.at(i) == QLatin1Char('%') && i + 1 < format.size() &&
            format.at(i + 1) == QLatin1Char('s')) {
            result += arguments.value(next++);
            i += 2;
        } else {
            result += format.at(i++);
        }
    }
    return result;
}

QString makerPage(const QString& page)
{
    QString address = QStringLiteral("http://") + MakerWebHost();
    if (!page.isEmpty())
        address += QLatin1Char('/') + page;
    return address;
}

} // namespace

TAboutResources TAboutResources::Program()
{
    TAboutResources resources;
    resources.VersionFile = ProgramFilePath();
    resources.String = ProgramResourceString;
    resources.Icon = [](const QString& name) -> QIcon {
        using namespace TMenuImages;
        if (name == QLatin1String("MAINICON"))
            return QIcon(QPixmap::fromImage(ProgramIconImage(32)));
        static const QList<int> productImages{GlobeWithPage, About, Table, WebPage};
        for (int k = 0; k < productImages.size(); ++k) {
            if (name == QStringLiteral("ProductIcon%1").arg(k))
                return QIcon(QPixmap::fromImage(MenuImage(productImages.at(k))));
        }
        return QIcon();
    };
    return resources;
}

TAboutForm::TAboutForm(QWidget* owner, const TAboutResources& resources)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                         Qt::WindowCloseButtonHint),
      m_resources(resources)
{
    setObjectName(QStringLiteral("AboutForm"));
    setWindowTitle(QStringLiteral("About %s"));
    setFont(arial(11, false));

    lblProductName = banner(this, "lblProductName", QRect(4, 0, 447, 32), 24);
    lblProductName->setText(QStringLiteral("%s %s"));
    imgIcon = new QLabel(this);
    imgIcon->setObjectName(QStringLiteral("imgIcon"));
    imgIcon->setGeometry(13, 2, 32, 32);
    lblComments = banner(this, "lblComments", QRect(4, 32, 447, 24), 19);
    lblComments->setText(QStringLiteral("%s"));

    lblPropositions = new QLabel(QStringLiteral("Other interesting propositions from %s:"), this);
    lblPropositions->setObjectName(QStringLiteral("lblPropositions"));
    lblPropositions->setFont(arial(11, true));
    lblPropositions->move(4, 60);
    lblPropositions->setProperty(AutoSizeProperty, true);

    lstPropositions = new QTreeWidget(this);
    lstPropositions->setObjectName(QStringLiteral("lstPropositions"));
    lstPropositions->setGeometry(4, 76, 445, 77);
    lstPropositions->setColumnCount(2);
    lstPropositions->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Description")});
    lstPropositions->setHeaderHidden(true);
    lstPropositions->setRootIsDecorated(false);
    lstPropositions->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstPropositions->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstPropositions->setSelectionMode(QAbstractItemView::SingleSelection);
    lstPropositions->setMouseTracking(true);
    lstPropositions->setCursor(CursorRegistry::Cursor(CursorRegistry::URLHandCursor()));
    lstPropositions->setIconSize(QSize(16, 16));
    lstPropositions->header()->setStretchLastSection(false);

    OKButton = new QPushButton(QStringLiteral("OK"), this);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(374, 160, 75, 23);
    OKButton->setDefault(true);
    // Help sits right under OK; the copyright line takes the left of the same rows.
    HelpButton = new QPushButton(QStringLiteral("&Help"), this);
    HelpButton->setObjectName(QStringLiteral("HelpButton"));
    HelpButton->setGeometry(374, 189, 75, 23);

    lblCopyright = new TURLLabel(this);
    lblCopyright->setObjectName(QStringLiteral("lblCopyright"));
    lblCopyright->setGeometry(4, 258, 222, 13);
    lblCopyright->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QFont link(QStringLiteral("MS Sans Serif"));
    link.setStyleHint(QFont::SansSerif);
    link.setPixelSize(11);
    link.setBold(true);
    link.setUnderline(true);
    lblCopyright->setFont(link);
    lblCopyright->ShowHover = false;
    lblCopyright->NormalColor = Navy;
    lblCopyright->VisitColor = Navy;
    lblCopyright->HoverColor = QColor(255, 0, 0);

    lngLanguage = new TLanguage(this);
    lngLanguage->SetProperties(
        {QStringLiteral("AboutForm.Caption"), QStringLiteral("AboutForm.lblPropositions.Caption"),
         QStringLiteral("AboutForm.OKButton.Caption"), QStringLiteral("AboutForm.HelpButton.Caption")});

    connect(OKButton, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(HelpButton, &QPushButton::clicked, this, &TAboutForm::HelpButtonClick);
    connect(lstPropositions, &QTreeWidget::itemClicked, this, &TAboutForm::lstPropositionsClick);
    connect(lstPropositions, &QTreeWidget::itemEntered, this, &TAboutForm::HoverRow);

    FormCreate();
}

void TAboutForm::Execute(TMainFormServices& mainForm, QWidget* owner)
{
    auto* form = new TAboutForm(owner);
    const auto release = qScopeGuard([&mainForm, form] {
        mainForm.UnregisterDialog(form);
        delete form;
    });
    mainForm.CancelOpenDialogs();
    mainForm.RegisterDialog(form);
    form->exec();
}

void TAboutForm::FormCreate()
{
    imgIcon->setPixmap(m_resources.Icon(QStringLiteral("MAINICON")).pixmap(32, 32));
    const TVersionInfo version(m_resources.VersionFile);
    if (version.FixedInfo()) {
        const auto [ms, ls] = version.ProductVersion();
        m_versionText = TVersionInfo::VersionText(ms, ls);
    }
    m_companyName = version.StringValue(QStringLiteral("CompanyName"));
    m_productName = version.StringValue(QStringLiteral("ProductName"));
    // Without a version block the window still names the program.
    if (m_productName.isEmpty())
        m_productName = QCoreApplication::applicationName();
    lblComments->setText(formatText(lblComments->text(), {version.StringValue(QStringLiteral("Comments"))}));
    lblCopyright->setText(version.StringValue(QStringLiteral("LegalCopyright")));
    lblCopyright->URL = makerPage(QString());
    FillTexts();
    FillProducts();
    PlaceCopyright();
}

void TAboutForm::FillTexts()
{
    setWindowTitle(formatText(windowTitle(), {m_productName}));
    // Without a version the name stands alone rather than with a trailing blank.
    const QString name = formatText(lblProductName->text(), {m_productName, m_versionText});
    lblProductName->setText(m_versionText.isEmpty() ? name.trimmed() : name);
    lblPropositions->setText(formatText(lblPropositions->text(), {m_companyName}));
    lblPropositions->adjustSize();
}

void TAboutForm::LanguageUpdated(QObject* Sender)
{
    Q_UNUSED(Sender);
    setWindowTitle(formatText(windowTitle(), {m_productName}));
    lblPropositions->setText(formatText(lblPropositions->text(), {m_companyName}));
    lblPropositions->adjustSize();
}

void TAboutForm::FillProducts()
{
    // Any failure ends the filling quietly; the rows added so far stay.
    bool ok = false;
    const int count = m_resources.String(0).value_or(QString()).toInt(&ok);
    if (!ok)
        return;
    for (int k = 0; k < count; ++k) {
        const QString name = m_resources.String(10 * k + 1).value_or(QString()).left(MaxProductText);
        const QString description = m_resources.String(10 * k + 2).value_or(QString()).left(MaxProductText);
        const QIcon icon = m_resources.Icon(QStringLiteral("ProductIcon%1").arg(k));
        if (icon.isNull())
            return;
        imgList.append(icon);
        auto* row = new QTreeWidgetItem(lstPropositions, {name, description});
        row->setIcon(0, icon);
        row->setData(0, Qt::UserRole, int(imgList.size() - 1));
    }
    lstPropositions->resizeColumnToContents(0);
    lstPropositions->setColumnWidth(1, 261);
}

void TAboutForm::PlaceCopyright()
{
    const int top = lstPropositions->geometry().bottom() + 1 + 16;
    lblCopyright->move(4, top);
    int bottom = lblCopyright->geometry().bottom() + 1;
    if (!HelpButton->isHidden())
        bottom = qMax(bottom, HelpButton->geometry().bottom() + 1);
    setFixedSize(454, bottom);
}

void TAboutForm::FormShow()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    OKButton->setFocus();
    ForceForegroundWindow(this);
}

void TAboutForm::lstPropositionsClick()
{
    const QList<QTreeWidgetItem*> selected = lstPropositions->selectedItems();
    if (selected.isEmpty())
        return;
    const int k = selected.first()->data(0, Qt::UserRole).toInt();
    const QString page = m_resources.String(10 * k + 3).value_or(QString());
    if (page.isEmpty())
        return;
    // Relative pages are files beside the program; a failure is not reported.
    ShellOpen(page, QString(), QFileInfo(ProgramFilePath()).absolutePath());
}

void TAboutForm::HelpButtonClick()
{
    ShellOpen(makerPage(QStringLiteral("webcamera_faq.html")));
}

void TAboutForm::HoverRow(QTreeWidgetItem* item)
{
    if (item == m_hovered)
        return;
    const auto underline = [](QTreeWidgetItem* row, bool on) {
        for (int column = 0; column < 2; ++column) {
            QFont font = row->font(column);
            font.setUnderline(on);
            row->setFont(column, font);
        }
    };
    if (m_hovered)
        underline(m_hovered, false);
    m_hovered = item;
    if (item)
        underline(item, true);
}

void TAboutForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TAboutForm::keyPressEvent(QKeyEvent* event)
{
    // OK is the cancel button: Escape presses it.
    if (event->key() == Qt::Key_Escape) {
        OKButton->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
