#pragma once

#include <QDialog>
#include <QPointer>

class QEventLoop;
class QLabel;
class QProcess;
class QProgressBar;
class QPushButton;
class QTimer;
class THTTPGet;
class TLanguage;

// "Update Web Camera Catalog": probes the catalog's size, downloads it when the size differs
// from the one of the last import (asking first unless FAutoUpdate), and imports it below the
// catalog key with the registry editor. Ends with Accepted exactly when the catalog was
// imported; FNewSize then holds its size. Every other end (unchanged, declined, a download or
// import error, Cancel, the close box, the main form cancelling its dialogs) is Rejected, and the
// temporary file is removed. Once the window has ended no event of a transfer reaches it.
class TfrmUpdateFavorites : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmUpdateFavorites(QWidget* parent = nullptr);
    ~TfrmUpdateFavorites() override;

    // Milliseconds from showing to the size probe, and of the pause before the window closes.
    // Tests shorten them; the program never changes them.
    static int StartDelayMs;
    static int PauseMs;
    // Longest wait for the registry editor, in milliseconds; it is ended after that.
    static int ImportTimeoutMs;
    // The registry editor run for the import; empty: vrel-regedit beside the executable.
    static QString RegistryEditor;

    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* lblStatus = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* btnCancel = nullptr;
    THTTPGet* HTTPGet = nullptr;
    QTimer* Timer = nullptr;
    TLanguage* lngLanguage = nullptr;

    bool FCheckingVersion = false;
    qint32 FNewSize = 0;
    bool FAutoUpdate = true;

    void FormCreate();
    void FormShow();
    void TimerTimer();
    void HTTPGetProgress(QObject* Sender, qint32 TotalSize, qint32 Readed);
    void HTTPGetDoneFile(QObject* Sender, const QString& FileName, qint32 FileSize);
    void HTTPGetError(QObject* Sender);

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    // Escape presses Cancel, as the window's cancel button.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void SetStatus(const QString& text);
    void BindHandlers();
    void UnbindHandlers();
    // Waits, dispatching events; false when the window has ended meanwhile.
    bool Pause();
    void Finish(int result);
    void RemoveFile();
    bool Import();

    bool m_shown = false;
    bool m_ended = false;
    QEventLoop* m_pauseLoop = nullptr;
    bool m_cancelled = false;
    QPointer<QProcess> m_editor;
};

// MakeTempFileName: a fresh, empty, private temporary file for the catalog; empty on failure.
QString MakeTempFileName();
