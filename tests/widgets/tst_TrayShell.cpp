#include "app/TrayMenuSettings.h"
#include "widgets/BarMenus.h"
#include "widgets/TStatusNotifierItem.h"
#include "widgets/TrayShell.h"

#include <QAction>
#include <QCursor>
#include <QSignalSpy>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

QIcon SolidIcon(const QColor& colour)
{
    QPixmap picture(16, 16);
    picture.fill(colour);
    return QIcon(picture);
}

QRgb IconColour(const QIcon& icon)
{
    return icon.pixmap(16, 16).toImage().pixel(8, 8);
}

struct TClick
{
    TMouseButton button;
    TShiftState shift;
    QPoint pos;
};

// The main form's arrangement: an icon with a side-bar menu whose default item is "Options...".
struct TFixture
{
    TBcBarPopupMenu menu;
    QAction* addCamera;
    QAction* options;
    TTrayIcon tray;
    QList<TClick> clicks;
    int dblClicks = 0;

    TFixture()
    {
        menu.setObjectName(QStringLiteral("PopupMenu1"));
        ApplyTrayMenuSettings(&menu);
        addCamera = menu.addAction(QStringLiteral("Add new camera..."));
        options = menu.addAction(QStringLiteral("Options..."));
        menu.setDefaultAction(options);
        menu.addSeparator();
        menu.addAction(QStringLiteral("E&xit"));

        tray.setObjectName(QStringLiteral("tiMain"));
        tray.SetHint(QStringLiteral("Vrel Web Camera"));
        tray.SetIcon(SolidIcon(Qt::darkCyan));
        tray.SetPopupMenu(&menu);
        tray.OnClick = [this](TTrayIcon* sender, TMouseButton button, TShiftState shift, int x, int y) {
            QCOMPARE(sender, &tray);
            clicks.append({button, shift, QPoint(x, y)});
        };
        tray.OnDblClick = [this](TTrayIcon*) { ++dblClicks; };
    }

    // What the desktop reports, through the same connection a real tray uses.
    void Activate(QSystemTrayIcon::ActivationReason reason) { emit tray.SystemTrayIcon()->activated(reason); }
};

} // namespace

class tst_TrayShell : public QObject
{
    Q_OBJECT

private slots:
    void rightClickOpensTheMenuAtTheCursor();
    void rightClickWithoutMenuIsAClick_data();
    void rightClickWithoutMenuIsAClick();
    void leftClickRaisesClick();
    void middleClickRaisesNoClick();
    void doubleClick_data();
    void doubleClick();
    void pressedElsewhereIsNoClick();
    void disabledIgnoresMessages();
    void handlerErrorIsShownAndHandlingGoesOn();
    void tipIsTheShortHintCut_data();
    void tipIsTheShortHintCut();
    void activeRemovesAndAddsAtOnce();
    void iconAppearsOnceItHasAPicture();
    void animationCyclesThroughIcons();
    void animationNeedsIcons();
    void destroyedMenuIsDetached();
    void statusNotifierCallsBecomeActivations_data();
    void statusNotifierCallsBecomeActivations();
};

void tst_TrayShell::rightClickOpensTheMenuAtTheCursor()
{
    TFixture f;
    QCursor::setPos(300, 200);

    f.Activate(QSystemTrayIcon::Context);

    QVERIFY(f.menu.isVisible());
    QCOMPARE(f.menu.pos(), QPoint(300, 200));
    QCOMPARE(f.menu.PopupComponent(), &f.tray);
    QVERIFY(f.clicks.isEmpty());
    // The menu is ours to open; the desktop never gets it.
    QCOMPARE(f.tray.SystemTrayIcon()->contextMenu(), nullptr);
}

void tst_TrayShell::rightClickWithoutMenuIsAClick_data()
{
    QTest::addColumn<QString>("why");
    QTest::newRow("menu-detached") << "detached";
    QTest::newRow("menu-no-auto-popup") << "no-auto-popup";
    QTest::newRow("icon-inactive") << "inactive";
}

void tst_TrayShell::rightClickWithoutMenuIsAClick()
{
    QFETCH(QString, why);
    TFixture f;
    if (why == "detached")
        f.tray.SetPopupMenu(nullptr);
    else if (why == "no-auto-popup")
        f.menu.SetAutoPopup(false);
    else
        f.tray.SetActive(false);
    QCursor::setPos(640, 590);

    f.Activate(QSystemTrayIcon::Context);

    QVERIFY(!f.menu.isVisible());
    QCOMPARE(f.clicks.size(), 1);
    QCOMPARE(f.clicks.first().button, TMouseButton::mbRight);
    QVERIFY(f.clicks.first().shift.testFlag(TShiftFlag::ssRight));
    QCOMPARE(f.clicks.first().pos, QPoint(640, 590));
}

