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

    // The picture shown at 14:05; then refreshes that find it unchanged, minutes after 14:05.
    void freshnessFollowsUnchangedRefreshes_data()
    {
        QTest::addColumn<int>("intervalMinutes");
        QTest::addColumn<QList<int>>("unchangedAt");
        QTest::addColumn<bool>("frozen");
        QTest::addColumn<QString>("timeLine");
        QTest::newRow("one-unchanged-shows-the-time") << 5 << QList<int>{5} << false << "7 Dec 2026 14:10:00";
        QTest::newRow("two-unchanged-say-since-when")
            << 5 << QList<int>{5, 10} << false << "unchanged since 14:05";
        QTest::newRow("three-intervals-and-15-minutes")
            << 5 << QList<int>{5, 10, 15} << true << "frozen since 14:05";
        // Three refreshes a minute apart are not 15 minutes yet.
        QTest::newRow("every-minute-three-times")
            << 1 << QList<int>{1, 2, 3} << false << "unchanged since 14:05";
        QTest::newRow("every-minute-past-15") << 1 << QList<int>{1, 2, 15} << true << "frozen since 14:05";
        // 29 minutes are less than three intervals of ten.
        QTest::newRow("every-ten-minutes-29")
            << 10 << QList<int>{10, 20, 29} << false << "unchanged since 14:05";
        QTest::newRow("every-ten-minutes-30") << 10 << QList<int>{10, 20, 30} << true << "frozen since 14:05";
        QTest::newRow("manual-camera-never-frozen")
            << 0 << QList<int>{60, 120, 180, 240} << false << "unchanged since 14:05";
        QTest::newRow("unchanged-since-yesterday")
            << 60 << QList<int>{600, 1200} << false << "unchanged since 7 Dec";
    }
    void freshnessFollowsUnchangedRefreshes()
    {
        QFETCH(int, intervalMinutes);
        QFETCH(QList<int>, unchangedAt);
        QFETCH(bool, frozen);
        QFETCH(QString, timeLine);
        TRecordingDriver driver;
        const QDateTime shownAt(QDate(2026, 12, 7), QTime(14, 5));
        QDateTime now = shownAt;
        TRefreshCycle cycle(driver, [&now] { return now; });
        cycle.SetIntervalMs(intervalMinutes * 60000);
        cycle.PictureChanged();
        for (const int minutes : unchangedAt) {
            now = shownAt.addSecs(minutes * 60);
            cycle.PictureUnchanged();
        }
        QCOMPARE(cycle.UnchangedRefreshes(), unchangedAt.size());
        QCOMPARE(cycle.Frozen(), frozen);
        QCOMPARE(cycle.TimeLine(QLocale::c()), timeLine);
    }

    void newPictureOrPlaceholderEndsTheFreeze()
    {
        TRecordingDriver driver;
        QDateTime now(QDate(2026, 12, 7), QTime(14, 5));
        TRefreshCycle cycle(driver, [&now] { return now; });
        cycle.SetIntervalMs(5 * 60000);
        cycle.PictureChanged();
        for (int i = 0; i < 3; ++i) {
            now = now.addSecs(300);
            cycle.PictureUnchanged();
        }
        QVERIFY(cycle.Frozen());
        // Switched to refresh on request only: no longer watched, so never frozen.
        cycle.SetIntervalMs(0);
        QVERIFY(!cycle.Frozen());
        cycle.SetIntervalMs(5 * 60000);
        QVERIFY(cycle.Frozen());
        now = now.addSecs(300);
        cycle.PictureChanged();
        QVERIFY(!cycle.Frozen());
        QCOMPARE(cycle.TimeLine(QLocale::c()), QStringLiteral("7 Dec 2026 14:25:00"));
        cycle.PictureUnchanged();
        cycle.PictureGone();
        QCOMPARE(cycle.UnchangedRefreshes(), 0);
        QCOMPARE(cycle.TimeLine(QLocale::c()), QString());
    }
};

QTEST_GUILESS_MAIN(tst_TRefreshCycle)
#include "tst_TRefreshCycle.moc"
