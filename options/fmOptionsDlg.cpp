#include "options/fmOptionsDlg.h"

#include "options/TPagePictures.h"

#include <QApplication>
#include <QBitmap>
#include <QHash>
#include <QKeyEvent>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>

#include <vector>

namespace {

constexpr int NavigatorWidth = 97;
constexpr int Margin = 6;
constexpr int ButtonWidth = 75;
constexpr int ButtonHeight = 25;
// Space of the picture and the gaps around the name, added to the text height.
constexpr int ItemExtra = 44;

QHash<QString, QImage>& programBitmaps()
{
    static QHash<QString, QImage> bitmaps{{QStringLiteral("GENERAL"), TPagePictures::General()},
                                          {QStringLiteral("FAVORITES"), TPagePictures::Favorites()}};
    return bitmaps;
}

struct TCachedBitmap
{
    QString Name;
    QPixmap Bitmap;
};

std::vector<TCachedBitmap>& bitmapCache()
{
    static std::vector<TCachedBitmap> cache;
    return cache;
}

// The colour of the bottom-left pixel does not show, as with the platform's transparent bitmaps.
QPixmap transparentPixmap(const QImage& image)
{
    QPixmap pixmap = QPixmap::fromImage(image);
    const QRgb key = image.pixel(0, image.height() - 1);
    pixmap.setMask(QBitmap::fromImage(image.createMaskFromColor(key, Qt::MaskInColor)));
    return pixmap;
}

// Owner drawing: every entry has the same height and is painted by the dialog.
class TNavigatorDelegate : public QStyledItemDelegate
{
public:
    explicit TNavigatorDelegate(TOptionsDlgForm* form) : QStyledItemDelegate(form), m_form(form) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        m_form->ListBox1DrawItem(painter, index.row(), option.rect, option.state & QStyle::State_Selected);
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        return QSize(NavigatorWidth - 4, m_form->ListBox1->property("ItemHeight").toInt());
    }

private:
    TOptionsDlgForm* m_form;
};

} // namespace

void AddProgramBitmap(const QString& name, const QImage& image)
{
    programBitmaps().insert(name.toUpper(), image);
}

QPixmap GetPageBitmap(const QString& name)
{
    for (const TCachedBitmap& entry : bitmapCache()) {
        if (entry.Name.compare(name, Qt::CaseInsensitive) == 0)
            return entry.Bitmap;
    }
    const QImage image = programBitmaps().value(name.toUpper());
    if (image.isNull())
        return {};
    QPixmap bitmap = transparentPixmap(image);
    bitmapCache().push_back({name, bitmap});
    return bitmap;
}

QStringList PageBitmapCacheNames()
{
    QStringList names;
    for (const TCachedBitmap& entry : bitmapCache())
        names.append(entry.Name);
    return names;
}

