#include "camera/RegistryLayout.h"
#include "camera/TSpinEdit.h"
#include "camera/TWebCamera.h"
#include "camera/TfrmCameraSettings.h"
#include "net/HTTPGet.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "platform/TShell.h"
#include "platform/TUserPrompt.h"
#include "viewer/TPictureBox.h"
#include "viewer/fImage.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrlQuery>
#include <QtTest>

#include <functional>
#include <memory>

#include "tests/support/TCameraSettingsRows.h"
#include "tests/support/TStoreSandbox.h"
#include "tests/support/TTestHttpServer.h"
#include "tests/support/WhenModalShows.h"

#include "TCameraFixtures.h"

using namespace CameraFixtures;

namespace {

const QString Done = QStringLiteral("Status: Done");

QString favouriteKey(const QString& description)
{
    return RegistryLayout::MyFavoritesKey + QLatin1Char('\\') + description;
}

std::optional<qint32> storedDword(const QString& description, const QString& value)
{
    return TRegKey::open(TRegRoot::CurrentUser, favouriteKey(description)).readDword(value);
}

// Runs act on the camera settings dialog once it runs modally.
void whenSettingsShow(std::function<void(TfrmCameraSettings*)> act)
{
    whenModalShows<TfrmCameraSettings>(std::move(act));
}

void sendMouse(QWidget* target, QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons buttons,
               QPoint at)
{
    QMouseEvent e(type, at, target->mapToGlobal(at), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &e);
}

} // namespace

