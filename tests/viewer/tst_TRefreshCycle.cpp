#include "viewer/TRefreshCycle.h"

#include <QStringList>
#include <QtTest>

#include <deque>

namespace {

// Records what the cycle asks for; a download is busy from its start until the test ends it.
class TRecordingDriver : public TRefreshDriver
{
public:
    QStringList Calls;
    bool Busy = false;
    std::deque<std::function<void()>> Posted;

    bool DownloadBusy() const override { return Busy; }
    void StartDownload(const QString& url) override
    {
        Busy = true;
        Calls.append(QStringLiteral("start ") + url);
    }
    void CancelDownload() override { Calls.append(QStringLiteral("cancel")); }
    void RunTimer(int intervalMs, bool running) override
    {
        Calls.append(QStringLiteral("timer %1 %2").arg(intervalMs).arg(running ? "on" : "off"));
    }
    void Post(std::function<void()> call) override { Posted.push_back(std::move(call)); }

    void runPosted()
    {
        while (!Posted.empty()) {
            auto call = std::move(Posted.front());
            Posted.pop_front();
            call();
        }
    }
};

// The end of the running download as the window handles it: the handler re-arms the timer.
void endDownload(TRefreshCycle& cycle, TRecordingDriver& driver)
{
    cycle.DeliverEnd([&] { cycle.SetArmed(true); });
    driver.Busy = false;
}

} // namespace

class tst_TRefreshCycle : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fetchWhenIdleStartsAndRearmsAfterTheEnd_data()
    {
        QTest::addColumn<int>("minutes");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("every-two-minutes")
            << 2 << QStringList{"timer 0 off", "start cam/a.jpg", "timer 120000 off", "timer 120000 on"};
        // Manual cameras: the timer is armed, yet never runs.
        QTest::newRow("manual-only") << 0 << QStringList{"timer 0 off", "start cam/a.jpg", "timer 0 off"};
    }
    void fetchWhenIdleStartsAndRearmsAfterTheEnd()
    {
        QFETCH(int, minutes);
        QFETCH(QStringList, calls);
        TRecordingDriver driver;
        TRefreshCycle cycle(driver);
        cycle.SetArmed(true);
        driver.Calls.clear();
        cycle.Fetch(QStringLiteral("cam/a.jpg"), minutes);
        QVERIFY(!cycle.Armed());
        endDownload(cycle, driver);
        QCOMPARE(driver.Calls, calls);
        QVERIFY(cycle.Armed());
        QVERIFY(driver.Posted.empty());
    }

    void fetchDuringDownloadStartsOnlyAfterItsEnd()
    {
        TRecordingDriver driver;
        TRefreshCycle cycle(driver);
        cycle.SetArmed(true);
        cycle.Fetch(QStringLiteral("cam/a.jpg"), 1);
        driver.Calls.clear();

        cycle.Fetch(QStringLiteral("cam/b.jpg"), 5);
        QCOMPARE(driver.Calls, QStringList{"cancel"});
        // The stopped download delivers its end; the component is busy until that returns.
        bool insideEnd = false;
        cycle.DeliverEnd([&] {
            insideEnd = cycle.InEndEvent();
            cycle.SetArmed(true);
        });
        QVERIFY(insideEnd);
        QVERIFY(!cycle.InEndEvent());
        driver.Busy = false;
        QCOMPARE(driver.Calls, (QStringList{"cancel", "timer 60000 on"}));
        driver.Calls.clear();
        driver.runPosted();
        QCOMPARE(driver.Calls, (QStringList{"timer 60000 off", "start cam/b.jpg", "timer 300000 off"}));
        QVERIFY(!cycle.Armed());
    }

    void waitingFetchMeetsAnotherDownload()
    {
        TRecordingDriver driver;
        TRefreshCycle cycle(driver);
        cycle.SetArmed(true);
        cycle.Fetch(QStringLiteral("cam/a.jpg"), 1);
        cycle.Fetch(QStringLiteral("cam/b.jpg"), 1);
        cycle.DeliverEnd({});
        // Something started a download before the waiting fetch got its turn: that one is
        // stopped too, and its end brings the waiting fetch back.
        driver.Calls.clear();
        driver.runPosted();
        QCOMPARE(driver.Calls, QStringList{"cancel"});
        endDownload(cycle, driver);
        driver.Calls.clear();
        driver.runPosted();
        QCOMPARE(driver.Calls, (QStringList{"timer 60000 off", "start cam/b.jpg"}));
    }

    void closeDropsTheWaitingFetch_data()
    {
        QTest::addColumn<bool>("beforeEnd");
        QTest::newRow("closed-before-the-end") << true;
        QTest::newRow("closed-between-end-and-start") << false;
    }
    void closeDropsTheWaitingFetch()
    {
        QFETCH(bool, beforeEnd);
        TRecordingDriver driver;
        TRefreshCycle cycle(driver);
        cycle.SetArmed(true);
        cycle.Fetch(QStringLiteral("cam/a.jpg"), 1);
        cycle.Fetch(QStringLiteral("cam/b.jpg"), 1);
        if (beforeEnd)
            cycle.Close();
        cycle.DeliverEnd({});
        driver.Busy = false;
        if (!beforeEnd)
            cycle.Close();
        driver.runPosted();
        QVERIFY(!driver.Calls.contains(QStringLiteral("start cam/b.jpg")));
        QVERIFY(!cycle.Armed());
        cycle.Fetch(QStringLiteral("cam/c.jpg"), 1);
        QVERIFY(!driver.Calls.contains(QStringLiteral("start cam/c.jpg")));
    }

    void intervalChangeRestartsOnlyAnArmedTimer_data()
    {
        QTest::addColumn<bool>("armed");
        QTest::addColumn<int>("ms");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("armed-new-interval") << true << 120000 << QStringList{"timer 120000 on"};
        QTest::newRow("armed-to-manual") << true << 0 << QStringList{"timer 0 off"};
        QTest::newRow("downloading-new-interval") << false << 120000 << QStringList{"timer 120000 off"};
        QTest::newRow("armed-same-interval") << true << 60000 << QStringList{};
    }
    void intervalChangeRestartsOnlyAnArmedTimer()
    {
        QFETCH(bool, armed);
        QFETCH(int, ms);
        QFETCH(QStringList, calls);
        TRecordingDriver driver;
        TRefreshCycle cycle(driver);
        cycle.SetArmed(true);
        cycle.Fetch(QStringLiteral("cam/a.jpg"), 1);
        if (armed)
            endDownload(cycle, driver);
        driver.Calls.clear();
        cycle.SetIntervalMs(ms);
        QCOMPARE(driver.Calls, calls);
        QCOMPARE(cycle.IntervalMs(), ms);
    }
};

QTEST_GUILESS_MAIN(tst_TRefreshCycle)
#include "tst_TRefreshCycle.moc"
