#include "widgets/TTrayMessageRules.h"
#include "widgets/TrayIconRules.h"

#include <QStringList>
#include <QtTest>

#include <stdexcept>

using Messages = QList<TTrayMouseMessage>;

namespace {

QString ButtonName(TMouseButton button)
{
    switch (button) {
    case TMouseButton::mbLeft:
        return QStringLiteral("L");
    case TMouseButton::mbRight:
        return QStringLiteral("R");
    case TMouseButton::mbMiddle:
        return QStringLiteral("M");
    }
    return QStringLiteral("?");
}

QString ShiftName(TShiftState shift)
{
    QStringList parts;
    const std::pair<TShiftFlag, const char*> names[] = {
        {TShiftFlag::ssShift, "shift"},  {TShiftFlag::ssAlt, "alt"},     {TShiftFlag::ssCtrl, "ctrl"},
        {TShiftFlag::ssLeft, "left"},    {TShiftFlag::ssRight, "right"}, {TShiftFlag::ssMiddle, "middle"},
        {TShiftFlag::ssDouble, "double"}};
    for (const auto& [flag, name] : names)
        if (shift.testFlag(flag))
            parts << QLatin1String(name);
    return parts.join(QLatin1Char('+'));
}

// Records every action as one line, e.g. "click R right" or "down L double".
struct TRecorder
{
    QStringList log;
    QPoint lastPos;

    TTrayMessageRules::TActions Actions()
    {
        const auto buttonEvent = [this](const char* what) {
            return [this, what](TMouseButton button, TShiftState shift, QPoint pos) {
                lastPos = pos;
                log << QStringLiteral("%1 %2 %3")
                           .arg(QLatin1String(what), ButtonName(button), ShiftName(shift));
            };
        };
        TTrayMessageRules::TActions actions;
        actions.MouseMove = [this](TShiftState shift, QPoint pos) {
            lastPos = pos;
            log << QStringLiteral("move %1").arg(ShiftName(shift));
        };
        actions.MouseDown = buttonEvent("down");
        actions.MouseUp = buttonEvent("up");
        actions.Click = buttonEvent("click");
        actions.DblClick = [this] { log << QStringLiteral("dblclick"); };
        return actions;
    }
};

} // namespace

class tst_TTrayMessageRules : public QObject
{
    Q_OBJECT

private slots:
    void messageSequences_data();
    void messageSequences();
    void keysAndPositionPassThrough();
    void throwingClickLeavesNoMark();
    void clearPressedForgetsAButtonDown();
    void activationMessages_data();
    void activationMessages();
    void tipText_data();
    void tipText();
    void frameIndexes();
    void menuPointLeavesThePanel_data();
    void menuPointLeavesThePanel();
};

void tst_TTrayMessageRules::messageSequences_data()
{
    using M = TTrayMouseMessage;
    QTest::addColumn<Messages>("messages");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("left-click") << Messages{M::LButtonDown, M::LButtonUp}
                                << QStringList{"down L left", "click L left", "up L left"};
    QTest::newRow("right-click") << Messages{M::RButtonDown, M::RButtonUp}
                                 << QStringList{"down R right", "click R right", "up R right"};
    QTest::newRow("pressed-elsewhere-released-here") << Messages{M::LButtonUp} << QStringList{"up L left"};
    QTest::newRow("right-pressed-left-released")
        << Messages{M::RButtonDown, M::LButtonUp} << QStringList{"down R right", "up L left"};
    QTest::newRow("second-release-no-second-click")
        << Messages{M::LButtonDown, M::LButtonUp, M::LButtonUp}
        << QStringList{"down L left", "click L left", "up L left", "up L left"};
    QTest::newRow("double-click") << Messages{M::LButtonDown, M::LButtonUp, M::LButtonDblClk, M::LButtonUp}
                                  << QStringList{"down L left", "click L left",  "up L left",
                                                 "dblclick",    "down L double", "up L left"};
    QTest::newRow("right-double-click-is-no-dblclick")
        << Messages{M::RButtonDblClk, M::RButtonUp} << QStringList{"down R double", "up R right"};
    QTest::newRow("middle-never-clicks") << Messages{M::MButtonDown, M::MButtonUp, M::MButtonDblClk}
                                         << QStringList{"down M middle", "up M middle", "down M double"};
    QTest::newRow("move") << Messages{M::MouseMove} << QStringList{"move "};
}

void tst_TTrayMessageRules::messageSequences()
{
    QFETCH(Messages, messages);
    QFETCH(QStringList, expected);

    TRecorder recorder;
    TTrayMessageRules rules(recorder.Actions());
    for (TTrayMouseMessage message : messages)
        rules.Handle(message, {}, QPoint(10, 20));

    QCOMPARE(recorder.log, expected);
}

void tst_TTrayMessageRules::keysAndPositionPassThrough()
{
    TRecorder recorder;
    TTrayMessageRules rules(recorder.Actions());
    const TShiftState keys = TShiftFlag::ssShift | TShiftFlag::ssCtrl;

    rules.Handle(TTrayMouseMessage::RButtonDown, keys, QPoint(640, 790));
    rules.Handle(TTrayMouseMessage::RButtonUp, keys, QPoint(641, 791));

    QCOMPARE(recorder.log,
             (QStringList{"down R shift+ctrl+right", "click R shift+ctrl+right", "up R shift+ctrl+right"}));
    QCOMPARE(recorder.lastPos, QPoint(641, 791));
}

