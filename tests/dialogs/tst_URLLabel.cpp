#include "dialogs/CursorRegistry.h"
#include "dialogs/URLLabel.h"
#include "platform/TShell.h"
#include "platform/TUserPrompt.h"

#include <QEnterEvent>
#include <QGuiApplication>
#include <QtTest>

namespace {

const QColor Navy(0, 0, 128);
const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);

void enter(QWidget* w)
{
    QEnterEvent event(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QCoreApplication::sendEvent(w, &event);
}

void leave(QWidget* w)
{
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(w, &event);
}

} // namespace

class tst_URLLabel : public QObject
{
    Q_OBJECT

    QStringList m_opened;
    bool m_openResult = true;
    QStringList m_prompts;

private Q_SLOTS:
    void initTestCase()
    {
        TShell::setLauncher([this](const QString& address) {
            m_opened << address;
            return m_openResult;
        });
        TUserPrompt::setResponder([this](const TUserPrompt::TRequest& request) {
            m_prompts << request.Text;
            return QString("ok");
        });
    }
    void init()
    {
        m_opened.clear();
        m_prompts.clear();
        m_openResult = true;
    }

    void newLabelLooksLikeALink()
    {
        TURLLabel label;
        QVERIFY(label.font().underline());
        QCOMPARE(label.FontColor(), Navy);
        QCOMPARE(label.HoverColor, Red);
        QCOMPARE(label.VisitColor, Blue);
        QVERIFY(label.ShowHover);
        QVERIFY(!label.Visited());
        QCOMPARE(label.CursorId(), 256);
        QCOMPARE(label.cursor().shape(), Qt::PointingHandCursor);
    }

    void hoverFollowsShowHover_data()
    {
        QTest::addColumn<bool>("showHover");
        QTest::addColumn<QColor>("hovered");
        QTest::newRow("on") << true << Red;
        QTest::newRow("off-stays-navy") << false << Navy;
    }
    void hoverFollowsShowHover()
    {
        QFETCH(bool, showHover);
        QFETCH(QColor, hovered);
        TURLLabel label;
        label.ShowHover = showHover;
        enter(&label);
        QCOMPARE(label.FontColor(), hovered);
        leave(&label);
        QCOMPARE(label.FontColor(), Navy);
    }

    // After a successful open the colour turns to VisitColor only at the next leave or press.
    void visitedColourComesLater_data()
    {
        QTest::addColumn<QString>("then");
        QTest::newRow("leave") << "leave";
        QTest::newRow("press") << "press";
    }
    void visitedColourComesLater()
    {
        QFETCH(QString, then);
        TURLLabel label;
        label.resize(100, 20);
        label.URL = "http://maker.test";
        QSignalSpy clicked(&label, &TURLLabel::clicked);
        enter(&label);
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(m_opened, QStringList{"http://maker.test"});
        QCOMPARE(clicked.count(), 1);
        QVERIFY(label.Visited());
        // The press of the click set the resting colour of a link not yet visited.
        QCOMPARE(label.FontColor(), Navy);
        if (then == "leave")
            leave(&label);
        else
            QTest::mousePress(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(label.FontColor(), Blue);
    }

    void failedOpen_data()
    {
        QTest::addColumn<bool>("handler");
        QTest::addColumn<QStringList>("prompts");
        QTest::addColumn<int>("handled");
        QTest::newRow("error-box")
            << false << QStringList{"Can't open web-site. May be you have no default browser installed"} << 0;
        QTest::newRow("handler-instead") << true << QStringList{} << 1;
    }
    void failedOpen()
    {
        QFETCH(bool, handler);
        QFETCH(QStringList, prompts);
        QFETCH(int, handled);
        TURLLabel label;
        label.resize(100, 20);
        label.URL = "http://maker.test";
        m_openResult = false;
        int calls = 0;
        if (handler)
            label.OnOpenFailed = [&](TURLLabel* sender) { calls += sender == &label ? 1 : 100; };
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(m_prompts, prompts);
        QCOMPARE(calls, handled);
        QVERIFY(!label.Visited());
    }

    void emptyURLOpensNothing()
    {
        TURLLabel label;
        label.resize(100, 20);
        QSignalSpy clicked(&label, &TURLLabel::clicked);
        QTest::mouseClick(&label, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(clicked.count(), 1);
        QVERIFY(m_opened.isEmpty());
    }

    // The program's cursors come first; a name registered again keeps its id and first cursor.
    void cursorRegistry()
    {
        QCOMPARE(CursorRegistry::RegisterCursor("URLHand", QCursor(Qt::CrossCursor)), 256);
        QCOMPARE(CursorRegistry::RegisterCursor("URLHand", QCursor(Qt::IBeamCursor)), 256);
        QCOMPARE(CursorRegistry::Cursor(256).shape(), Qt::PointingHandCursor);
        QCOMPARE(CursorRegistry::RegisterCursor("OleDragLink", QCursor(Qt::CrossCursor)), 259);
        QCOMPARE(CursorRegistry::RegisterCursor("Mine", QCursor(Qt::CrossCursor)), 260);
        QCOMPARE(CursorRegistry::Cursor(260).shape(), Qt::CrossCursor);
        QCOMPARE(CursorRegistry::Cursor(999).shape(), Qt::ArrowCursor);
    }

    void nestedWaitCursorRestoresAtTheOuterEnd()
    {
        QGuiApplication::setOverrideCursor(QCursor(Qt::SizeAllCursor));
        CursorRegistry::BeginWaitCursor();
        CursorRegistry::BeginWaitCursor();
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        CursorRegistry::EndWaitCursor();
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        CursorRegistry::EndWaitCursor();
        QCOMPARE(QGuiApplication::overrideCursor()->shape(), Qt::SizeAllCursor);
        QGuiApplication::restoreOverrideCursor();
        QCOMPARE(CursorRegistry::WaitCursorDepth(), 0);
    }

    void shellOpenTakesRelativeFilesInTheFolder()
    {
        QVERIFY(ShellOpen("Readme.txt", QString(), "/opt/vrel"));
        QVERIFY(ShellOpen("mailto:help@maker.test", QString(), "/opt/vrel"));
        m_openResult = false;
        QVERIFY(!ShellOpen("http://maker.test/faq.html"));
        QCOMPARE(m_opened, (QStringList{"/opt/vrel/Readme.txt", "mailto:help@maker.test",
                                        "http://maker.test/faq.html"}));
        QCOMPARE(CursorRegistry::WaitCursorDepth(), 0);
    }
};

QTEST_MAIN(tst_URLLabel)
#include "tst_URLLabel.moc"
