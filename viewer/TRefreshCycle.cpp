#include "viewer/TRefreshCycle.h"

#include "viewer/TFetchRules.h"

TRefreshCycle::TRefreshCycle(TRefreshDriver& driver, TClock clock)
    : m_driver(driver), m_clock(std::move(clock))
{
}

QDateTime TRefreshCycle::Now() const
{
    return m_clock ? m_clock() : QDateTime::currentDateTime();
}

void TRefreshCycle::Fetch(const QString& url, qint32 minutes)
{
    if (m_closed)
        return;
    const bool wasArmed = m_armed;
    SetArmed(false);
    if (!wasArmed && m_driver.DownloadBusy()) {
        // Its end (error or done) re-arms the timer and starts this fetch after it.
        m_driver.CancelDownload();
        m_hasPendingFetch = true;
        m_pendingURL = url;
        m_pendingMinutes = minutes;
        return;
    }
    startDownload(url, minutes);
}

void TRefreshCycle::startDownload(const QString& url, qint32 minutes)
{
    m_hasPendingFetch = false;
    SetArmed(false);
    m_driver.StartDownload(url);
    SetIntervalMs(TFetchRules::TimerIntervalMs(minutes));
}

void TRefreshCycle::DeliverEnd(const std::function<void()>& handler)
{
    m_inEndEvent = true;
    if (handler)
        handler();
    m_inEndEvent = false;
    resumePendingFetch();
}

void TRefreshCycle::resumePendingFetch()
{
    if (!m_hasPendingFetch || m_closed)
        return;
    m_driver.Post([this] {
        if (!m_hasPendingFetch || m_closed)
            return;
        if (m_driver.DownloadBusy()) {
            // Still another download: its end comes back here.
            m_driver.CancelDownload();
            return;
        }
        startDownload(m_pendingURL, m_pendingMinutes);
    });
}

void TRefreshCycle::SetArmed(bool armed)
{
    if (armed == m_armed)
        return;
    m_armed = armed;
    m_driver.RunTimer(m_intervalMs, armed && m_intervalMs > 0);
}

void TRefreshCycle::SetIntervalMs(int ms)
{
    if (ms == m_intervalMs)
        return;
    m_intervalMs = ms;
    m_driver.RunTimer(ms, m_armed && ms > 0);
}

void TRefreshCycle::Close()
{
    m_closed = true;
    m_hasPendingFetch = false;
    SetArmed(false);
}

void TRefreshCycle::PictureChanged()
{
    m_changedAt = m_answeredAt = Now();
    m_unchanged = 0;
    m_frozen = false;
}

void TRefreshCycle::PictureUnchanged()
{
    m_answeredAt = Now();
    if (!m_changedAt.isValid())
        m_changedAt = m_answeredAt;
    ++m_unchanged;
    const qint64 unchangedMs = m_changedAt.msecsTo(m_answeredAt);
    m_frozen = m_intervalMs > 0 && m_unchanged >= 3 && unchangedMs >= qint64(3) * m_intervalMs &&
               unchangedMs >= qint64(FrozenMinutes) * 60 * 1000;
}

void TRefreshCycle::PictureGone()
{
    m_changedAt = m_answeredAt = QDateTime();
    m_unchanged = 0;
    m_frozen = false;
}

bool TRefreshCycle::Frozen() const
{
    // The interval may have become 0 since (the settings dialog).
    return m_frozen && m_intervalMs > 0;
}

QString TRefreshCycle::TimeLine(const QLocale& locale) const
{
    if (!m_answeredAt.isValid())
        return QString();
    if (m_unchanged < 2)
        return TFetchRules::DateTimeText(m_answeredAt, locale);
    const QString since = m_changedAt.date() == m_answeredAt.date()
                              ? m_changedAt.time().toString(QStringLiteral("HH:mm"))
                              : locale.toString(m_changedAt.date(), QStringLiteral("d MMM"));
    return (Frozen() ? QStringLiteral("frozen since ") : QStringLiteral("unchanged since ")) + since;
}