void tst_TrayShell::leftClickRaisesClick()
{
    TFixture f;
    QCursor::setPos(12, 34);

    f.Activate(QSystemTrayIcon::Trigger);

    QCOMPARE(f.clicks.size(), 1);
    QCOMPARE(f.clicks.first().button, TMouseButton::mbLeft);
    QCOMPARE(f.clicks.first().shift, TShiftState(TShiftFlag::ssLeft));
    QCOMPARE(f.clicks.first().pos, QPoint(12, 34));
    QVERIFY(!f.menu.isVisible());
}

void tst_TrayShell::middleClickRaisesNoClick()
{
    TFixture f;
    QStringList log;
    f.tray.OnMouseDown = [&](TTrayIcon*, TMouseButton button, TShiftState shift, int, int) {
        log << QStringLiteral("down %1 %2").arg(int(button)).arg(int(shift));
    };
    f.tray.OnMouseUp = [&](TTrayIcon*, TMouseButton button, TShiftState shift, int, int) {
        log << QStringLiteral("up %1 %2").arg(int(button)).arg(int(shift));
    };

    f.Activate(QSystemTrayIcon::MiddleClick);

    QVERIFY(f.clicks.isEmpty());
    const int middle = int(TShiftFlag::ssMiddle);
    QCOMPARE(log,
             (QStringList{QStringLiteral("down 2 %1").arg(middle), QStringLiteral("up 2 %1").arg(middle)}));
}

void tst_TrayShell::doubleClick_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<int>("optionsRuns");
    QTest::addColumn<int>("dblClicks");

    QTest::newRow("default-item-runs") << "" << 1 << 0;
    QTest::newRow("default-item-disabled") << "disabled" << 0 << 1;
    QTest::newRow("no-default-item") << "no-default" << 0 << 1;
    QTest::newRow("menu-detached") << "detached" << 0 << 1;
    // The dialog protocol takes the menu and the handler away while a dialog is open.
    QTest::newRow("dialog-open") << "dialog" << 0 << 0;
}

void tst_TrayShell::doubleClick()
{
    QFETCH(QString, setup);
    QFETCH(int, optionsRuns);
    QFETCH(int, dblClicks);
    TFixture f;
    QSignalSpy optionsSpy(f.options, &QAction::triggered);
    if (setup == "disabled")
        f.options->setEnabled(false);
    else if (setup == "no-default")
        f.menu.setDefaultAction(nullptr);
    else if (setup == "detached")
        f.tray.SetPopupMenu(nullptr);
    else if (setup == "dialog") {
        f.tray.SetPopupMenu(nullptr);
        f.tray.OnDblClick = nullptr;
    }

    // A real tray reports the first click of a double click on its own.
    f.Activate(QSystemTrayIcon::Trigger);
    f.Activate(QSystemTrayIcon::DoubleClick);

    QCOMPARE(optionsSpy.count(), optionsRuns);
    QCOMPARE(f.dblClicks, dblClicks);
    QCOMPARE(f.clicks.size(), 1);
    QVERIFY(!f.menu.isVisible());

    if (setup == "dialog") {
        f.tray.SetPopupMenu(&f.menu);
        f.Activate(QSystemTrayIcon::DoubleClick);
        QCOMPARE(optionsSpy.count(), 1);
    }
}

void tst_TrayShell::pressedElsewhereIsNoClick()
{
    TFixture f;
    f.tray.HandleMessage(TTrayMouseMessage::LButtonUp, {}, QPoint(5, 5));
    f.tray.HandleMessage(TTrayMouseMessage::RButtonUp, {}, QPoint(5, 5));

    QVERIFY(f.clicks.isEmpty());
    QVERIFY(!f.menu.isVisible());

    // Taking the icon away forgets a press made on it.
    f.tray.HandleMessage(TTrayMouseMessage::LButtonDown, {}, QPoint(5, 5));
    f.tray.SetActive(false);
    f.tray.SetActive(true);
    f.tray.HandleMessage(TTrayMouseMessage::LButtonUp, {}, QPoint(5, 5));
    QVERIFY(f.clicks.isEmpty());
}

