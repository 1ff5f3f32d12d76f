#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <functional>

// What the refresh cycle asks of the window that shows the camera: the download component, the
// refresh timer and the event loop. UI thread only.
class TRefreshDriver
{
public:
    virtual ~TRefreshDriver() = default;

    // Whether the download component has a worker attached.
    virtual bool DownloadBusy() const = 0;
    // Starts one download of url (fresh file, referring page, status "Downloading...").
    virtual void StartDownload(const QString& url) = 0;
    // Stops the running download and deletes its file.
    virtual void CancelDownload() = 0;
    // The refresh timer's interval becomes intervalMs; running: it counts anew from now, else it
    // is stopped.
    virtual void RunTimer(int intervalMs, bool running) = 0;
    // Runs call on a later turn of the event loop, unless the window has gone by then.
    virtual void Post(std::function<void()> call) = 0;
};

// When a camera window fetches its picture: the timer is armed exactly while no download runs,
// the next download starts the camera's interval after the previous one ended, and a fetch asked
// for while a download still runs stops that one and starts once its end has been delivered.
// The clock is the window's idea of now; tests set it to the second that matters. UI thread only.
class TRefreshCycle
{
public:
    using TClock = std::function<QDateTime()>;

    // driver must outlive the cycle. An empty clock reads the system's.
    explicit TRefreshCycle(TRefreshDriver& driver, TClock clock = {});
    TRefreshCycle(const TRefreshCycle&) = delete;
    TRefreshCycle& operator=(const TRefreshCycle&) = delete;

    // One download of url; minutes is the wait after it before the next (0: on request only).
    // While a download runs (the timer is not armed), that one is cancelled first and this one
    // starts once the cancelled one has delivered its end.
    void Fetch(const QString& url, qint32 minutes);

    // Runs the download's end event handler; a fetch that waited for this end starts on the
    // next turn of the event loop (the component counts as busy until the handler has returned).
    void DeliverEnd(const std::function<void()>& handler);
    // Inside DeliverEnd's handler.
    bool InEndEvent() const { return m_inEndEvent; }

    // An armed timer means no download is running; with an interval of 0 it never fires.
    void SetArmed(bool armed);
    bool Armed() const { return m_armed; }
    // A running timer starts counting anew with a changed interval; 0 stops it.
    void SetIntervalMs(int ms);
    int IntervalMs() const { return m_intervalMs; }

    // The window has closed: a waiting fetch is dropped, the timer disarmed, nothing starts.
    void Close();
    bool Closed() const { return m_closed; }

    QDateTime Now() const;
    void SetClock(TClock clock) { m_clock = std::move(clock); }

    // Freshness of the picture shown, as the refreshes find it. A new picture is shown now:
    void PictureChanged();
    // A refresh found the shown picture unchanged (a 304 or the same bytes again):
    void PictureUnchanged();
    // The placeholder is shown:
    void PictureGone();
    // Refreshes in a row that found the picture unchanged since it was first shown.
    int UnchangedRefreshes() const { return m_unchanged; }
    // Unchanged for at least three refreshes, three intervals and FrozenMinutes, as the last
    // refresh found it. A camera refreshed on request only (interval 0) is never frozen.
    bool Frozen() const;
    static constexpr int FrozenMinutes = 15;
    // The time line: when the last answer came (the user's short date and long time); from the
    // second unchanged refresh on "unchanged since 14:05" instead, "frozen since 14:05" once
    // frozen (the date instead of the time when that was another day). 24 characters at most,
    // so it fits the narrowest window.
    QString TimeLine(const QLocale& locale = QLocale()) const;

private:
    void startDownload(const QString& url, qint32 minutes);
    void resumePendingFetch();

    TRefreshDriver& m_driver;
    TClock m_clock;
    bool m_armed = false;
    int m_intervalMs = 0;
    bool m_inEndEvent = false;
    bool m_closed = false;

    // A fetch asked for while a download was still running: started once that one has ended.
    bool m_hasPendingFetch = false;
    QString m_pendingURL;
    qint32 m_pendingMinutes = 0;

    QDateTime m_changedAt;  // when the picture shown was first shown; invalid: placeholder
    QDateTime m_answeredAt; // when the last refresh answered
    int m_unchanged = 0;
    bool m_frozen = false;
};
