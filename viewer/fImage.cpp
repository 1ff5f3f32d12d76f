#include "viewer/fImage.h"

#include "camera/TMainFormServices.h"
#include "camera/TSpinEdit.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "net/HTTPGet.h"
#include "platform/TMakerSite.h"
#include "platform/TShell.h"
#include "platform/TTrace.h"
#include "platform/TUserPrompt.h"
#include "viewer/TFetchRules.h"
#include "viewer/TKeptPicture.h"
#include "viewer/TMakerMail.h"
#include "viewer/TPicture.h"
#include "viewer/TPictureBox.h"
#include "viewer/TRefreshCycle.h"
#include "viewer/TRevalidation.h"
#include "viewer/TWindowLayout.h"
#include "viewer/TWindowPosition.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QScreen>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// One drag at a time for all camera windows: the left button is held since a press at Point
// (in the pressed window's coordinates).
struct TDragState
{
    bool Down = false;
    QPoint Point;
};

TDragState& dragState()
{
    static TDragState state;
    return state;
}

const QString SaveFilter = QStringLiteral("All (*.gif;*.jpg;*.bmp)|*.gif;*.jpg;*.bmp|GIF Image (*.gif)|*.gif|"
                                          "JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp");

} // namespace

// The window's download component, timer and event loop as the refresh cycle drives them.
class TfrmImage::TCycleDriver final : public TRefreshDriver
{
public:
    explicit TCycleDriver(TfrmImage& window) : m_window(window) {}

    bool DownloadBusy() const override { return m_window.HTTPGet1->Busy(); }
    void StartDownload(const QString& url) override { m_window.startDownload(url); }
    void CancelDownload() override { m_window.CancelDownload(); }
    void RunTimer(int intervalMs, bool running) override
    {
        m_window.Timer1->setInterval(intervalMs);
        if (running)
            m_window.Timer1->start();
        else
            m_window.Timer1->stop();
    }
    void Post(std::function<void()> call) override
    {
        QMetaObject::invokeMethod(&m_window, std::move(call), Qt::QueuedConnection);
    }

private:
    TfrmImage& m_window;
};