void tst_TrayShell::disabledIgnoresMessages()
{
    TFixture f;
    f.tray.SetEnabled(false);

    f.Activate(QSystemTrayIcon::Trigger);
    f.Activate(QSystemTrayIcon::Context);
    f.Activate(QSystemTrayIcon::DoubleClick);

    QVERIFY(f.clicks.isEmpty());
    QCOMPARE(f.dblClicks, 0);
    QVERIFY(!f.menu.isVisible());
}

void tst_TrayShell::handlerErrorIsShownAndHandlingGoesOn()
{
    TFixture f;
    QStringList shown;
    int ups = 0;
    f.tray.ErrorDisplay = [&](const QString& message) { shown << message; };
    f.tray.OnMouseUp = [&](TTrayIcon*, TMouseButton, TShiftState, int, int) { ++ups; };
    f.tray.OnClick = [&](TTrayIcon*, TMouseButton, TShiftState, int, int) {
        throw std::runtime_error("Access violation in tiMainClick");
    };

    f.Activate(QSystemTrayIcon::Trigger);
    QCOMPARE(shown, QStringList{"Access violation in tiMainClick"});
    QCOMPARE(ups, 0);

    f.tray.OnClick = nullptr;
    f.Activate(QSystemTrayIcon::Trigger);
    QCOMPARE(ups, 1);

    f.tray.ErrorDisplay = nullptr;
    f.tray.OnDblClick = [](TTrayIcon*) { throw std::runtime_error("double click failed"); };
    f.menu.setDefaultAction(nullptr);
    QTest::ignoreMessage(QtWarningMsg, "double click failed");
    f.Activate(QSystemTrayIcon::DoubleClick);
}

void tst_TrayShell::tipIsTheShortHintCut_data()
{
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("tip");

    const QString long80 = QString(80, QLatin1Char('x'));
    QTest::newRow("title") << "Vrel Web Camera"
                           << "Vrel Web Camera";
    QTest::newRow("long-cut-to-63") << long80 << QString(63, QLatin1Char('x'));
    QTest::newRow("short-and-long-parts") << QString("Vrel Web Camera|" + long80) << "Vrel Web Camera";
}

void tst_TrayShell::tipIsTheShortHintCut()
{
    QFETCH(QString, hint);
    QFETCH(QString, tip);
    TFixture f;

    f.tray.SetHint(hint);

    QCOMPARE(f.tray.SystemTrayIcon()->toolTip(), tip);
    QCOMPARE(f.tray.Hint(), hint);
}

void tst_TrayShell::activeRemovesAndAddsAtOnce()
{
    TFixture f;
    QVERIFY(f.tray.SystemTrayIcon()->isVisible());

    f.tray.SetActive(false);
    QVERIFY(!f.tray.SystemTrayIcon()->isVisible());
    QVERIFY(!f.tray.IsAdded());

    f.tray.SetHint(QStringLiteral("Changed while away"));
    QVERIFY(!f.tray.SystemTrayIcon()->isVisible());

    f.tray.SetActive(true);
    QVERIFY(f.tray.SystemTrayIcon()->isVisible());
    QCOMPARE(f.tray.SystemTrayIcon()->toolTip(), QStringLiteral("Changed while away"));
}

void tst_TrayShell::iconAppearsOnceItHasAPicture()
{
    TTrayIcon tray;
    QVERIFY(tray.Active());
    QVERIFY(!tray.SystemTrayIcon()->isVisible());
    QVERIFY(!tray.IsAdded());

    tray.SetHint(QStringLiteral("Vrel Web Camera"));
    QVERIFY(!tray.SystemTrayIcon()->isVisible());

    tray.SetIcon(SolidIcon(Qt::red));
    QVERIFY(tray.SystemTrayIcon()->isVisible());
    QCOMPARE(IconColour(tray.SystemTrayIcon()->icon()), QColor(Qt::red).rgb());

    tray.SetIcon(SolidIcon(Qt::blue));
    QCOMPARE(IconColour(tray.SystemTrayIcon()->icon()), QColor(Qt::blue).rgb());

    tray.SetIcon(QIcon());
    QVERIFY(!tray.SystemTrayIcon()->isVisible());
    QVERIFY(!tray.IsAdded());
}