TOptionsDlgForm::TOptionsDlgForm(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->tabBar()->hide();
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);

    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnOk = new QPushButton(QStringLiteral("OK"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setItemDelegate(new TNavigatorDelegate(this));
    ListBox1->setUniformItemSizes(true);
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    ListBox1->setProperty("ItemHeight", ListBox1->fontMetrics().height() + ItemExtra);

    connect(btnOk, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
    connect(btnCancel, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(ListBox1, &QListWidget::itemClicked, this, [this] { ListBox1Click(); });
    connect(ListBox1, &QListWidget::currentRowChanged, this, [this] { ListBox1Click(); });
    connect(PageControl1, &QTabWidget::currentChanged, this, [this] { PageControl1Change(); });

    // The window sees Ctrl+Page Down / Up before the focused control does.
    qApp->installEventFilter(this);
}

void TOptionsDlgForm::SplitPageCaption(const QString& caption, QString* shownName, QString* bitmapName)
{
    const qsizetype colon = caption.indexOf(QLatin1Char(':'));
    if (colon < 0) {
        *shownName = caption;
        *bitmapName = caption;
        return;
    }
    *shownName = caption.left(colon);
    *bitmapName = caption.mid(colon + 1);
    if (bitmapName->isEmpty())
        *bitmapName = *shownName;
}

int TOptionsDlgForm::AddPage(QWidget* page, const QString& caption)
{
    return PageControl1->addTab(page, caption);
}

void TOptionsDlgForm::ShowPage(int index)
{
    PageControl1->setCurrentIndex(index);
    PageChanged();
}

void TOptionsDlgForm::SyncListWithPage()
{
    const int page = PageControl1->currentIndex();
    if (page < 0)
        return;
    const QSignalBlocker blocker(ListBox1);
    ListBox1->setCurrentRow(page);
}

void TOptionsDlgForm::FormCreate()
{
    if (PageControl1->count() > 0)
        PageControl1->setCurrentIndex(0);
}

void TOptionsDlgForm::FormShow()
{
    PrepareShow();
    {
        const QSignalBlocker blocker(ListBox1);
        ListBox1->clear();
        for (int i = 0; i < PageControl1->count(); ++i) {
            QString shown;
            QString bitmap;
            SplitPageCaption(PageControl1->tabText(i), &shown, &bitmap);
            ListBox1->addItem(shown);
        }
    }
    ListBox1->setProperty("ItemHeight", ListBox1->fontMetrics().height() + ItemExtra);
    ListBox1->doItemsLayout();
    SyncListWithPage();
}

void TOptionsDlgForm::FormHide()
{
    if (result() == QDialog::Accepted)
        ApplySettings();
}

bool TOptionsDlgForm::FormKeyDown(QKeyEvent* event)
{
    const Qt::KeyboardModifiers held =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
    if (held != Qt::ControlModifier)
        return false;
    const int count = PageControl1->count();
    if (count == 0)
        return false;
    int page = PageControl1->currentIndex();
    if (event->key() == Qt::Key_PageDown)
        page = (page + 1) % count;
    else if (event->key() == Qt::Key_PageUp)
        page = (page - 1 + count) % count;
    else
        return false;
    PageControl1->setCurrentIndex(page);
    SyncListWithPage();
    return true;
}

void TOptionsDlgForm::ListBox1Click()
{
    const int row = ListBox1->currentRow();
    if (row >= 0 && row < PageControl1->count())
        ShowPage(row);
}

void TOptionsDlgForm::ListBox1DrawItem(QPainter* painter, int index, const QRect& rect, bool selected)
{
    if (index < 0 || index >= PageControl1->count())
        return;
    QString shown;
    QString bitmapName;
    SplitPageCaption(PageControl1->tabText(index), &shown, &bitmapName);
    const QPixmap bitmap = GetPageBitmap(bitmapName);
    if (bitmap.isNull())
        return;
    const QPalette& palette = ListBox1->palette();
    painter->save();
    painter->fillRect(rect, selected ? palette.brush(QPalette::Highlight) : palette.brush(QPalette::Base));
    painter->drawPixmap(rect.left() + (rect.width() - bitmap.width()) / 2, rect.top() + 4, bitmap);
    painter->setFont(ListBox1->font());
    painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
    const int centre = (rect.left() + rect.right()) / 2;
    const int textTop = rect.top() + bitmap.height() + 8;
    const int half = rect.width();
    painter->drawText(QRect(centre - half, textTop, 2 * half, rect.bottom() - textTop + 1),
                      Qt::AlignHCenter | Qt::AlignTop, shown);
    painter->restore();
}

void TOptionsDlgForm::PageControl1Change()
{
    SyncListWithPage();
}

void TOptionsDlgForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TOptionsDlgForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (!event->spontaneous())
        FormHide();
}

void TOptionsDlgForm::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    PlaceControls();
}

void TOptionsDlgForm::PlaceControls()
{
    const int buttonsTop = height() - Margin - ButtonHeight;
    const int pagesHeight = buttonsTop - 2 * Margin;
    ListBox1->setGeometry(Margin, Margin, NavigatorWidth, pagesHeight);
    const int pagesLeft = Margin + NavigatorWidth + Margin;
    PageControl1->setGeometry(pagesLeft, Margin, width() - pagesLeft - Margin, pagesHeight);
    btnCancel->setGeometry(width() - Margin - ButtonWidth, buttonsTop, ButtonWidth, ButtonHeight);
    btnOk->setGeometry(width() - 2 * (Margin + ButtonWidth), buttonsTop, ButtonWidth, ButtonHeight);
}

bool TOptionsDlgForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && isVisible()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this && FormKeyDown(static_cast<QKeyEvent*>(event)))
            return true;
    }
    return QDialog::eventFilter(watched, event);
}