TfrmImage::TfrmImage(TMainFormServices* mainForm, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_mainForm(mainForm),
      m_cycleDriver(std::make_unique<TCycleDriver>(*this)),
      m_cycle(std::make_unique<TRefreshCycle>(*m_cycleDriver)),
      m_revalidation(std::make_unique<TRevalidation>())
{
    setObjectName(QStringLiteral("frmImage"));
    m_place = pos();
    setMinimumWidth(TWindowLayout::MinimumWidth);
    resize(375, 324);

    // The margin around the picture shows the selection colour, standing in for the colour of an
    // active title bar.
    setAutoFillBackground(true);
    QPalette framePalette = palette();
    framePalette.setColor(QPalette::Window, framePalette.color(QPalette::Active, QPalette::Highlight));
    setPalette(framePalette);

    Image1 = new TPictureBox(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(5, 5, 365, 230);

    lblStatus = makeLine(QStringLiteral("lblStatus"), 240);
    lblDescription = makeLine(QStringLiteral("lblDescription"), 256);
    lblDateTime = makeLine(QStringLiteral("lblDateTime"), 272);

    Image2 = new TPictureBox(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->AutoSize = true;
    Image2->hide();

    HTTPGet1 = new THTTPGet(this);
    HTTPGet1->setObjectName(QStringLiteral("HTTPGet1"));
    HTTPGet1->AcceptTypes = QStringLiteral("*/*");
    HTTPGet1->Agent = QStringLiteral("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)");
    HTTPGet1->BinaryData = false;
    HTTPGet1->UseCache = false;
    HTTPGet1->WaitThread = false;
    HTTPGet1->ProgressIntervalMs = ProgressIntervalMs;
    // The picture is decoded from memory: a file per refresh would only be written, read back
    // and removed again.
    HTTPGet1->ToFile = false;
    // More than the largest picture the window would load is of no use: an endless body stops
    // there instead of filling the memory.
    HTTPGet1->MaxBodySize = TPicture::MaxFileBytes;
    connectDownload();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    // Minutes apart: second precision is plenty and lets the system batch the wake-ups.
    Timer1->setTimerType(Qt::VeryCoarseTimer);
    Timer1->setInterval(0);
    connect(Timer1, &QTimer::timeout, this, &TfrmImage::Timer1Timer);

    m_passingStatusDelay = new QTimer(this);
    m_passingStatusDelay->setObjectName(QStringLiteral("PassingStatusDelay"));
    m_passingStatusDelay->setSingleShot(true);
    m_passingStatusDelay->setInterval(PassingStatusDelayMs);
    connect(m_passingStatusDelay, &QTimer::timeout, this, [this] {
        m_passingShown = true;
        lblStatus->setText(m_statusText);
    });

    buildMenu();
}

TfrmImage::~TfrmImage()
{
    HTTPGet1->OnProgress = nullptr;
    HTTPGet1->OnDoneFile = nullptr;
    HTTPGet1->OnDoneString = nullptr;
    HTTPGet1->OnError = nullptr;
    CancelDownload();
}

QLabel* TfrmImage::makeLine(const QString& name, int top)
{
    auto* label = new QLabel(this);
    label->setObjectName(name);
    label->setGeometry(5, top, 365, TWindowLayout::LabelHeight);
    label->setAlignment(Qt::AlignCenter);
    label->setAutoFillBackground(true);
    QPalette linePalette = label->palette();
    linePalette.setColor(QPalette::Window, Qt::black);
    linePalette.setColor(QPalette::WindowText, Qt::white);
    label->setPalette(linePalette);
    QFont font(QStringLiteral("Courier"));
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setPixelSize(15);
    label->setFont(font);
    // The lines neither drag the window nor open the settings.
    label->installEventFilter(this);
    return label;
}

QAction* TfrmImage::makeAction(const QString& name, const QString& text)
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    addAction(action);
    return action;
}

void TfrmImage::buildMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));

    mnuSettings = makeAction(QStringLiteral("mnuSettings"), QStringLiteral("&Settings"));
    QFont bold = mnuSettings->font();
    bold.setBold(true);
    mnuSettings->setFont(bold);
    mnuAlwaysOnTop = makeAction(QStringLiteral("mnuAlwaysOnTop"), QStringLiteral("Stay on top"));
    mnuAlwaysOnTop->setCheckable(true);
    mnuRefresh = makeAction(QStringLiteral("mnuRefresh"), QStringLiteral("&Refresh"));
    mnuRefresh->setShortcut(QKeySequence(Qt::Key_F5));
    // Never in the menu: reached by its shortcut only, once the window has shown.
    Delete1 = makeAction(QStringLiteral("Delete1"), QStringLiteral("Clea&r"));
    Delete1->setShortcut(QKeySequence(Qt::Key_Delete));
    Delete1->setEnabled(false);

    mnuScale100 = makeAction(QStringLiteral("mnuScale100"), QStringLiteral("Original size"));
    mnuScale100->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_1));
    mnuScale100->setData(100);
    mnuScale50 = makeAction(QStringLiteral("mnuScale50"), QStringLiteral("50%"));
    mnuScale50->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_2));
    mnuScale50->setData(50);
    mnuScale25 = makeAction(QStringLiteral("mnuScale25"), QStringLiteral("25%"));
    mnuScale25->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_3));
    mnuScale25->setData(25);
    // One tick at most; a stored scale such as 75 leaves all three unticked.
    auto* scaleGroup = new QActionGroup(this);
    scaleGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (QAction* a : {mnuScale100, mnuScale50, mnuScale25}) {
        a->setCheckable(true);
        scaleGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, a] { mnuScale100Click(a); });
    }

    mnuSaveImage = makeAction(QStringLiteral("mnuSaveImage"), QStringLiteral("&Save image as..."));
    mnuSaveImage->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuAddVrelCatalog =
        makeAction(QStringLiteral("mnuAddVrelCatalog"), QStringLiteral("Add camera to Vrel Kestro catalog "));
    mnuReportInvalidCamera =
        makeAction(QStringLiteral("mnuReportInvalidCamera"), QStringLiteral("Report invalid camera"));
    mnuClose = makeAction(QStringLiteral("mnuClose"), QStringLiteral("&Close"));

    PopupMenu1->addAction(mnuSettings);
    PopupMenu1->setDefaultAction(mnuSettings);
    PopupMenu1->addAction(mnuAlwaysOnTop);
    PopupMenu1->addAction(mnuRefresh);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N1"));
    QMenu* scaleMenu = PopupMenu1->addMenu(QStringLiteral("Scale"));
    mnuScale = scaleMenu->menuAction();
    mnuScale->setObjectName(QStringLiteral("mnuScale"));
    scaleMenu->addActions({mnuScale100, mnuScale50, mnuScale25});
    PopupMenu1->addAction(mnuSaveImage);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N3"));
    PopupMenu1->addAction(mnuAddVrelCatalog);
    PopupMenu1->addAction(mnuReportInvalidCamera);
    PopupMenu1->addSeparator()->setObjectName(QStringLiteral("N2"));
    PopupMenu1->addAction(mnuClose);

    connect(mnuSettings, &QAction::triggered, this, &TfrmImage::mnuSettingsClick);
    connect(mnuAlwaysOnTop, &QAction::triggered, this, &TfrmImage::mnuAlwaysOnTopClick);
    connect(mnuRefresh, &QAction::triggered, this, &TfrmImage::mnuRefreshClick);
    connect(Delete1, &QAction::triggered, this, &TfrmImage::Delete1Click);
    connect(mnuSaveImage, &QAction::triggered, this, &TfrmImage::mnuSaveImageClick);
    connect(mnuAddVrelCatalog, &QAction::triggered, this, &TfrmImage::mnuAddVrelCatalogClick);
    connect(mnuReportInvalidCamera, &QAction::triggered, this, &TfrmImage::mnuReportInvalidCameraClick);
    connect(mnuClose, &QAction::triggered, this, &TfrmImage::mnuCloseClick);
}