void tst_TTrayMessageRules::throwingClickLeavesNoMark()
{
    TRecorder recorder;
    TTrayMessageRules::TActions actions = recorder.Actions();
    actions.Click = [](TMouseButton, TShiftState, QPoint) { throw std::runtime_error("handler failed"); };
    TTrayMessageRules rules(actions);

    rules.Handle(TTrayMouseMessage::LButtonDown, {}, QPoint());
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, rules.Handle(TTrayMouseMessage::LButtonUp, {}, QPoint()));

    QVERIFY(!rules.LeftPressed());
    rules.Handle(TTrayMouseMessage::LButtonUp, {}, QPoint());
    QCOMPARE(recorder.log, (QStringList{"down L left", "up L left"}));
}

void tst_TTrayMessageRules::clearPressedForgetsAButtonDown()
{
    TRecorder recorder;
    TTrayMessageRules rules(recorder.Actions());

    rules.Handle(TTrayMouseMessage::RButtonDown, {}, QPoint());
    QVERIFY(rules.RightPressed());
    rules.ClearPressed();
    rules.Handle(TTrayMouseMessage::RButtonUp, {}, QPoint());

    QVERIFY(!recorder.log.contains("click R right"));
}

void tst_TTrayMessageRules::activationMessages_data()
{
    using M = TTrayMouseMessage;
    QTest::addColumn<TTrayActivation>("activation");
    QTest::addColumn<Messages>("expected");

    QTest::newRow("trigger") << TTrayActivation::Trigger << Messages{M::LButtonDown, M::LButtonUp};
    QTest::newRow("double-click") << TTrayActivation::DoubleClick << Messages{M::LButtonDblClk};
    QTest::newRow("context") << TTrayActivation::Context << Messages{M::RButtonDown, M::RButtonUp};
    QTest::newRow("middle-click") << TTrayActivation::MiddleClick << Messages{M::MButtonDown, M::MButtonUp};
    QTest::newRow("unknown") << TTrayActivation::Unknown << Messages{};
}

void tst_TTrayMessageRules::activationMessages()
{
    QFETCH(TTrayActivation, activation);
    QFETCH(Messages, expected);
    QCOMPARE(MessagesForActivation(activation), expected);
}

void tst_TTrayMessageRules::tipText_data()
{
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("expected");

    const QString long70 = QString(70, QLatin1Char('a'));
    QTest::newRow("plain") << "Vrel Web Camera"
                           << "Vrel Web Camera";
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("short-part-only") << QString("Vrel Web Camera|" + long70) << "Vrel Web Camera";
    QTest::newRow("long-cut-to-63") << long70 << QString(63, QLatin1Char('a'));
    QTest::newRow("exactly-63-kept") << QString(63, QLatin1Char('b')) << QString(63, QLatin1Char('b'));
    QTest::newRow("long-short-part-cut") << QString(long70 + "|tail") << QString(63, QLatin1Char('a'));
    QTest::newRow("bar-first-gives-empty") << "|long part" << QString();
    // A character outside the basic plane must not be split into half a surrogate pair.
    QTest::newRow("surrogate-pair-at-cut")
        << QString(QString(62, QLatin1Char('c')) + QString::fromUtf8("\xF0\x9F\x93\xB7"))
        << QString(62, QLatin1Char('c'));
}

void tst_TTrayMessageRules::tipText()
{
    QFETCH(QString, hint);
    QFETCH(QString, expected);
    QCOMPARE(TrayTipText(hint), expected);
}

void tst_TTrayMessageRules::frameIndexes()
{
    QCOMPARE(ClampFrameIndex(-1, 3), 0);
    QCOMPARE(ClampFrameIndex(1, 3), 1);
    QCOMPARE(ClampFrameIndex(7, 3), 2);
    QCOMPARE(NextFrameIndex(-1, 3), 0);
    QCOMPARE(NextFrameIndex(0, 3), 1);
    QCOMPARE(NextFrameIndex(2, 3), 0);
    QCOMPARE(NextFrameIndex(0, 1), 0);
}

void tst_TTrayMessageRules::menuPointLeavesThePanel_data()
{
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("menu");
    const QRect screen(0, 0, 1280, 800);
    QTest::newRow("top-bar-unknown") << QPoint(1262, 15) << screen << QPoint(1262, 30);
    QTest::newRow("bottom-bar-unknown") << QPoint(1262, 785) << screen << QPoint(1262, 771);
    QTest::newRow("left-bar-unknown") << QPoint(12, 400) << screen << QPoint(24, 400);
    QTest::newRow("right-bar-unknown") << QPoint(1267, 400) << screen << QPoint(1255, 400);
    QTest::newRow("far-from-any-edge") << QPoint(640, 400) << screen << QPoint(640, 400);
    QTest::newRow("just-outside-the-band") << QPoint(640, 64) << screen << QPoint(640, 64);
    QTest::newRow("top-panel-known") << QPoint(1262, 15) << QRect(0, 40, 1280, 760) << QPoint(1262, 40);
    QTest::newRow("bottom-panel-known") << QPoint(30, 790) << QRect(0, 0, 1280, 770) << QPoint(30, 769);
    QTest::newRow("inside-free-part") << QPoint(300, 300) << QRect(0, 40, 1280, 760) << QPoint(300, 300);
}

void tst_TTrayMessageRules::menuPointLeavesThePanel()
{
    QFETCH(QPoint, at);
    QFETCH(QRect, available);
    QFETCH(QPoint, menu);
    QCOMPARE(TrayMenuPoint(at, QRect(0, 0, 1280, 800), available), menu);
}

QTEST_GUILESS_MAIN(tst_TTrayMessageRules)
#include "tst_TTrayMessageRules.moc"