class tst_fImage : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    std::unique_ptr<TTestHttpServer> m_server;
    std::unique_ptr<TRecordingMainForm> m_mainForm;
    QPointer<TfrmImage> m_window;
    QList<TUserPrompt::TRequest> m_prompts;
    QStringList m_answers;
    QStringList m_launched;

    QString url(const QString& path = QStringLiteral("/cam.jpg")) const { return m_server->url(path); }

    std::unique_ptr<TWebCamera> favourite(const QString& description, qint32 scale = 100)
    {
        auto c = camera(description, url(), 1, scale);
        c->SaveToReg();
        return c;
    }

    bool waitSettled() { return CameraFixtures::waitSettled(m_window); }

    // Opened, active and done with its first download.
    TfrmImage* openSettled(std::unique_ptr<TWebCamera> c)
    {
        m_window = openWindow(std::move(c), m_mainForm.get());
        if (!QTest::qWaitForWindowActive(m_window) || !waitSettled())
            return nullptr;
        return m_window;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QApplication::setApplicationName(QStringLiteral("Vrel Web Camera"));
    }

    void init()
    {
        QVERIFY(m_dir.Reset());
        m_server = std::make_unique<TTestHttpServer>();
        QVERIFY(m_server->start());
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(jpegJfif(640, 480), "image/jpeg"));
        m_mainForm = std::make_unique<TRecordingMainForm>();
        m_prompts.clear();
        m_answers.clear();
        m_launched.clear();
        TUserPrompt::setResponder([this](const TUserPrompt::TRequest& r) {
            m_prompts.append(r);
            return m_answers.isEmpty() ? QStringLiteral("cancel") : m_answers.takeFirst();
        });
        TShell::setLauncher([this](const QString& address) {
            m_launched.append(address);
            return true;
        });
    }

    void cleanup()
    {
        delete m_window;
        TUserPrompt::setResponder({});
        TShell::setLauncher({});
        m_server.reset();
        m_mainForm.reset();
        TRegistryStore::closeAll();
    }

    void objectNamesExist_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QKeySequence>("shortcut");
        const QKeySequence none;
        QTest::newRow("Image1") << "Image1"
                                << "TPictureBox"
                                << "" << none;
        QTest::newRow("Image2") << "Image2"
                                << "TPictureBox"
                                << "" << none;
        QTest::newRow("lblStatus") << "lblStatus"
                                   << "QLabel"
                                   << "" << none;
        QTest::newRow("lblDescription") << "lblDescription"
                                        << "QLabel"
                                        << "" << none;
        QTest::newRow("lblDateTime") << "lblDateTime"
                                     << "QLabel"
                                     << "" << none;
        QTest::newRow("Timer1") << "Timer1"
                                << "QTimer"
                                << "" << none;
        QTest::newRow("HTTPGet1") << "HTTPGet1"
                                  << "THTTPGet"
                                  << "" << none;
        QTest::newRow("PopupMenu1") << "PopupMenu1"
                                    << "QMenu"
                                    << "" << none;
        QTest::newRow("mnuSettings") << "mnuSettings"
                                     << "QAction"
                                     << "&Settings" << none;
        QTest::newRow("mnuAlwaysOnTop") << "mnuAlwaysOnTop"
                                        << "QAction"
                                        << "Stay on top" << none;
        QTest::newRow("mnuRefresh") << "mnuRefresh"
                                    << "QAction"
                                    << "&Refresh" << QKeySequence(Qt::Key_F5);
        QTest::newRow("Delete1") << "Delete1"
                                 << "QAction"
                                 << "Clea&r" << QKeySequence(Qt::Key_Delete);
        QTest::newRow("N1") << "N1"
                            << "QAction"
                            << "" << none;
        QTest::newRow("mnuScale") << "mnuScale"
                                  << "QAction"
                                  << "Scale" << none;
        QTest::newRow("mnuScale100") << "mnuScale100"
                                     << "QAction"
                                     << "Original size" << QKeySequence(Qt::CTRL | Qt::Key_1);
        QTest::newRow("mnuScale50") << "mnuScale50"
                                    << "QAction"
                                    << "50%" << QKeySequence(Qt::CTRL | Qt::Key_2);
        QTest::newRow("mnuScale25") << "mnuScale25"
                                    << "QAction"
                                    << "25%" << QKeySequence(Qt::CTRL | Qt::Key_3);
        QTest::newRow("mnuSaveImage") << "mnuSaveImage"
                                      << "QAction"
                                      << "&Save image as..." << QKeySequence(Qt::CTRL | Qt::Key_S);
        QTest::newRow("N3") << "N3"
                            << "QAction"
                            << "" << none;
        QTest::newRow("mnuAddVrelCatalog") << "mnuAddVrelCatalog"
                                           << "QAction"
                                           << "Add camera to Vrel Kestro catalog " << none;
        QTest::newRow("mnuReportInvalidCamera") << "mnuReportInvalidCamera"
                                                << "QAction"
                                                << "Report invalid camera" << none;
        QTest::newRow("N2") << "N2"
                            << "QAction"
                            << "" << none;
        QTest::newRow("mnuClose") << "mnuClose"
                                  << "QAction"
                                  << "&Close" << none;
    }
    void objectNamesExist()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, text);
        QFETCH(QKeySequence, shortcut);
        TfrmImage window(m_mainForm.get());
        QObject* o = window.findChild<QObject*>(name);
        QVERIFY2(o, qPrintable(name));
        QCOMPARE(QString::fromLatin1(o->metaObject()->className()), className);
        if (!text.isEmpty())
            QCOMPARE(o->property("text").toString(), text);
        if (auto* action = qobject_cast<QAction*>(o))
            QCOMPARE(action->shortcut(), shortcut);
    }

    void windowAsCreated()
    {
        TfrmImage window(m_mainForm.get());
        QCOMPARE(window.objectName(), QStringLiteral("frmImage"));
        const Qt::WindowFlags flags = window.windowFlags();
        QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
        QCOMPARE(flags & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
        QCOMPARE(window.size(), QSize(375, 324));
        QCOMPARE(window.minimumWidth(), 230);
        QCOMPARE(window.Image1->geometry(), QRect(5, 5, 365, 230));
        QCOMPARE(window.lblStatus->geometry(), QRect(5, 240, 365, 16));
        QCOMPARE(window.lblDescription->geometry(), QRect(5, 256, 365, 16));
        QCOMPARE(window.lblDateTime->geometry(), QRect(5, 272, 365, 16));
        QVERIFY(!window.Image2->isVisibleTo(&window));
        QCOMPARE(window.palette().color(QPalette::Window), window.palette().color(QPalette::Highlight));
        QCOMPARE(window.ImageExt, QStringLiteral(".jpg"));
        QVERIFY(!window.TimerArmed());
        QCOMPARE(window.HTTPGet1->AcceptTypes, QStringLiteral("*/*"));
        QVERIFY(!window.HTTPGet1->BinaryData && !window.HTTPGet1->UseCache && !window.HTTPGet1->WaitThread);
        for (QLabel* line : {window.lblStatus, window.lblDescription, window.lblDateTime}) {
            QCOMPARE(line->font().pixelSize(), 15);
            QVERIFY(QFontInfo(line->font()).fixedPitch());
            QCOMPARE(line->palette().color(QPalette::Window), QColor(Qt::black));
            QCOMPARE(line->palette().color(QPalette::WindowText), QColor(Qt::white));
            QCOMPARE(line->alignment(), Qt::AlignCenter);
        }
    }

    void menuOrderAndDefaultEntry()
    {
        TfrmImage window(m_mainForm.get());
        QStringList names;
        for (const QAction* a : window.PopupMenu1->actions())
            names.append(a->objectName());
        QCOMPARE(names,
                 (QStringList{"mnuSettings", "mnuAlwaysOnTop", "mnuRefresh", "N1", "mnuScale", "mnuSaveImage",
                              "N3", "mnuAddVrelCatalog", "mnuReportInvalidCamera", "N2", "mnuClose"}));
        QVERIFY(!window.PopupMenu1->actions().contains(window.Delete1));
        QVERIFY(window.actions().contains(window.Delete1));
        QCOMPARE(window.PopupMenu1->defaultAction(), window.mnuSettings);
        QVERIFY(window.mnuSettings->font().bold());
        QCOMPARE(window.mnuScale->menu()->actions(),
                 (QList<QAction*>{window.mnuScale100, window.mnuScale50, window.mnuScale25}));
        QVERIFY(!window.Delete1->isEnabled());
    }

    void openingPlacesAndAppliesStayOnTop_data()
    {
        QTest::addColumn<int>("left");
        QTest::addColumn<int>("top");
        QTest::addColumn<bool>("onTop");
        QTest::newRow("stored-position-on-top") << 40 << 70 << true;
        QTest::newRow("left-0-centred-not-on-top") << 0 << 120 << false;
        QTest::newRow("top-0-centred") << 30 << 0 << true;
    }
    void openingPlacesAndAppliesStayOnTop()
    {
        QFETCH(int, left);
        QFETCH(int, top);
        QFETCH(bool, onTop);
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(jpegJfif(100, 80), "image/jpeg"));
        auto c = camera(QStringLiteral("Harbour"), url());
        c->Left = left;
        c->Top = top;
        c->AlwaysOnTop = onTop;
        m_window = openWindow(std::move(c), m_mainForm.get());
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        // Placed while the placeholder shows: 266 x 319.
        QCOMPARE(m_window->pos(),
                 QPoint(left ? left : (screen.width() - 266) / 2, top ? top : (screen.height() - 319) / 2));
        QCOMPARE(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), onTop);
        QCOMPARE(m_window->mnuAlwaysOnTop->isChecked(), onTop);
        QVERIFY(m_window->Delete1->isEnabled());
        QVERIFY(waitSettled());
        QCOMPARE(m_window->size(), QSize(230, 143));
        QCOMPARE(m_window->Image1->geometry(), QRect(65, 5, 100, 80));
    }

    void rightClickAnywherePopsUpMenu_data()
    {
        QTest::addColumn<QString>("where");
        QTest::newRow("picture") << "Image1";
        QTest::newRow("status-line") << "lblStatus";
        QTest::newRow("margin") << "frmImage";
    }
    void rightClickAnywherePopsUpMenu()
    {
        QFETCH(QString, where);
        QVERIFY(openSettled(favourite(QStringLiteral("Harbour"))));
        QWidget* target =
            where == m_window->objectName() ? m_window.data() : m_window->findChild<QWidget*>(where);
        const QPoint at = target == m_window ? QPoint(2, 2) : QPoint(10, 5);
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &e);
        QTRY_VERIFY(m_window->PopupMenu1->isVisible());
        m_window->PopupMenu1->close();
    }

    void scaleCommands_data()
    {
        QTest::addColumn<bool>("isFavourite");
        QTest::addColumn<int>("key");
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QString>("ticked");
        QTest::newRow("ctrl-2-favourite")
            << true << int(Qt::Key_2) << QSize(320, 240) << QSize(330, 303) << "mnuScale50";
        QTest::newRow("ctrl-3-not-favourite")
            << false << int(Qt::Key_3) << QSize(160, 120) << QSize(230, 183) << "mnuScale25";
        QTest::newRow("ctrl-1-favourite")
            << true << int(Qt::Key_1) << QSize(640, 480) << QSize(650, 543) << "mnuScale100";
    }
    void scaleCommands()
    {
        QFETCH(bool, isFavourite);
        QFETCH(int, key);
        QFETCH(QSize, area);
        QFETCH(QSize, window);
        QFETCH(QString, ticked);
        auto c = isFavourite ? favourite(QStringLiteral("Harbour"), 50)
                             : camera(QStringLiteral("Harbour"), url(), 1, 50);
        QVERIFY(openSettled(std::move(c)));
        QTest::keyClick(m_window, Qt::Key(key), Qt::ControlModifier);
        QCOMPARE(m_window->Image1->size(), area);
        QCOMPARE(m_window->size(), window);
        for (QAction* a : {m_window->mnuScale100, m_window->mnuScale50, m_window->mnuScale25})
            QCOMPARE(a->isChecked(), a->objectName() == ticked);
        // The held picture is shown at the new size at once, without a new download; its frame is
        // decoded again for the new scale (from 50 %: smaller for 25 %, whole for 100 %).
        QCOMPARE(m_server->requestCount(), 1);
        QCOMPARE(QSize(m_window->Image1->Picture().Width(), m_window->Image1->Picture().Height()),
                 QSize(640, 480));
        QCOMPARE(m_window->Image1->Picture().FrameSize(), area);
        if (isFavourite)
            QCOMPARE(storedDword(QStringLiteral("Harbour"), QStringLiteral("Scale")),
                     m_window->Camera()->Scale);
        else
            QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, favouriteKey(QStringLiteral("Harbour"))));
    }

    // What the window system gets, read back from the window's own backing store: the image area
    // holds the very pixels of the picture decoded at once, at 100 % and at 50 %.
    void windowShowsThePictureAsDecoded_data()
    {
        QTest::addColumn<int>("scale");
        QTest::newRow("100") << 100;
        QTest::newRow("50") << 50;
    }
    void windowShowsThePictureAsDecoded()
    {
        QFETCH(int, scale);
        const QByteArray bytes = jpegJfif(322, 242);
        m_server->route(QStringLiteral("/cam.jpg"), TScriptedResponse::ok(bytes, "image/jpeg"));
        QVERIFY(openSettled(camera(QStringLiteral("Harbour"), url(), 1, scale)));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        TPicture decoded;
        QVERIFY(decoded.LoadFromData(bytes, TPicture::TFormat::Jpeg, scale));
        const QRect area = m_window->Image1->geometry();
        QCOMPARE(area.size(), decoded.Image().size());
        const QImage shown = m_window->screen()->grabWindow(m_window->winId()).toImage();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown.copy(area).convertToFormat(QImage::Format_RGB32), decoded.Image());
    }

    // The picture is decoded as it is painted: a window that becomes inactive and active again
    // looks the same and does not paint its picture again.
    void activationLeavesThePictureAlone()
    {
        QVERIFY(openSettled(camera(QStringLiteral("Harbour"), url())));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        const QImage before = m_window->grab().toImage();
        TPaintCounter paints;
        m_window->Image1->installEventFilter(&paints);
        QWidget other;
        other.resize(100, 100);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QCOMPARE(paints.Paints, 0);
        m_window->Image1->removeEventFilter(&paints);
        QCOMPARE(m_window->grab().toImage(), before);
    }

    void storedScale75TicksNothing()
    {
        QVERIFY(openSettled(favourite(QStringLiteral("Harbour"), 75)));
        QCOMPARE(m_window->Image1->size(), QSize(480, 360));
        for (QAction* a : {m_window->mnuScale100, m_window->mnuScale50, m_window->mnuScale25})
            QVERIFY(!a->isChecked());
    }

    void placeholderStays256AtAnyScale()
    {
        TScriptedResponse stall = TScriptedResponse::ok(jpegJfif(), "image/jpeg");
        stall.StallAfter = 0;
        m_server->route(QStringLiteral("/cam.jpg"), stall);
        m_window = openWindow(camera(QStringLiteral("Harbour"), url()), m_mainForm.get());
        QVERIFY(QTest::qWaitForWindowActive(m_window));
        QTest::keyClick(m_window, Qt::Key_3, Qt::ControlModifier);
        QCOMPARE(m_window->Camera()->Scale, 25);
        QCOMPARE(m_window->Image1->size(), QSize(256, 256));
        QCOMPARE(m_window->size(), QSize(266, 319));
    }

    void stayOnTopCommand()
    {
        QVERIFY(openSettled(favourite(QStringLiteral("Harbour"))));
        m_window->move(120, 90);
        QVERIFY(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        m_window->mnuAlwaysOnTop->trigger();
        QVERIFY(!m_window->Camera()->AlwaysOnTop);
        QVERIFY(!m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(!m_window->mnuAlwaysOnTop->isChecked());
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->pos(), QPoint(120, 90));
        QCOMPARE(storedDword(QStringLiteral("Harbour"), QStringLiteral("AlwaysOnTop")),
                 std::optional<qint32>(0));
        m_window->mnuAlwaysOnTop->trigger();
        QVERIFY(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QVERIFY(m_window->mnuAlwaysOnTop->isChecked());
        QVERIFY(m_window->isVisible());
        QCOMPARE(m_window->pos(), QPoint(120, 90));
        QCOMPARE(storedDword(QStringLiteral("Harbour"), QStringLiteral("AlwaysOnTop")),
                 std::optional<qint32>(1));
    }

    void clearCommandAsksFirst_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::newRow("yes-clears") << "yes";
        QTest::newRow("no-keeps") << "no";
    }
    void clearCommandAsksFirst()
    {
        QFETCH(QString, answer);
        QVERIFY(openSettled(camera(QStringLiteral("Harbour"), url())));
        m_answers = QStringList{answer};
        QTest::keyClick(m_window, Qt::Key_Delete);
        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(m_prompts.first().Kind, TUserPrompt::TKind::Confirm);
        QCOMPARE(m_prompts.first().Text, QStringLiteral("Are you sure?"));
        if (answer == QLatin1String("yes")) {
            QCOMPARE(m_window->Image1->Picture().Format(), TPicture::TFormat::Bmp);
            QCOMPARE(m_window->Image1->size(), QSize(256, 256));
            QCOMPARE(m_window->lblStatus->text(), QStringLiteral("Status: Idle"));
            QVERIFY(m_window->lblDescription->text().isEmpty());
            QVERIFY(m_window->lblDateTime->text().isEmpty());
            QCOMPARE(m_window->Camera()->ImageWidth, 0);
        } else {
            QCOMPARE(m_window->Image1->size(), QSize(640, 480));
            QCOMPARE(m_window->lblStatus->text(), Done);
        }
        // The camera and its timer stay.
        QVERIFY(m_window->TimerArmed() && m_window->Timer1->isActive());
    }

    void saveCommand_data()
    {
        QTest::addColumn<bool>("cleared");
        QTest::addColumn<QString>("answer");
        QTest::newRow("jpeg-saved-as-loaded-whatever-the-name") << false << "picture.bmp";
        QTest::newRow("placeholder-saved-as-bitmap") << true << "blank.jpg";
        QTest::newRow("cancelled") << false << "cancel";
    }
    void saveCommand()
    {
        QFETCH(bool, cleared);
        QFETCH(QString, answer);
        QVERIFY(openSettled(camera(QStringLiteral("Harbour"), url())));
        if (cleared) {
            m_answers.append(QStringLiteral("yes"));
            m_window->Delete1->trigger();
            m_prompts.clear();
        }
        const QString target = m_dir.filePath(answer);
        m_answers.append(answer == QLatin1String("cancel") ? answer : target);
        QTest::keyClick(m_window, Qt::Key_S, Qt::ControlModifier);

        QCOMPARE(m_prompts.size(), 1);
        const TUserPrompt::TRequest& r = m_prompts.first();
        QCOMPARE(r.Kind, TUserPrompt::TKind::SaveFile);
        QCOMPARE(r.Caption, QStringLiteral("Chose file name"));
        QCOMPARE(r.Text, QStringLiteral("Harbour.jpg"));
        QCOMPARE(r.DefaultExt, QStringLiteral("jpg"));
        QCOMPARE(r.Filter, QStringLiteral("All (*.gif;*.jpg;*.bmp)|*.gif;*.jpg;*.bmp|GIF Image (*.gif)|*.gif|"
                                          "JPEG Image File (*.jpg)|*.jpg|Bitmaps (*.bmp)|*.bmp"));
        if (answer == QLatin1String("cancel")) {
            QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral("cancel*")}).isEmpty());
            return;
        }
        QFile saved(target);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        if (cleared) {
            QVERIFY(bytes.startsWith("BM"));
            QImage back;
            QVERIFY(back.loadFromData(bytes, "bmp"));
            QCOMPARE(back.size(), QSize(256, 256));
        } else {
            QCOMPARE(bytes, jpegJfif(640, 480));
        }
        QFile::remove(target);
    }

    void mailCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("address");
        QTest::newRow("report-invalid")
            << "mnuReportInvalidCamera"
            << "mailto:support@vrelkestro.example?subject=Invalid%20Camera%20Report&body="
               "http%3A%2F%2Fcam.example%2Fimg.cgi%3Fid%3D7%26size%3Dbig%23top";
        QTest::newRow("add-to-catalog")
            << "mnuAddVrelCatalog"
            << "mailto:support@vrelkestro.example?subject=New%20Camera%20For%20Your%20"
               "Catalog&body=http%3A%2F%2Fcam.example%2Fimg.cgi%3Fid%3D7%26size%3Dbig%23top";
    }
    void mailCommands()
    {
        QFETCH(QString, command);
        QFETCH(QString, address);
        TfrmImage window(m_mainForm.get());
        window.BindCamera(camera(QStringLiteral("Harbour"),
                                 QStringLiteral("http://cam.example/img.cgi?id=7&size=big#top")));
        window.findChild<QAction*>(command)->trigger();
        QCOMPARE(m_launched, QStringList{address});
        // The URL comes back whole from the address a mail program receives.
        const QUrlQuery query(QUrl(address).query());
        QCOMPARE(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded),
                 QStringLiteral("http://cam.example/img.cgi?id=7&size=big#top"));
    }

    void settingsCommand_data()
    {
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("interval");
        QTest::addColumn<bool>("add");
        QTest::addColumn<bool>("oldKeyKept");
        QTest::addColumn<bool>("newKeyStored");
        QTest::addColumn<int>("requests");
        QTest::newRow("rename-favourite-kept-as-favourite") << "Harbour East"
                                                            << "/cam.jpg" << 2 << true << false << true << 1;
        QTest::newRow("rename-without-tick-ends-favourite")
            << "Harbour East"
            << "/cam.jpg" << 2 << false << false << false << 1;
        QTest::newRow("interval-only-no-download") << "Harbour"
                                                   << "/cam.jpg" << 7 << true << true << true << 1;
        QTest::newRow("untick-keeps-stored-favourite") << "Harbour"
                                                       << "/cam.jpg" << 0 << false << true << true << 1;
        QTest::newRow("new-url-downloads-now") << "Harbour"
                                               << "/other.jpg" << 2 << true << true << true << 2;
    }
    void settingsCommand()
    {
        QFETCH(QString, description);
        QFETCH(QString, path);
        QFETCH(int, interval);
        QFETCH(bool, add);
        QFETCH(bool, oldKeyKept);
        QFETCH(bool, newKeyStored);
        QFETCH(int, requests);
        m_server->route(QStringLiteral("/other.jpg"), TScriptedResponse::ok(png(), "image/png"));
        auto c = camera(QStringLiteral("Harbour"), url(), 0, 100);
        QVERIFY(c->SaveToReg());
        QVERIFY(openSettled(std::move(c)));

        QString seen;
        whenSettingsShow([&](TfrmCameraSettings* d) {
            seen = QStringLiteral("%1|%2|%3|add=%4|top=%5|%6")
                       .arg(d->edtURL->text(), d->edtDescr->text())
                       .arg(d->edtPeriod->value())
                       .arg(d->chkAdd->isChecked())
                       .arg(d->chkTop->isChecked())
                       .arg(d->cbxScale->currentText());
            d->edtDescr->setText(QLatin1Char(' ') + description + QLatin1Char(' '));
            d->edtURL->setText(url(path));
            d->edtPeriod->setValue(interval);
            d->cbxScale->setCurrentIndex(1);
            d->chkAdd->setChecked(add);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        QTest::mouseDClick(m_window->Image1, Qt::LeftButton, {}, QPoint(20, 20));

        // Editing keeps an interval of 0.
        QCOMPARE(seen, url() + QStringLiteral("|Harbour|0|add=1|top=1|Original Size"));
        QCOMPARE(m_window->Camera()->Description, description);
        QCOMPARE(m_window->lblDescription->text(), description);
        QCOMPARE(m_window->windowTitle(), description);
        QCOMPARE(m_window->Camera()->Scale, 50);
        QVERIFY(m_window->mnuScale50->isChecked());
        QCOMPARE(m_window->Timer1->interval(), interval * 60000);
        QCOMPARE(TRegKey::exists(TRegRoot::CurrentUser, favouriteKey(QStringLiteral("Harbour"))), oldKeyKept);
        QCOMPARE(TRegKey::exists(TRegRoot::CurrentUser, favouriteKey(description)),
                 newKeyStored || oldKeyKept);
        if (newKeyStored)
            QCOMPARE(storedDword(description, QStringLiteral("UpdateInterval")),
                     std::optional<qint32>(interval));
        QVERIFY(m_mainForm->Calls.contains(QStringLiteral("BuildFavoritesMenu")));
        QVERIFY(waitSettled());
        QCOMPARE(m_server->requestCount(), requests);
        QCOMPARE(m_window->lblStatus->text(), Done);
    }

    // The window's camera: interval 1, original size, on top, not opened on start-up. URLs are
    // shown without the loopback server's address.
    void settingsStoresEachControl_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<bool>("wasFavourite");
        QTest::addColumn<QString>("record");
        QTest::addColumn<bool>("stored");
        QTest::newRow("none") << "none" << true << "/cam.jpg|Harbour|1|100|startup=0|top=1" << true;
        QTest::newRow("url") << "edtURL" << true << "/other.jpg|Harbour|1|100|startup=0|top=1" << true;
        QTest::newRow("description") << "edtDescr" << true << "/cam.jpg|Flipped|1|100|startup=0|top=1"
                                     << true;
        QTest::newRow("interval") << "edtPeriod" << true << "/cam.jpg|Harbour|0|100|startup=0|top=1" << true;
        QTest::newRow("scale") << "cbxScale" << true << "/cam.jpg|Harbour|1|25|startup=0|top=1" << true;
        QTest::newRow("open-on-startup")
            << "chkStartup" << true << "/cam.jpg|Harbour|1|100|startup=1|top=1" << true;
        QTest::newRow("stay-on-top") << "chkTop" << true << "/cam.jpg|Harbour|1|100|startup=0|top=0" << true;
        QTest::newRow("add-to-favourites")
            << "chkAdd" << false << "/cam.jpg|Harbour|1|100|startup=0|top=1" << true;
        QTest::newRow("not-a-favourite")
            << "none" << false << "/cam.jpg|Harbour|1|100|startup=0|top=1" << false;
    }
    void settingsStoresEachControl()
    {
        QFETCH(QString, control);
        QFETCH(bool, wasFavourite);
        QFETCH(QString, record);
        QFETCH(bool, stored);
        m_server->route(QStringLiteral("/other.jpg"), TScriptedResponse::ok(png(), "image/png"));
        QVERIFY(openSettled(wasFavourite ? favourite(QStringLiteral("Harbour"))
                                         : camera(QStringLiteral("Harbour"), url())));
        whenSettingsShow([&](TfrmCameraSettings* d) {
            CameraSettingsRows::flip(d, control, url(QStringLiteral("/other.jpg")));
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        m_window->mnuSettings->trigger();
        QVERIFY(waitSettled());

        const QString server = url(QStringLiteral("/")).chopped(1);
        QCOMPARE(CameraSettingsRows::settingsOf(*m_window->Camera()).remove(server), record);
        QCOMPARE(m_window->windowFlags().testFlag(Qt::WindowStaysOnTopHint), m_window->Camera()->AlwaysOnTop);
        TWebCamera kept;
        kept.SetDescription(m_window->Camera()->Description);
        QCOMPARE(kept.isFavorite(), stored);
        if (stored) {
            kept.LoadFromReg();
            QCOMPARE(CameraSettingsRows::settingsOf(kept).remove(server), record);
        }
        // A rename leaves no favourite under the old name.
        QCOMPARE(TRegKey::exists(TRegRoot::CurrentUser, favouriteKey(QStringLiteral("Harbour"))),
                 stored && kept.Description == QLatin1String("Harbour"));
    }

    // Renaming a favourite to blanks would delete its key and store nothing in its place.
    void settingsRefusesABlankDescription()
    {
        QVERIFY(openSettled(favourite(QStringLiteral("Harbour"))));
        bool stayedOpen = false;
        whenSettingsShow([&](TfrmCameraSettings* d) {
            d->edtDescr->setText(QStringLiteral("   "));
            d->chkAdd->setChecked(true);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
            stayedOpen = d->isVisible();
            QTest::mouseClick(d->btnCancel, Qt::LeftButton);
        });
        QTest::mouseDClick(m_window->Image1, Qt::LeftButton, {}, QPoint(20, 20));
        QVERIFY(stayedOpen);
        QCOMPARE(m_prompts.size(), 1);
        QCOMPARE(m_prompts.first().Text, QStringLiteral("Please enter description!"));
        QCOMPARE(m_window->Camera()->Description, QStringLiteral("Harbour"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Harbour"));
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, favouriteKey(QStringLiteral("Harbour"))));
    }

    void settingsCancelledChangesNothing()
    {
        QVERIFY(openSettled(favourite(QStringLiteral("Harbour"))));
        whenSettingsShow([](TfrmCameraSettings* d) {
            d->edtDescr->setText(QStringLiteral("Other"));
            d->edtURL->setText(QStringLiteral("elsewhere.example/x.jpg"));
            QTest::mouseClick(d->btnCancel, Qt::LeftButton);
        });
        QTest::mouseDClick(m_window, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(m_window->Camera()->Description, QStringLiteral("Harbour"));
        QCOMPARE(m_window->Camera()->URL, url());
        QVERIFY(TRegKey::exists(TRegRoot::CurrentUser, favouriteKey(QStringLiteral("Harbour"))));
        QVERIFY(!m_mainForm->Calls.contains(QStringLiteral("BuildFavoritesMenu")));
    }

    void dragMovesWindowButNotFromLines_data()
    {
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<int>("button");
        QTest::addColumn<QPoint>("moved");
        QTest::newRow("picture-left-button") << "Image1" << int(Qt::LeftButton) << QPoint(30, 20);
        QTest::newRow("margin-left-button") << "frmImage" << int(Qt::LeftButton) << QPoint(30, 20);
        QTest::newRow("picture-right-button") << "Image1" << int(Qt::RightButton) << QPoint(0, 0);
        QTest::newRow("status-line") << "lblStatus" << int(Qt::LeftButton) << QPoint(0, 0);
    }
    void dragMovesWindowButNotFromLines()
    {
        QFETCH(QString, pressed);
        QFETCH(int, button);
        QFETCH(QPoint, moved);
        QVERIFY(openSettled(camera(QStringLiteral("Harbour"), url())));
        m_window->move(100, 100);
        QWidget* target =
            pressed == m_window->objectName() ? m_window.data() : m_window->findChild<QWidget*>(pressed);
        const QPoint start = target == m_window ? QPoint(2, 2) : QPoint(10, 5);
        const auto b = Qt::MouseButton(button);
        sendMouse(target, QEvent::MouseButtonPress, b, b, start);
        sendMouse(target, QEvent::MouseMove, Qt::NoButton, b, start + QPoint(30, 20));
        sendMouse(target, QEvent::MouseButtonRelease, b, Qt::NoButton, start + QPoint(30, 20));
        QCOMPARE(m_window->pos(), QPoint(100, 100) + moved);
        // Released: moving on does not drag.
        sendMouse(m_window, QEvent::MouseMove, Qt::NoButton, Qt::LeftButton, QPoint(50, 50));
        QCOMPARE(m_window->pos(), QPoint(100, 100) + moved);
    }

    void doubleClickOnLineOpensNothing()
    {
        QVERIFY(openSettled(camera(QStringLiteral("Harbour"), url())));
        bool opened = false;
        whenSettingsShow([&](TfrmCameraSettings* d) {
            opened = true;
            d->reject();
        });
        QTest::mouseDClick(m_window->lblDescription, Qt::LeftButton, {}, QPoint(5, 5));
        QTest::qWait(50);
        QVERIFY(!opened);
        QTest::mouseDClick(m_window->Image1, Qt::LeftButton, {}, QPoint(5, 5));
        QVERIFY(opened);
    }

    void closingStoresPositionOfFavouritesOnly_data()
    {
        QTest::addColumn<bool>("isFavourite");
        QTest::addColumn<QString>("catalogPath");
        QTest::addColumn<QPoint>("movedTo");
        QTest::newRow("favourite") << true << "" << QPoint(300, 200);
        QTest::newRow("favourite-at-left-edge") << true << "" << QPoint(0, 77);
        QTest::newRow("catalog-camera") << false << "Europe\\Alps" << QPoint(300, 200);
    }
    void closingStoresPositionOfFavouritesOnly()
    {
        QFETCH(bool, isFavourite);
        QFETCH(QString, catalogPath);
        QFETCH(QPoint, movedTo);
        auto c =
            isFavourite ? favourite(QStringLiteral("Harbour")) : camera(QStringLiteral("Harbour"), url());
        c->CatalogPath = catalogPath;
        QVERIFY(openSettled(std::move(c)));
        QCOMPARE(m_window->lblDescription->toolTip(), catalogPath.isEmpty()
                                                          ? QStringLiteral("Harbour")
                                                          : catalogPath + QStringLiteral("\\Harbour"));
        m_window->move(movedTo);
        QTest::keyClick(m_window, Qt::Key_F5);
        QVERIFY(waitSettled());
        m_window->mnuClose->trigger();
        QCOMPARE(m_mainForm->Calls.count(QStringLiteral("RemoveCameraWindow")), 1);
        QTRY_VERIFY(!m_window);
        if (!isFavourite) {
            QVERIFY(!TRegKey::exists(TRegRoot::CurrentUser, favouriteKey(QStringLiteral("Harbour"))));
            return;
        }
        QCOMPARE(storedDword(QStringLiteral("Harbour"), QStringLiteral("Left")), movedTo.x());
        QCOMPARE(storedDword(QStringLiteral("Harbour"), QStringLiteral("Top")), movedTo.y());

        // The next opening: 0 on an axis centres the window on it.
        auto again = std::make_unique<TWebCamera>();
        again->SetDescription(QStringLiteral("Harbour"));
        again->LoadFromReg();
        m_window = openWindow(std::move(again), m_mainForm.get());
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(m_window->pos(),
                 QPoint(movedTo.x() ? movedTo.x() : (screen.width() - 266) / 2, movedTo.y()));
    }
};

QTEST_MAIN(tst_fImage)
#include "tst_fImage.moc"