void TfrmImage::connectDownload()
{
    // The progress handler belongs to one download: it is set again by the next start.
    HTTPGet1->OnDoneString = [this](QObject* sender, QByteArray result) {
        m_cycle->DeliverEnd([&] {
            HTTPGet1DoneString(sender, std::move(result));
            HTTPGet1->OnProgress = nullptr;
        });
    };
    HTTPGet1->OnError = [this](QObject* sender) {
        m_cycle->DeliverEnd([&] {
            HTTPGet1Error(sender);
            HTTPGet1->OnProgress = nullptr;
        });
    };
}

void TfrmImage::BindCamera(std::unique_ptr<TWebCamera> camera)
{
    m_camera = std::move(camera);
    SetDescription(m_camera->Description);
    placeWindow();
}

void TfrmImage::placeWindow()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->geometry().size() : QSize();
    m_place = TWindowLayout::PlaceWindow(m_camera ? m_camera->Left : 0, m_camera ? m_camera->Top : 0,
                                         screenSize, size());
    move(m_place);
    raise();
}

QPoint TfrmImage::currentPlace()
{
    // A second after mapping the window manager has long taken the window in; from then on the
    // window system knows best, also when the user moved the window by other means.
    constexpr qint64 SettleMs = 1000;
    if (!PositionsFromX11() || (m_sinceShown.isValid() && m_sinceShown.elapsed() > SettleMs))
        m_place = TrueWindowPosition(this);
    return m_place;
}

void TfrmImage::setVisible(bool visible)
{
    const bool firstShow = visible && !m_shown && !isVisible();
    if (!firstShow) {
        QWidget::setVisible(visible);
        return;
    }
    m_shown = true;
    // Laid out and placed before the window maps: a window manager may not follow a move that
    // arrives while it is still taking a new window in.
    FormShow();
}

void TfrmImage::FormShow()
{
    ClearImage();
    Delete1->setEnabled(true);
    SetStatus(TFetchRules::StatusLine(TFetchRules::WordIdle));
    SetDescription(m_camera ? m_camera->Description : QString());
    lblDateTime->clear();
    m_cycle->SetArmed(true);
    if (m_camera && m_camera->AlwaysOnTop != bool(windowFlags() & Qt::WindowStaysOnTopHint)) {
        // Taken over before the window maps: switching it later would unmap the window again.
        setWindowFlag(Qt::WindowStaysOnTopHint, m_camera->AlwaysOnTop);
    }
    placeWindow();
    ApplyScale();
    QWidget::setVisible(true);
    m_sinceShown.start();
    if (m_camera && m_camera->isFavorite()) {
        // The picture of the last run: the first request asks whether it is still current.
        TKeptPicture::TKept kept;
        if (TKeptPicture::Load(m_camera->FavoriteKeyPath(), &kept)) {
            m_revalidation->Shown(kept.ETag, kept.LastModified, kept.Body);
            m_keptBody = kept.Body;
        }
    }
    if (m_camera)
        FetchImage(m_camera->URL, m_camera->UpdateInterval);
}

