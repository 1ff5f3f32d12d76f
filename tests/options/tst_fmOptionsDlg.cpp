#include "options/TPagePictures.h"
#include "options/fmOptionsDlg.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

namespace {

// A dialog with three pages that counts the calls of its three hooks.
class TCountingDialog : public TOptionsDlgForm
{
public:
    TCountingDialog()
    {
        for (const char* caption : {"General:GENERAL", "Second:FAVORITES", "Third:"}) {
            auto* page = new QWidget;
            page->setObjectName(QString::fromLatin1(caption).section(QLatin1Char(':'), 0, 0));
            AddPage(page, QLatin1String(caption));
        }
        resize(434, 324);
        FormCreate();
    }
    int Applied = 0;
    int Prepared = 0;
    int Changed = 0;
    int PagesWhenPrepared = -1;

protected:
    void ApplySettings() override { ++Applied; }
    void PrepareShow() override
    {
        ++Prepared;
        PagesWhenPrepared = ListBox1->count();
    }
    void PageChanged() override { ++Changed; }
};

class TKeyRecorder : public QObject
{
public:
    explicit TKeyRecorder(int key) : m_key(key) {}
    int Presses = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == m_key)
            ++Presses;
        return false;
    }

private:
    int m_key;
};

QImage solid(const QColor& colour, const QColor& bottomLeft)
{
    QImage image(32, 32, QImage::Format_RGB32);
    image.fill(colour);
    image.setPixelColor(0, 31, bottomLeft);
    return image;
}

} // namespace

