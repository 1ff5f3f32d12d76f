#pragma once

#include <QDialog>
#include <QImage>
#include <QPixmap>

class QKeyEvent;
class QListWidget;
class QPainter;
class QPushButton;
class QTabWidget;

// A dialog whose pages are chosen from a list of large pictures at the left instead of tabs.
// Each page's tab caption reads "shown name:BITMAP NAME" (see SplitPageCaption); the bitmap is a
// program bitmap (see AddProgramBitmap) drawn 32 × 32 above the name. Derived windows add their
// pages with AddPage and call FormCreate once they have.
class TOptionsDlgForm : public QDialog
{
    Q_OBJECT

public:
    explicit TOptionsDlgForm(QWidget* owner = nullptr);

    // Cuts a page caption at its first ":" into the shown name and the bitmap name. Without
    // a ":" the whole caption is the shown name; an empty bitmap name becomes the shown name.
    static void SplitPageCaption(const QString& caption, QString* shownName, QString* bitmapName);

    QTabWidget* PageControl1 = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnOk = nullptr;
    QListWidget* ListBox1 = nullptr;

    // Appends a page with its caption; returns its index.
    int AddPage(QWidget* page, const QString& caption);
    // Makes the page active and tells PageChanged.
    void ShowPage(int index);
    // Selects the navigator entry of the active page.
    void SyncListWithPage();

    // Base handlers; derived windows that have their own call these first.
    virtual void FormCreate();
    virtual void FormShow();
    void FormHide();
    // Ctrl+Page Down / Ctrl+Page Up with exactly Ctrl held: next / previous page, wrapping
    // around. Returns true when the key was consumed.
    bool FormKeyDown(QKeyEvent* event);
    void ListBox1Click();
    // Draws one navigator entry; an entry whose page has no bitmap is left blank.
    void ListBox1DrawItem(QPainter* painter, int index, const QRect& rect, bool selected);
    void PageControl1Change();

protected:
    // Called when the window is hidden after closing with OK.
    virtual void ApplySettings() {}
    // Called first when the window shows, before the navigator is filled.
    virtual void PrepareShow() {}
    // Called after a page was chosen in the navigator.
    virtual void PageChanged() {}

    // Navigator along the left edge, pages beside it, OK and Cancel below at the right. Runs
    // on every resize; a window that sets its size before it shows calls it too.
    void PlaceControls();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
};

// The program's own named bitmaps, standing in for the executable's bitmap resources. Names
// compare without regard to letter case. "GENERAL" and "FAVORITES" are built in.
void AddProgramBitmap(const QString& name, const QImage& image);
// The bitmap of a page picture, loaded once and kept for the whole process (letter case of
// the name ignored). A null pixmap when no program bitmap has that name; nothing is kept
// then, so a later call looks again.
QPixmap GetPageBitmap(const QString& name);
// The names held by the cache, in the order they were loaded.
QStringList PageBitmapCacheNames();
