#include "catalog/fUpdate.h"

#include "catalog/ExeRunner.h"
#include "catalog/TCatalogUpdate.h"
#include "lang/ApplyLanguage.h"
#include "lang/Lang.h"
#include "net/HTTPGet.h"
#include "options/fOptionsNew.h"
#include "platform/TUserPrompt.h"
#include "viewer/TTempFiles.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

int TfrmUpdateFavorites::StartDelayMs = 1500;
int TfrmUpdateFavorites::PauseMs = 3000;
int TfrmUpdateFavorites::ImportTimeoutMs = 10000;
QString TfrmUpdateFavorites::RegistryEditor;

QString MakeTempFileName()
{
    return TTempFiles::Create(QStringLiteral(".reg"));
}

TfrmUpdateFavorites::TfrmUpdateFavorites(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmUpdateFavorites"));
    setWindowTitle(QStringLiteral("Update Web Camera Catalog"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(style()->standardIcon(QStyle::SP_BrowserReload).pixmap(32, 32));
    Image1->setAlignment(Qt::AlignTop);
    Label1 =
        new QLabel(QStringLiteral("Vrel Web Camera is currently contacting Vrel Kestro Software Web site in "
                                  "order to get the latest version of our Web Cameras catalog"),
                   this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setWordWrap(true);
    lblStatus = new QLabel(QStringLiteral("Updating Progress:"), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    QFont bold = lblStatus->font();
    bold.setBold(true);
    lblStatus->setFont(bold);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setAutoDefault(false);

    HTTPGet = new THTTPGet(this);
    HTTPGet->setObjectName(QStringLiteral("HTTPGet"));
    HTTPGet->AcceptTypes = QStringLiteral("*/*");
    HTTPGet->Agent = QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
    HTTPGet->BinaryData = true;
    HTTPGet->UseCache = false;
    HTTPGet->UserName = TCatalogUpdate::UserName();
    HTTPGet->Password = TCatalogUpdate::Password();
    HTTPGet->WaitThread = false;
    // Always replaced when the window is created.
    HTTPGet->URL = QStringLiteral("info/wcfavorites.reg");
    Timer = new QTimer(this);
    Timer->setObjectName(QStringLiteral("Timer"));
    Timer->setSingleShot(true);
    lngLanguage = new TLanguage(this);
    lngLanguage->setObjectName(QStringLiteral("lngLanguage"));

    auto* text = new QHBoxLayout;
    text->addWidget(Image1);
    text->addWidget(Label1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(text);
    layout->addWidget(lblStatus);
    layout->addWidget(ProgressBar1);
    layout->addLayout(buttons);
    setFixedSize(380, 170);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    BindHandlers();
    connect(btnCancel, &QPushButton::clicked, this, [this] { HTTPGetError(btnCancel); });
    connect(Timer, &QTimer::timeout, this, &TfrmUpdateFavorites::TimerTimer);
    FormCreate();
}

TfrmUpdateFavorites::~TfrmUpdateFavorites()
{
    UnbindHandlers();
    RemoveFile();
}

void TfrmUpdateFavorites::BindHandlers()
{
    HTTPGet->OnProgress = [this](QObject* sender, qint32 total, qint32 readed) {
        HTTPGetProgress(sender, total, readed);
    };
    HTTPGet->OnDoneFile = [this](QObject* sender, const QString& name, qint32 size) {
        HTTPGetDoneFile(sender, name, size);
    };
    HTTPGet->OnError = [this](QObject* sender) { HTTPGetError(sender); };
}

void TfrmUpdateFavorites::UnbindHandlers()
{
    HTTPGet->OnProgress = nullptr;
    HTTPGet->OnDoneFile = nullptr;
    HTTPGet->OnError = nullptr;
}

void TfrmUpdateFavorites::FormCreate()
{
    HTTPGet->URL = TCatalogUpdate::CatalogAddress();
    ApplyLanguage(this);
    FAutoUpdate = true;
}

void TfrmUpdateFavorites::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void TfrmUpdateFavorites::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        if (btnCancel->isEnabled())
            btnCancel->click();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmUpdateFavorites::FormShow()
{
    Timer->start(StartDelayMs);
}

void TfrmUpdateFavorites::SetStatus(const QString& text)
{
    lblStatus->setText(QStringLiteral("Status: ") + text);
}

void TfrmUpdateFavorites::TimerTimer()
{
    Timer->stop();
    if (m_ended)
        return;
    SetStatus(QStringLiteral("Checking Version..."));

    FNewSize = 0;
    FCheckingVersion = true;
    HTTPGet->OnError = nullptr;
    HTTPGet->WaitThread = true;
    HTTPGet->FileName = MakeTempFileName();
    if (HTTPGet->FileName.isEmpty()) {
        HTTPGet->WaitThread = false;
        HTTPGetError(HTTPGet);
        return;
    }
    const QPointer<TfrmUpdateFavorites> alive = this;
    HTTPGet->StartDownload();
    if (!alive)
        return;
    if (!m_cancelled && !m_ended)
        HTTPGet->OnError = [this](QObject* sender) { HTTPGetError(sender); };
    HTTPGet->WaitThread = false;
    if (m_cancelled || m_ended)
        return;

    bool download = ProgramOptions.LastUpdateSize != FNewSize;
    if (download && !FAutoUpdate) {
        download = TUserPrompt::Confirm(this, QStringLiteral("Confirm"),
                                        QStringLiteral("Web Cameras Catalog has been updated by Vrel Kestro "
                                                       "Software.\n\rDo you want to update your Catalog?"));
        if (!alive || m_ended)
            return;
    }
    if (download) {
        FCheckingVersion = false;
        HTTPGet->StartDownload();
        return;
    }
    SetStatus(QStringLiteral("Update is not required"));
    RemoveFile();
    setEnabled(false);
    if (Pause())
        Finish(QDialog::Rejected);
}

void TfrmUpdateFavorites::HTTPGetProgress(QObject* Sender, qint32 TotalSize, qint32 Readed)
{
    Q_UNUSED(Sender);
    if (m_ended)
        return;
    if (FCheckingVersion) {
        FNewSize = TotalSize;
        HTTPGet->StopDownload();
        return;
    }
    if (TotalSize == 0)
        return;
    ProgressBar1->setValue(TCatalogUpdate::ProgressPercent(TotalSize, Readed));
    SetStatus(QString::number(ProgressBar1->value()) + QLatin1Char('%'));
}

void TfrmUpdateFavorites::HTTPGetDoneFile(QObject* Sender, const QString& FileName, qint32 FileSize)
{
    Q_UNUSED(Sender);
    // A body that completes during the size probe (an empty file) is no catalog to import.
    if (m_ended || FCheckingVersion)
        return;
    if (FileSize != FNewSize) {
        btnCancel->click();
        return;
    }
    QFile file(FileName);
    if (FileSize == 0 || !file.open(QIODevice::ReadWrite)) {
        HTTPGetError(HTTPGet);
        return;
    }
    const QByteArray content = TCatalogUpdate::WithRegeditHeader(file.readAll());
    // An error page of the server arrives like a catalog; it is no catalog to import.
    if (!TCatalogUpdate::NamesCatalogKeys(content)) {
        file.close();
        HTTPGetError(HTTPGet);
        return;
    }
    const bool written = file.resize(0) && file.write(content) == content.size();
    file.close();
    const bool imported = written && Import();
    RemoveFile();
    if (m_ended)
        return;
    if (!imported) {
        SetStatus(QStringLiteral("Import Error"));
        if (Pause())
            Finish(QDialog::Rejected);
        return;
    }
    if (Pause())
        Finish(QDialog::Accepted);
}

bool TfrmUpdateFavorites::Import()
{
    // Only the catalog tree: a catalog comes over plain HTTP and must not reach the options,
    // the favourites or the autostart entry.
    const QString program =
        RegistryEditor.isEmpty()
            ? QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("vrel-regedit"))
            : RegistryEditor;
    QProcess* editor = RunProgram(program,
                                  {QStringLiteral("import"), QStringLiteral("--only"),
                                   TCatalogUpdate::CatalogRootKey(), HTTPGet->FileName},
                                  this);
    if (!editor)
        return false;
    m_editor = editor;
    const TProgramEnd end = WaitForProgram(editor, ImportTimeoutMs);
    delete m_editor.data();
    return end == TProgramEnd::Succeeded;
}

void TfrmUpdateFavorites::HTTPGetError(QObject* Sender)
{
    if (m_ended)
        return;
    if (Sender == btnCancel) {
        m_cancelled = true;
        HTTPGet->StopDownload();
        UnbindHandlers();
        SetStatus(QStringLiteral("Aborting Download..."));
        btnCancel->setEnabled(false);
    } else {
        SetStatus(QStringLiteral("Download Error"));
    }
    RemoveFile();
    repaint();
    if (Pause())
        Finish(QDialog::Rejected);
}

bool TfrmUpdateFavorites::Pause()
{
    if (m_ended)
        return false;
    const QPointer<TfrmUpdateFavorites> alive = this;
    QEventLoop loop;
    m_pauseLoop = &loop;
    QTimer::singleShot(PauseMs, &loop, &QEventLoop::quit);
    loop.exec();
    if (!alive)
        return false;
    m_pauseLoop = nullptr;
    return !m_ended;
}

void TfrmUpdateFavorites::Finish(int result)
{
    done(result);
}

void TfrmUpdateFavorites::done(int result)
{
    if (!m_ended) {
        m_ended = true;
        Timer->stop();
        // Nothing of a transfer still running may reach the window from now on.
        UnbindHandlers();
        HTTPGet->StopDownload();
        if (m_editor)
            m_editor->kill();
        if (m_pauseLoop)
            m_pauseLoop->quit();
        if (result != QDialog::Accepted)
            RemoveFile();
    }
    QDialog::done(result);
}

void TfrmUpdateFavorites::RemoveFile()
{
    if (HTTPGet->FileName.isEmpty())
        return;
    QFile::remove(HTTPGet->FileName);
    // A stopped worker may still hold the file for a moment; it is swept again later.
    if (HTTPGet->Busy())
        TTempFiles::Abandon(HTTPGet->FileName);
}