void TfrmImage::Alwaysontop1Click()
{
    const bool onTop = m_camera && m_camera->AlwaysOnTop;
    mnuAlwaysOnTop->setChecked(onTop);
    if (onTop == bool(windowFlags() & Qt::WindowStaysOnTopHint))
        return;
    // New window flags unmap a shown window: show it again where it was, without taking the focus.
    const bool wasVisible = isVisible();
    const QPoint where = currentPlace();
    setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    if (!wasVisible)
        return;
    const bool hadAttribute = testAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
    move(where);
    show();
    setAttribute(Qt::WA_ShowWithoutActivating, hadAttribute);
}

void TfrmImage::Timer1Timer()
{
    if (m_camera)
        FetchImage(m_camera->URL, m_camera->UpdateInterval);
}

void TfrmImage::FetchImage(const QString& URL, qint32 minutes)
{
    if (m_closed || !m_camera)
        return;
    Alwaysontop1Click();
    m_cycle->Fetch(URL, minutes);
}

bool TfrmImage::TimerArmed() const
{
    return m_cycle->Armed();
}

void TfrmImage::startDownload(const QString& URL)
{
    HTTPGet1->URL = URL;
    HTTPGet1->Referer = TFetchRules::URLDirectory(URL);
    // The no-cache lines stay: the question still reaches the camera itself.
    HTTPGet1->ExtraHeaders = m_revalidation->NextRequestHeaders();
    SetPassingStatus(TFetchRules::StatusLine(TFetchRules::WordDownloading));
    HTTPGet1->OnProgress = [this](QObject* sender, qint32 total, qint32 readed) {
        HTTPGet1Progress(sender, total, readed);
    };
    HTTPGet1->StartDownload();
}

void TfrmImage::CancelDownload()
{
    // What a stopped download received goes with its worker: there is nothing to clean up.
    HTTPGet1->StopDownload();
}

void TfrmImage::HTTPGet1Progress(QObject*, qint32 TotalSize, qint32 Readed)
{
    QPointer<TfrmImage> self(this);
    QCoreApplication::processEvents();
    if (!self || m_closed)
        return;
    SetPassingStatus(TFetchRules::ProgressStatus(TotalSize, Readed));
    QCoreApplication::processEvents();
}

void TfrmImage::HTTPGet1DoneString(QObject* Sender, QByteArray Result)
{
    if (HTTPGet1->ResponseStatus == 304) {
        if (m_revalidation->AskedConditionally()) {
            m_revalidation->Confirmed(HTTPGet1->ResponseETag, HTTPGet1->ResponseLastModified);
            if (!m_keptBody.isEmpty())
                showNewPicture(Sender, m_keptBody, m_revalidation->ETag(), m_revalidation->LastModified());
            else
                pictureUnchanged();
            return;
        }
        // Not modified compared with nothing: a broken answer; the picture shown stays.
        SetStatus(TFetchRules::StatusLine(TFetchRules::WordDownloadError));
        m_cycle->SetArmed(true);
        return;
    }
    // The body is at most MaxBodySize bytes, so its size fits the 32-bit rule.
    if (TFetchRules::IsTooSmallForPicture(static_cast<qint32>(Result.size()))) {
        SetStatus(TFetchRules::StatusLine(TFetchRules::WordDownloadError));
        m_cycle->SetArmed(true);
        return;
    }
    // A camera without validators, or one that ignores them, may send the same picture again.
    if (m_revalidation->SameAsShown(Result) && m_keptBody.isEmpty()) {
        m_revalidation->Confirmed(HTTPGet1->ResponseETag, HTTPGet1->ResponseLastModified);
        pictureUnchanged();
        return;
    }
    showNewPicture(Sender, std::move(Result), HTTPGet1->ResponseETag, HTTPGet1->ResponseLastModified);
}