class tst_fmOptionsDlg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitPageCaption_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("bitmap");
        QTest::newRow("name-and-bitmap") << "General:GENERAL"
                                         << "General"
                                         << "GENERAL";
        QTest::newRow("without-colon") << "Extra"
                                       << "Extra"
                                       << "Extra";
        QTest::newRow("empty-bitmap-part") << "Extra:"
                                           << "Extra"
                                           << "Extra";
        QTest::newRow("cut-at-first-colon") << "A:B:C"
                                            << "A"
                                            << "B:C";
        QTest::newRow("empty-name") << ":PIC"
                                    << ""
                                    << "PIC";
    }
    void splitPageCaption()
    {
        QFETCH(QString, caption);
        QFETCH(QString, shown);
        QFETCH(QString, bitmap);
        QString gotShown = "unset";
        QString gotBitmap = "unset";
        TOptionsDlgForm::SplitPageCaption(caption, &gotShown, &gotBitmap);
        QCOMPARE(gotShown, shown);
        QCOMPARE(gotBitmap, bitmap);
    }

    void builtInPicturesAre32Square()
    {
        for (const QImage& image : {TPagePictures::General(), TPagePictures::Favorites()}) {
            QCOMPARE(image.size(), QSize(32, 32));
            // Transparent where the picture is not, painted in the middle.
            QCOMPARE(qAlpha(image.pixel(0, 31)), 0);
            QVERIFY(qAlpha(image.pixel(14, 20)) > 0);
        }
    }

    void bitmapCacheIgnoresCaseAndKeepsNoMiss()
    {
        const QPixmap general = GetPageBitmap("General");
        QVERIFY(!general.isNull());
        QCOMPARE(general.size(), QSize(32, 32));
        QCOMPARE(GetPageBitmap("GENERAL").cacheKey(), general.cacheKey());
        QCOMPARE(PageBitmapCacheNames().filter("general", Qt::CaseInsensitive).size(), 1);

        QVERIFY(GetPageBitmap("LateArrival").isNull());
        QVERIFY(!PageBitmapCacheNames().contains("LateArrival", Qt::CaseInsensitive));
        // A miss was not remembered: once the bitmap exists, the next call finds it.
        AddProgramBitmap("LATEARRIVAL", solid(Qt::red, Qt::red));
        QCOMPARE(GetPageBitmap("latearrival").size(), QSize(32, 32));
    }

    void navigatorListsThePagesAndFollowsTheActivePage()
    {
        TCountingDialog dialog;
        dialog.ShowPage(1);
        dialog.Changed = 0;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.Prepared, 1);
        QCOMPARE(dialog.PagesWhenPrepared, 0);
        QCOMPARE(dialog.ListBox1->count(), 3);
        QCOMPARE(dialog.ListBox1->item(0)->text(), QString("General"));
        QCOMPARE(dialog.ListBox1->item(2)->text(), QString("Third"));
        QCOMPARE(dialog.ListBox1->currentRow(), 1);
        QCOMPARE(dialog.ListBox1->width(), 97);
        QVERIFY(dialog.PageControl1->tabBar()->isHidden());
        QCOMPARE(dialog.PageControl1->focusPolicy(), Qt::NoFocus);
        const int height = dialog.ListBox1->fontMetrics().height() + 44;
        QCOMPARE(dialog.ListBox1->visualItemRect(dialog.ListBox1->item(1)).height(), height);

        const QRect third = dialog.ListBox1->visualItemRect(dialog.ListBox1->item(2));
        QTest::mouseClick(dialog.ListBox1->viewport(), Qt::LeftButton, {}, third.center());
        QCOMPARE(dialog.PageControl1->currentIndex(), 2);
        QVERIFY(dialog.Changed >= 1);
    }

    // The picture 4 pixels from the top, centred, its bottom-left colour left out; the name
    // below it. An entry without a picture stays blank.
    void entriesDrawTheirPictureAndName()
    {
        AddProgramBitmap("REDSQUARE", solid(Qt::red, Qt::blue));
        TOptionsDlgForm dialog;
        dialog.AddPage(new QWidget, "Red:REDSQUARE");
        dialog.AddPage(new QWidget, "Nothing:NOSUCHPICTURE");
        dialog.resize(434, 324);
        dialog.FormCreate();
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.ListBox1->setCurrentRow(1);
        const QImage shot =
            dialog.ListBox1->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QColor base = dialog.ListBox1->palette().color(QPalette::Base);

        const QRect red = dialog.ListBox1->visualItemRect(dialog.ListBox1->item(0));
        const int left = red.left() + (red.width() - 32) / 2;
        const int top = red.top() + 4;
        QCOMPARE(QColor(shot.pixel(left + 1, top)), QColor(Qt::red));
        QCOMPARE(QColor(shot.pixel(left + 31, top + 31)), QColor(Qt::red));
        QCOMPARE(QColor(shot.pixel(left, top + 31)), base);
        QCOMPARE(QColor(shot.pixel(left - 1, top + 1)), base);
        QCOMPARE(QColor(shot.pixel(left + 1, top - 1)), base);
        int ink = 0;
        for (int y = top + 32 + 8; y <= red.bottom(); ++y)
            for (int x = red.left(); x <= red.right(); ++x)
                ink += QColor(shot.pixel(x, y)) != base ? 1 : 0;
        QVERIFY2(ink > 5, "no name below the picture");
        for (int y = top; y < top + 32 + 8; ++y)
            QCOMPARE(QColor(shot.pixel(red.left() + 2, y)), base);

        const QRect blank = dialog.ListBox1->visualItemRect(dialog.ListBox1->item(1));
        for (int y = blank.top(); y <= blank.bottom(); ++y)
            for (int x = blank.left(); x <= blank.right(); ++x)
                QVERIFY2(QColor(shot.pixel(x, y)) == base, qPrintable(QString("%1,%2").arg(x).arg(y)));
        // The page itself still works through the navigator.
        QCOMPARE(dialog.PageControl1->currentIndex(), 1);
    }

    void ctrlPageKeysTurnThePages_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<int>("to");
        const int ctrl = Qt::ControlModifier;
        QTest::newRow("down") << 0 << int(Qt::Key_PageDown) << ctrl << 1;
        QTest::newRow("down-on-last-wraps") << 2 << int(Qt::Key_PageDown) << ctrl << 0;
        QTest::newRow("up-on-first-wraps") << 0 << int(Qt::Key_PageUp) << ctrl << 2;
        QTest::newRow("up") << 2 << int(Qt::Key_PageUp) << ctrl << 1;
        QTest::newRow("ctrl-shift-does-nothing")
            << 2 << int(Qt::Key_PageDown) << int(ctrl | Qt::ShiftModifier) << 2;
        QTest::newRow("ctrl-alt-does-nothing")
            << 0 << int(Qt::Key_PageUp) << int(ctrl | Qt::AltModifier) << 0;
        QTest::newRow("without-ctrl-passes-on") << 0 << int(Qt::Key_PageDown) << 0 << 0;
    }
    void ctrlPageKeysTurnThePages()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(int, to);
        TCountingDialog dialog;
        // The key goes to a control first; the window sees it before that control does.
        auto* edit = new QLineEdit(dialog.PageControl1->widget(from));
        dialog.PageControl1->setCurrentIndex(from);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        TKeyRecorder reached(key);
        edit->installEventFilter(&reached);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(dialog.PageControl1->currentIndex(), to);
        QCOMPARE(dialog.ListBox1->currentRow(), to);
        // A key that turned the page was consumed; any other reaches the control.
        QCOMPARE(reached.Presses, from == to ? 1 : 0);
    }

    void settingsAreAppliedOnlyAfterOk_data()
    {
        QTest::addColumn<QString>("closedBy");
        QTest::addColumn<int>("applied");
        QTest::newRow("ok") << "ok" << 1;
        QTest::newRow("cancel") << "cancel" << 0;
        QTest::newRow("escape") << "escape" << 0;
        QTest::newRow("close-box") << "close" << 0;
    }
    void settingsAreAppliedOnlyAfterOk()
    {
        QFETCH(QString, closedBy);
        QFETCH(int, applied);
        TCountingDialog dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        if (closedBy == "ok")
            QTest::mouseClick(dialog.btnOk, Qt::LeftButton);
        else if (closedBy == "cancel")
            QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
        else if (closedBy == "escape")
            QTest::keyClick(dialog.btnOk, Qt::Key_Escape);
        else
            dialog.close();
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.Applied, applied);
        QCOMPARE(dialog.result(), applied ? int(QDialog::Accepted) : int(QDialog::Rejected));
    }
};

QTEST_MAIN(tst_fmOptionsDlg)
#include "tst_fmOptionsDlg.moc"
