#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QPoint>
#include <QString>
#include <QWidget>

#include <memory>

class QAction;
class QLabel;
class QMenu;
class QTimer;
class THTTPGet;
class TMainFormServices;
class TPictureBox;
class TRefreshCycle;
class TRevalidation;
class TWebCamera;

// The window of one open camera: a frameless tool window (no taskbar entry) that downloads the
// camera's picture every UpdateInterval minutes after the previous download ended, shows it at
// the camera's scale with a status, description and time line below it, and carries the
// camera's commands in its popup menu. It owns its camera record from BindCamera on.
//
// Handlers may run while a download reports progress (each report lets pending events run), so
// a refresh or a close can arrive in the middle of a download: a refresh stops the running one,
// which ends in the error state, and starts anew once it has ended; a close stops it and lets
// nothing of it reach the window again. The picture is downloaded into memory, never into a file.
// UI thread only.
class TfrmImage : public QWidget
{
    Q_OBJECT

public:
    // mainForm rebuilds the favourites menu after an edit and takes the window off its list
    // when it closes; null: a window on its own.
    explicit TfrmImage(TMainFormServices* mainForm, QWidget* parent = nullptr);
    ~TfrmImage() override;

    // Takes the record over, shows its description and places the window at its Left/Top
    // (0 centres on that axis). Called once, before the window is shown.
    void BindCamera(std::unique_ptr<TWebCamera> camera);
    TWebCamera* Camera() const { return m_camera.get(); }

    // Applies the camera's stay-on-top state (and the tick of "Stay on top") without moving,
    // resizing or activating the window.
    void Alwaysontop1Click();

    // Starts one download of URL; minutes is the wait after it before the next (0: on request).
    // While a download runs, that one is stopped first and this one starts once it has ended.
    void FetchImage(const QString& URL, qint32 minutes);
    // Back to the placeholder picture with status "Idle" and empty description and time lines.
    void ClearImage();
    // Sizes the window around the image area and places the area and the three lines.
    void ArrangeControls();
    // Stops the running download, which then ends in the error state (or unseen after a close).
    void CancelDownload();
    // A status that stays: shown at once.
    void SetStatus(const QString& text);
    // A download's passing status ("Downloading...", its progress): shown once the download has
    // run for PassingStatusDelayMs. One that ends sooner, as a revalidation does within
    // milliseconds, would only flash it, at the cost of two repaints nobody could see.
    void SetPassingStatus(const QString& text);
    static constexpr int PassingStatusDelayMs = 100;
    void SetDescription(const QString& text);
    // Clicks the scale entry whose percentage equals the camera's Scale; none matching: nothing.
    void ApplyScale();

    // The extension (with its dot) of the last recognised picture type; ".jpg" at first.
    QString ImageExt = QStringLiteral(".jpg");
    // Every progress report stops the download until the window has handled it; a quarter of a
    // second between them keeps that cost small and the figure fresh, also during a stall.
    static constexpr int ProgressIntervalMs = 250;
    // A favourite keeps its newest picture for the next start at most this often (and on close).
    static constexpr int KeepEveryMinutes = 10;

    // Whether the refresh timer is armed. An armed timer means no download is running; with an
    // update interval of 0 it is armed but never fires.
    bool TimerArmed() const;
    // The camera sent the same picture for three of its intervals and at least 15 minutes.
    bool Frozen() const;
    // The decisions of the fetch cycle; tests set its clock.
    TRefreshCycle& RefreshCycle() { return *m_cycle; }

    TPictureBox* Image1 = nullptr;
    TPictureBox* Image2 = nullptr; // hidden; measures a picture's natural size
    QLabel* lblStatus = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblDateTime = nullptr;
    QTimer* Timer1 = nullptr;
    THTTPGet* HTTPGet1 = nullptr;

    QMenu* PopupMenu1 = nullptr;
    QAction* mnuSettings = nullptr;
    QAction* mnuAlwaysOnTop = nullptr;
    QAction* mnuRefresh = nullptr;
    QAction* Delete1 = nullptr;
    QAction* mnuScale = nullptr;
    QAction* mnuScale100 = nullptr;
    QAction* mnuScale50 = nullptr;
    QAction* mnuScale25 = nullptr;
    QAction* mnuSaveImage = nullptr;
    QAction* mnuAddVrelCatalog = nullptr;
    QAction* mnuReportInvalidCamera = nullptr;
    QAction* mnuClose = nullptr;

    void FormShow();
    void Timer1Timer();
    void HTTPGet1Progress(QObject* Sender, qint32 TotalSize, qint32 Readed);
    // Result: the body (empty after a 304).
    void HTTPGet1DoneString(QObject* Sender, QByteArray Result);
    void HTTPGet1Error(QObject* Sender);

    void mnuSettingsClick();
    void mnuAlwaysOnTopClick();
    void mnuRefreshClick();
    void Delete1Click();
    void mnuScale100Click(QAction* Sender);
    void mnuSaveImageClick();
    void mnuAddVrelCatalogClick();
    void mnuReportInvalidCameraClick();
    void mnuCloseClick();
    void FormClose();

    void setVisible(bool visible) override;

Q_SIGNALS:
    // The frozen mark came or went (the tray marks the camera's item the same way).
    void FrozenChanged(bool frozen);

protected:
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* makeLine(const QString& name, int top);
    QAction* makeAction(const QString& name, const QString& text);
    void buildMenu();
    void connectDownload();
    void startDownload(const QString& URL);
    // The camera confirmed the picture shown: it stays as it is, without a decode or a repaint.
    void pictureUnchanged();
    // Keeps the picture shown for the next start (TKeptPicture) when it has not been kept yet:
    // now, or only if KeepEveryMinutes have passed since the last time.
    void keepPicture(bool now);
    // Shows body as the new picture (validators: those it came with), or the error state when it
    // does not decode; then the lines and the timer as after every download.
    void showNewPicture(QObject* Sender, QByteArray body, const QByteArray& etag,
                        const QByteArray& lastModified);
    // The time line and the frozen mark as the refresh cycle sees the picture's freshness.
    void showFreshness();
    void placeWindow();
    QPoint currentPlace();
    void setImageAreaSize(const QSize& size);
    // The size of the area all screens together offer to windows; invalid without a screen.
    static QSize screensRoom();
    // Hands freed heap pages back to the system when the frame shown now is smaller than the one
    // it replaced (of framesBefore bytes); a frame of the same size reuses the freed block.
    void releaseFreedMemory(qsizetype frameBytesBefore) const;
    // Records text as the status, and traces it when it is new.
    void recordStatus(const QString& text);

    TMainFormServices* m_mainForm = nullptr;
    std::unique_ptr<TWebCamera> m_camera;
    // Where the window was put; trusted over what the window system reports until it has settled.
    QPoint m_place;
    QElapsedTimer m_sinceShown;
    // The status as last set; the status line shows it, a passing one after a moment.
    QString m_statusText;
    QTimer* m_passingStatusDelay = nullptr;
    bool m_passingShown = false;
    bool m_shown = false;
    bool m_closed = false;
    bool m_frozenShown = false;
    // A favourite's picture of the last run, asked about but not shown yet (placeholder meanwhile).
    QByteArray m_keptBody;
    // When the picture was last kept for the next start, and whether a newer one waits for that.
    QDateTime m_keptAt;
    bool m_keptPending = false;

    class TCycleDriver;
    std::unique_ptr<TCycleDriver> m_cycleDriver;
    std::unique_ptr<TRefreshCycle> m_cycle;
    std::unique_ptr<TRevalidation> m_revalidation;
};