void TfrmImage::showNewPicture(QObject* Sender, QByteArray body, const QByteArray& etag,
                               const QByteArray& lastModified)
{
    m_keptBody.clear();
    ImageExt = TFetchRules::ImageExtFromHeader(body.left(TFetchRules::HeaderLength), ImageExt);
    // Decoded from memory, by the type its first bytes named, at the scale it is shown at.
    bool loaded = false;
    const qsizetype frameBytesBefore = Image1->Picture().Image().sizeInBytes();
    {
        TPicture picture;
        // Drawn straight from the camera's bytes: the window holds no frame of its own.
        loaded = picture.LoadFromData(body, TPicture::FormatForExtension(ImageExt), m_camera->Scale,
                                      TPicture::TDecode::WhenDrawn);
        if (loaded) {
            Image2->SetPicture(picture);
            m_camera->ImageWidth = Image2->width();
            m_camera->ImageHeight = Image2->height();
            // Measured: the hidden box need not hold a second reference to the frame.
            Image2->SetPicture(TPicture());
            setImageAreaSize(TWindowLayout::ImageAreaSize(m_camera->ImageWidth, m_camera->ImageHeight,
                                                          m_camera->Scale, screensRoom()));
            Image1->SetPicture(picture);
        }
    }
    if (loaded) {
        m_revalidation->Shown(etag, lastModified, body);
        m_cycle->PictureChanged();
        SetStatus(TFetchRules::StatusLine(TFetchRules::WordDone));
        m_keptPending = true;
        keepPicture(false);
        body.clear();
        releaseFreedMemory(frameBytesBefore);
    } else {
        HTTPGet1Error(Sender);
    }

    ArrangeControls();
    SetDescription(m_camera->Description);
    // A failed load shows when it was tried, as the placeholder has no freshness.
    lblDateTime->setText(TFetchRules::DateTimeText(m_cycle->Now()));
    showFreshness();
    m_cycle->SetArmed(true);
}

void TfrmImage::keepPicture(bool now)
{
    // A store write and a file synced to disk for every new picture of a busy camera would cost
    // more than they save: at most one per KeepEveryMinutes, and the latest when the window closes.
    constexpr qint64 KeepEverySeconds = qint64(KeepEveryMinutes) * 60;
    const QDateTime at = m_cycle->Now();
    if (!m_keptPending || !m_camera || (!now && m_keptAt.isValid() && m_keptAt.secsTo(at) < KeepEverySeconds))
        return;
    m_keptPending = false;
    m_keptAt = at;
    // A favourite keeps it, so that its first refresh after a start can ask about it.
    if (m_camera->isFavorite())
        TKeptPicture::Store(
            m_camera->FavoriteKeyPath(),
            {m_revalidation->ETag(), m_revalidation->LastModified(), m_revalidation->Body(), m_camera->URL});
}

void TfrmImage::pictureUnchanged()
{
    m_cycle->PictureUnchanged();
    SetStatus(TFetchRules::StatusLine(TFetchRules::WordDone));
    SetDescription(m_camera->Description);
    showFreshness();
    m_cycle->SetArmed(true);
}

bool TfrmImage::Frozen() const
{
    return m_cycle->Frozen();
}

void TfrmImage::showFreshness()
{
    if (const QString line = m_cycle->TimeLine(); !line.isEmpty())
        lblDateTime->setText(line);
    // "unchanged since" replaces the time of the last answer; the hint still has it.
    lblDateTime->setToolTip(m_cycle->UnchangedRefreshes() >= 2
                                ? QStringLiteral("Checked ") + TFetchRules::DateTimeText(m_cycle->Now())
                                : QString());
    const bool frozen = m_cycle->Frozen();
    if (frozen == m_frozenShown)
        return;
    m_frozenShown = frozen;
    if (TTrace::enabled())
        TTrace::write("frozen", (m_camera ? m_camera->Description : QString()) +
                                    (frozen ? QStringLiteral(": yes") : QStringLiteral(": no")));
    emit FrozenChanged(frozen);
}

void TfrmImage::HTTPGet1Error(QObject*)
{
    CancelDownload();
    m_cycle->SetArmed(true);
    ClearImage();
    SetStatus(TFetchRules::StatusLine(TFetchRules::WordDownloadError));
}

void TfrmImage::ClearImage()
{
    m_revalidation->Forget();
    m_keptBody.clear();
    m_cycle->PictureGone();
    const qsizetype frameBytesBefore = Image1->Picture().Image().sizeInBytes();
    TPicture blank;
    blank.LoadBlank();
    Image1->SetPicture(blank);
    releaseFreedMemory(frameBytesBefore);
    setImageAreaSize(QSize(blank.Width(), blank.Height()));
    if (m_camera) {
        m_camera->ImageWidth = 0;
        m_camera->ImageHeight = 0;
    }
    ArrangeControls();
    SetStatus(TFetchRules::StatusLine(TFetchRules::WordIdle));
    SetDescription(QString());
    lblDateTime->clear();
    showFreshness();
}