void tst_TrayShell::animationCyclesThroughIcons()
{
    TFixture f;
    const QList<QIcon> frames = {SolidIcon(Qt::red), SolidIcon(Qt::green), SolidIcon(Qt::blue)};
    f.tray.SetIcons(frames);
    f.tray.SetInterval(30);
    QCOMPARE(f.tray.FrameIndex(), -1);

    f.tray.SetAnimated(true);
    QVERIFY(f.tray.Animated());
    QCOMPARE(f.tray.FrameIndex(), 0);
    QCOMPARE(IconColour(f.tray.SystemTrayIcon()->icon()), QColor(Qt::red).rgb());

    QTRY_COMPARE(f.tray.FrameIndex(), 2);
    QCOMPARE(IconColour(f.tray.SystemTrayIcon()->icon()), QColor(Qt::blue).rgb());
    QTRY_COMPARE(f.tray.FrameIndex(), 0);
    QCOMPARE(IconColour(f.tray.SystemTrayIcon()->icon()), QColor(Qt::red).rgb());

    f.tray.SetAnimated(false);
    QCOMPARE(f.tray.FrameIndex(), 0);
    QCOMPARE(IconColour(f.tray.SystemTrayIcon()->icon()), QColor(Qt::darkCyan).rgb());
}

void tst_TrayShell::animationNeedsIcons()
{
    TFixture f;
    f.tray.SetAnimated(true);
    QVERIFY(!f.tray.Animated());

    f.tray.SetIcons({SolidIcon(Qt::red)});
    f.tray.SetAnimated(true);
    QVERIFY(f.tray.Animated());
    QCOMPARE(IconColour(f.tray.SystemTrayIcon()->icon()), QColor(Qt::red).rgb());

    f.tray.SetIcons({});
    QVERIFY(!f.tray.Animated());
    QCOMPARE(IconColour(f.tray.SystemTrayIcon()->icon()), QColor(Qt::darkCyan).rgb());
}

void tst_TrayShell::destroyedMenuIsDetached()
{
    TTrayIcon tray;
    tray.SetIcon(SolidIcon(Qt::red));
    int clicks = 0;
    tray.OnClick = [&](TTrayIcon*, TMouseButton, TShiftState, int, int) { ++clicks; };
    {
        TBcBarPopupMenu menu;
        menu.addAction(QStringLiteral("Exit"));
        tray.SetPopupMenu(&menu);
    }
    QCOMPARE(tray.PopupMenu(), nullptr);

    tray.HandleActivation(QSystemTrayIcon::Context);
    QCOMPARE(clicks, 1);
}

void tst_TrayShell::statusNotifierCallsBecomeActivations_data()
{
    // The tray's calls in order: A Activate, S SecondaryActivate, C ContextMenu.
    QTest::addColumn<QString>("calls");
    QTest::addColumn<int>("doubleClickInterval");
    QTest::addColumn<QList<int>>("reasons");
    const int trigger = QSystemTrayIcon::Trigger;
    const int dbl = QSystemTrayIcon::DoubleClick;
    QTest::newRow("one-activate") << "A" << 400 << QList<int>{trigger};
    QTest::newRow("two-activates-are-a-double-click") << "AA" << 400 << QList<int>{trigger, dbl};
    QTest::newRow("a-third-starts-anew") << "AAA" << 400 << QList<int>{trigger, dbl, trigger};
    QTest::newRow("right-click-between")
        << "ACA" << 400 << QList<int>{trigger, QSystemTrayIcon::Context, trigger};
    QTest::newRow("middle-click") << "S" << 400 << QList<int>{QSystemTrayIcon::MiddleClick};
    QTest::newRow("double-clicks-off") << "AA" << 0 << QList<int>{trigger, trigger};
}

void tst_TrayShell::statusNotifierCallsBecomeActivations()
{
    QFETCH(QString, calls);
    QFETCH(int, doubleClickInterval);
    QFETCH(QList<int>, reasons);
    TStatusNotifierItem item;
    item.SetDoubleClickInterval(doubleClickInterval);
    QSignalSpy spy(&item, &TStatusNotifierItem::Activated);
    const QPoint at(1262, 15);
    for (QChar call : calls) {
        if (call == 'A')
            item.Activate(at);
        else if (call == 'S')
            item.SecondaryActivate(at);
        else
            item.ContextMenu(at);
    }
    QList<int> seen;
    for (const QList<QVariant>& signal : spy) {
        seen.append(signal.at(0).toInt());
        // The tray's point comes along unchanged.
        QCOMPARE(signal.at(1).toPoint(), at);
    }
    QCOMPARE(seen, reasons);
}

QTEST_MAIN(tst_TrayShell)
#include "tst_TrayShell.moc"