void TfrmImage::releaseFreedMemory(qsizetype frameBytesBefore) const
{
#if defined(__GLIBC__)
    // glibc keeps freed blocks for reuse, and once a frame's block has been freed it serves the
    // next frames from the heap rather than from the system. Trimming hands the free pages back,
    // but costs the next frame as many page faults (milliseconds for 720p): only worth it when
    // the freed memory will not be reused by a frame of the same size.
    if (Image1->Picture().Image().sizeInBytes() < frameBytesBefore)
        malloc_trim(0);
#else
    (void)frameBytesBefore;
#endif
}

QSize TfrmImage::screensRoom()
{
    QRect room;
    for (const QScreen* screen : QGuiApplication::screens())
        room = room.united(screen->availableGeometry());
    return room.size();
}

void TfrmImage::setImageAreaSize(const QSize& size)
{
    Image1->resize(size);
}

void TfrmImage::ArrangeControls()
{
    const TWindowLayout::TLayout l = TWindowLayout::ArrangeControls(Image1->size());
    // With the position: a plain resize could move the window (see TrueWindowPosition).
    setGeometry(QRect(currentPlace(), l.Window));
    Image1->setGeometry(l.ImageArea);
    lblStatus->setGeometry(l.LabelLeft, l.StatusTop, l.LabelWidth, TWindowLayout::LabelHeight);
    lblDescription->setGeometry(l.LabelLeft, l.DescriptionTop, l.LabelWidth, TWindowLayout::LabelHeight);
    lblDateTime->setGeometry(l.LabelLeft, l.DateTimeTop, l.LabelWidth, TWindowLayout::LabelHeight);
    if (Image1->Picture().Width() == 0 || Image1->Picture().Height() == 0)
        ClearImage();
}

void TfrmImage::SetStatus(const QString& text)
{
    m_passingStatusDelay->stop();
    m_passingShown = false;
    // After a passing status that was never shown, the line may already say this.
    if (lblStatus->text() != text)
        lblStatus->setText(text);
    recordStatus(text);
}

void TfrmImage::SetPassingStatus(const QString& text)
{
    if (m_passingShown)
        lblStatus->setText(text);
    else if (!m_passingStatusDelay->isActive())
        m_passingStatusDelay->start();
    recordStatus(text);
}

void TfrmImage::recordStatus(const QString& text)
{
    if (text == m_statusText)
        return;
    m_statusText = text;
    if (TTrace::enabled())
        TTrace::write("status", (m_camera ? m_camera->Description : QString()) + QStringLiteral(": ") + text);
}

void TfrmImage::SetDescription(const QString& text)
{
    lblDescription->setText(text);
    const bool fromCatalog = m_camera && !m_camera->CatalogPath.isEmpty();
    lblDescription->setToolTip(fromCatalog ? m_camera->CatalogPath + QLatin1Char('\\') + text : text);
    setWindowTitle(text);
}

void TfrmImage::ApplyScale()
{
    if (!m_camera)
        return;
    for (QAction* a : mnuScale->menu()->actions()) {
        if (a->data().toInt() == m_camera->Scale) {
            a->trigger();
            return;
        }
    }
}

void TfrmImage::mnuScale100Click(QAction* Sender)
{
    if (!m_camera)
        return;
    Sender->setChecked(true);
    m_camera->Scale = Sender->data().toInt();
    // A frame decoded for a smaller scale would look coarse: decoded again for this one.
    TPicture shown = Image1->Picture();
    const qsizetype frameBytesBefore = shown.Image().sizeInBytes();
    if (shown.Rescale(m_camera->Scale)) {
        Image1->SetPicture(shown);
        shown.Clear();
        releaseFreedMemory(frameBytesBefore);
    }
    setImageAreaSize(TWindowLayout::ImageAreaSize(m_camera->ImageWidth, m_camera->ImageHeight,
                                                  m_camera->Scale, screensRoom()));
    ArrangeControls();
    if (m_camera->isFavorite())
        m_camera->SaveToReg();
}

void TfrmImage::mnuAlwaysOnTopClick()
{
    if (!m_camera)
        return;
    m_camera->AlwaysOnTop = !m_camera->AlwaysOnTop;
    if (m_camera->isFavorite())
        m_camera->SaveToReg();
    Alwaysontop1Click();
}

void TfrmImage::mnuRefreshClick()
{
    Timer1Timer();
}

void TfrmImage::Delete1Click()
{
    if (TUserPrompt::Confirm(this, QApplication::applicationName(), QStringLiteral("Are you sure?")))
        ClearImage();
}

void TfrmImage::mnuSaveImageClick()
{
    const QString proposed = (m_camera ? m_camera->Description : QString()) + ImageExt;
    const QString fileName = TUserPrompt::SaveFileName(this, QStringLiteral("Chose file name"), SaveFilter,
                                                       ImageExt.mid(1), proposed);
    if (!fileName.isEmpty())
        Image1->Picture().SaveToFile(fileName);
}

void TfrmImage::mnuSettingsClick()
{
    if (!m_camera)
        return;
    QPointer<TfrmImage> self(this);
    QPointer<TfrmCameraSettings> dialog = new TfrmCameraSettings(this);
    dialog->LoadFrom(*m_camera, TfrmCameraSettings::TFlow::Edit);

    const int result = dialog->exec();
    if (!self || !dialog)
        return;
    const auto cleanup = qScopeGuard([&dialog] { delete dialog; });
    if (result != TfrmCameraSettings::mrOk || m_closed)
        return;

    const QString oldURL = m_camera->URL;
    if (TfrmCameraSettings::Trimmed(m_camera->Description) != dialog->edtDescr->text())
        m_camera->ClearReg();
    m_keptPending = true; // A renamed or newly added favourite keeps the picture shown on closing.
    dialog->StoreInto(*m_camera);
    const bool newAddress = TfrmCameraSettings::Trimmed(oldURL) != TfrmCameraSettings::Trimmed(m_camera->URL);
    if (newAddress) {
        // Another address is another camera: the old picture's validators could earn a 304 there
        // and keep the old picture under the new address.
        m_revalidation->Forget();
        m_keptBody.clear();
    }
    m_cycle->SetIntervalMs(TFetchRules::TimerIntervalMs(m_camera->UpdateInterval));
    // Refreshed on request only: no longer frozen.
    showFreshness();
    ApplyScale();
    // What the favourite kept of the old address is no longer loaded: it names that address.
    if (dialog->chkAdd->isChecked())
        m_camera->SaveToReg();
    if (m_mainForm)
        m_mainForm->BuildFavoritesMenu();
    SetDescription(m_camera->Description);
    Alwaysontop1Click();
    if (newAddress)
        Timer1Timer();
}

void TfrmImage::mnuAddVrelCatalogClick()
{
    TShell::Open(TMakerMail::MailtoAddress(MakerSupportEmail(), TMakerMail::TReport::AddToCatalog,
                                           m_camera ? m_camera->URL : QString()));
}

void TfrmImage::mnuReportInvalidCameraClick()
{
    TShell::Open(TMakerMail::MailtoAddress(MakerSupportEmail(), TMakerMail::TReport::InvalidCamera,
                                           m_camera ? m_camera->URL : QString()));
}

void TfrmImage::mnuCloseClick()
{
    close();
}

void TfrmImage::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (!m_closed)
        FormClose();
}

void TfrmImage::FormClose()
{
    m_closed = true;
    HTTPGet1->OnProgress = nullptr;
    HTTPGet1->OnDoneFile = nullptr;
    HTTPGet1->OnDoneString = nullptr;
    HTTPGet1->OnError = nullptr;
    CancelDownload();
    m_cycle->Close();
    keepPicture(true);
    if (m_camera && m_camera->isFavorite()) {
        const QPoint at = currentPlace();
        m_camera->Left = at.x();
        m_camera->Top = at.y();
        m_camera->SaveToReg();
    }
    if (m_mainForm)
        m_mainForm->RemoveCameraWindow(this);
}

void TfrmImage::contextMenuEvent(QContextMenuEvent* event)
{
    PopupMenu1->popup(event->globalPos());
}

void TfrmImage::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        dragState().Down = true;
        dragState().Point = event->position().toPoint();
    }
}

void TfrmImage::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !dragState().Down)
        return;
    const QPoint at = event->position().toPoint();
    m_place = currentPlace() + at - dragState().Point;
    move(m_place);
}

void TfrmImage::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        dragState().Down = false;
}

void TfrmImage::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        mnuSettingsClick();
}

bool TfrmImage::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}
