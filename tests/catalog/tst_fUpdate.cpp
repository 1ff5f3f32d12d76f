#include "app/TfrmVrelWebCamMain.h"
#include "camera/RegistryLayout.h"
#include "catalog/TCatalogUpdate.h"
#include "catalog/TRegistryMenus.h"
#include "catalog/fUpdate.h"
#include "net/HTTPGet.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"
#include "platform/TUserPrompt.h"
#include "viewer/TTempFiles.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "tests/support/TNginxServer.h"
#include "tests/support/TStoreSandbox.h"
#include "tests/support/TTestHttpServer.h"

namespace {

const QByteArray Catalog =
    "VWC CATALOG 7\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web "
    "Camera\\Favorites\\Europe\\Rome]\r\n"
    "\"URL\"=\"rome.test/cam.jpg\"\r\n"
    "\"UpdateInterval\"=dword:00000005\r\n"
    "\r\n"
    // Lines outside the catalog tree, which an import must never write.
    "[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\r\n"
    "\"CheckForUpdatesOnStartup\"=dword:00000001\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My Favorites\\Planted]\r\n"
    "\"URL\"=\"planted.test/x.jpg\"\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
    "\"Vrel Web Camera\"=\"/tmp/evil\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n"
    "\"x\"=\"y\"\r\n";

const QString ConfirmText = QStringLiteral(
    "Web Cameras Catalog has been updated by Vrel Kestro Software.\n\rDo you want to update your Catalog?");

bool catalogImported()
{
    return TRegKey::open(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\Europe\\Rome")
        .hasValue("URL");
}

bool anythingOutsideTheCatalog()
{
    return TRegKey::exists(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey + "\\Planted") ||
           TRegKey::exists(TRegRoot::CurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run") ||
           TRegKey::exists(TRegRoot::LocalMachine, "SOFTWARE\\Other") ||
           TRegKey::open(TRegRoot::CurrentUser, RegistryLayout::ProgramKey)
               .hasValue("CheckForUpdatesOnStartup");
}

QStringList leftoverFiles()
{
    return QDir(TTempFiles::PrivateFolder()).entryList({"*.reg"}, QDir::Files);
}

} // namespace

// The catalog update window against loopback servers: nginx with Basic authentication for the
// real catalog, the scripted server for the faults. The waits are shortened; the question is
// answered through the prompt wrapper.
class tst_fUpdate : public QObject
{
    Q_OBJECT

    TStoreSandbox m_dir;
    // What nginx serves, the temporary files and scripts: kept while the stores are reset.
    QTemporaryDir m_files;
    TNginxServer m_nginx;
    QStringList m_asked;
    QString m_answer;
    std::function<void()> m_onAsk;

    void serveCatalog(const QByteArray& content)
    {
        QVERIFY(QDir().mkpath(m_files.filePath("www/info")));
        QFile file(m_files.filePath("www/info/vwcfavorites.reg"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(content), content.size());
    }

    // Shows the window (already created) and waits until it has ended; its result.
    int runToEnd(TfrmUpdateFavorites& window)
    {
        QSignalSpy finished(&window, &QDialog::finished);
        window.open();
        if (!finished.wait(30000))
            return -1;
        return finished.first().first().toInt();
    }

    QString status(const TfrmUpdateFavorites& window) { return window.lblStatus->text(); }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && m_files.isValid());
        serveCatalog(Catalog);
        if (TNginxServer::program().isEmpty())
            QSKIP("nginx is not installed");
        TNginxOptions options;
        options.DocumentRoot = m_files.filePath("www");
        options.BasicAuthLocation = QStringLiteral("/info/");
        options.BasicAuthUser = TCatalogUpdate::UserName().toUtf8();
        options.BasicAuthPassword = TCatalogUpdate::Password().toUtf8();
        QVERIFY2(m_nginx.start(options), qPrintable(m_nginx.errorText()));
        // Temporary files of this test in a folder of its own, so leftovers can be counted. Set
        // after nginx has its folder: the program's name holds blanks, which nginx's
        // configuration cannot take.
        QVERIFY(QDir().mkpath(m_files.filePath("tmp")));
        m_dir.Set("TMPDIR", m_files.filePath("tmp").toUtf8());
        QVERIFY(TTempFiles::PrivateFolder().startsWith(m_files.filePath("tmp")));
        QApplication::setApplicationName("Vrel Web Camera");
        TfrmUpdateFavorites::StartDelayMs = 10;
        TfrmUpdateFavorites::PauseMs = 10;
        TfrmUpdateFavorites::RegistryEditor = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");
    }

    void init()
    {
        QVERIFY(m_dir.Reset());
        m_dir.Set("VREL_WEB_HOST", QString("127.0.0.1:%1").arg(m_nginx.port()).toUtf8());
        ProgramOptions = TProgramOptions();
        serveCatalog(Catalog);
        m_asked.clear();
        m_answer = QStringLiteral("yes");
        m_onAsk = nullptr;
        TUserPrompt::setResponder([this](const TUserPrompt::TRequest& request) {
            m_asked.append(request.Text);
            if (m_onAsk)
                m_onAsk();
            return m_answer;
        });
        TfrmUpdateFavorites::ImportTimeoutMs = 10000;
        TfrmUpdateFavorites::RegistryEditor = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");
    }
    void cleanup()
    {
        TUserPrompt::setResponder({});
        TRegistryStore::closeAll();
        QTRY_COMPARE(leftoverFiles(), QStringList());
    }

    void windowHasItsParts()
    {
        TfrmUpdateFavorites window;
        QCOMPARE(window.windowTitle(), QString("Update Web Camera Catalog"));
        for (const char* name : {"Image1", "Label1", "lblStatus", "ProgressBar1", "btnCancel", "HTTPGet",
                                 "Timer", "lngLanguage"})
            QVERIFY2(window.findChild<QObject*>(name), name);
        QCOMPARE(window.lblStatus->text(), QString("Updating Progress:"));
        QVERIFY(window.lblStatus->font().bold());
        QCOMPARE(window.btnCancel->text(), QString("Cancel"));
        QCOMPARE(window.ProgressBar1->maximum(), 100);
        QCOMPARE(window.HTTPGet->URL, QString("127.0.0.1:%1/info/vwcfavorites.reg").arg(m_nginx.port()));
        QCOMPARE(window.HTTPGet->Agent, QString("Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1)"));
        QVERIFY(window.HTTPGet->BinaryData);
        QVERIFY(!window.HTTPGet->UseCache);
        QVERIFY(window.FAutoUpdate);
    }

    void updateFromNginx_data()
    {
        QTest::addColumn<bool>("automatic");
        QTest::addColumn<int>("stored"); // -1: the catalog's size
        QTest::addColumn<QString>("answer");
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<QString>("expectedStatus");
        const int ok = QDialog::Accepted;
        const int cancel = QDialog::Rejected;
        QTest::newRow("changed-yes") << false << 0 << "yes" << ok << true << "Status: 100%";
        QTest::newRow("changed-no") << false << 0 << "no" << cancel << true
                                    << "Status: Update is not required";
        QTest::newRow("unchanged") << false << -1 << "yes" << cancel << false
                                   << "Status: Update is not required";
        QTest::newRow("automatic") << true << 0 << "no" << ok << false << "Status: 100%";
        QTest::newRow("automatic-other-size") << true << 5 << "no" << ok << false << "Status: 100%";
        QTest::newRow("automatic-unchanged")
            << true << -1 << "yes" << cancel << false << "Status: Update is not required";
    }
    void updateFromNginx()
    {
        QFETCH(bool, automatic);
        QFETCH(int, stored);
        QFETCH(QString, answer);
        QFETCH(int, result);
        QFETCH(bool, asked);
        QFETCH(QString, expectedStatus);
        ProgramOptions.LastUpdateSize = stored < 0 ? int(Catalog.size()) : stored;
        m_answer = answer;
        TfrmUpdateFavorites window;
        window.FAutoUpdate = automatic;
        QCOMPARE(runToEnd(window), result);
        QCOMPARE(m_asked, asked ? QStringList{ConfirmText} : QStringList{});
        QCOMPARE(status(window), expectedStatus);
        QCOMPARE(window.FNewSize, qint32(Catalog.size()));
        QCOMPARE(catalogImported(), result == QDialog::Accepted);
        QVERIFY(!anythingOutsideTheCatalog());
        if (result == QDialog::Accepted)
            QCOMPARE(window.ProgressBar1->value(), 100);
    }

    void faultsOfTheServer_data()
    {
        QTest::addColumn<TScriptedResponse>("response");
        QTest::addColumn<int>("stored");
        QTest::addColumn<QString>("expectedStatus");
        TScriptedResponse shortBody = TScriptedResponse::ok(Catalog);
        shortBody.AnnouncedLength = Catalog.size() + 100;
        QTest::newRow("short-body") << shortBody << 0 << "Status: Download Error";
        TScriptedResponse noLength = TScriptedResponse::ok(Catalog);
        noLength.SendContentLength = false;
        QTest::newRow("no-length-never-imported") << noLength << 0 << "Status: Update is not required";
        QTest::newRow("no-length-after-an-import") << noLength << 7 << "Status: Download Error";
        QTest::newRow("zero-length") << TScriptedResponse::ok(QByteArray()) << 7 << "Status: Download Error";
        TScriptedResponse otherPassword = TScriptedResponse::ok(Catalog);
        otherPassword.Auth = TScriptedResponse::TAuth::Basic;
        otherPassword.AuthUser = TCatalogUpdate::UserName().toUtf8();
        otherPassword.AuthPassword = "000000";
        QTest::newRow("credentials-refused") << otherPassword << 7 << "Status: Download Error";
        TScriptedResponse missing = TScriptedResponse::ok("<html>404</html>");
        missing.Status = 404;
        missing.Reason = "Not Found";
        QTest::newRow("not-found") << missing << 7 << "Status: Download Error";
        QTest::newRow("no-catalog-keys")
            << TScriptedResponse::ok("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\r\n") << 7
            << "Status: Download Error";
    }
    void faultsOfTheServer()
    {
        QFETCH(TScriptedResponse, response);
        QFETCH(int, stored);
        QFETCH(QString, expectedStatus);
        TTestHttpServer server;
        QVERIFY(server.start());
        server.route("/info/vwcfavorites.reg", response);
        m_dir.Set("VREL_WEB_HOST", QString("127.0.0.1:%1").arg(server.port()).toUtf8());
        ProgramOptions.LastUpdateSize = stored;
        TfrmUpdateFavorites window;
        window.FAutoUpdate = true;
        QCOMPARE(runToEnd(window), int(QDialog::Rejected));
        QCOMPARE(status(window), expectedStatus);
        QVERIFY(!catalogImported());
    }

    void fileChangedBetweenProbeAndDownload()
    {
        TTestHttpServer server;
        QVERIFY(server.start());
        server.route("/info/vwcfavorites.reg", TScriptedResponse::ok(Catalog));
        m_dir.Set("VREL_WEB_HOST", QString("127.0.0.1:%1").arg(server.port()).toUtf8());
        m_onAsk = [&] {
            server.route("/info/vwcfavorites.reg", TScriptedResponse::ok(Catalog + "\r\n; more\r\n"));
        };
        TfrmUpdateFavorites window;
        window.FAutoUpdate = false;
        QCOMPARE(runToEnd(window), int(QDialog::Rejected));
        QCOMPARE(m_asked.size(), 1);
        QCOMPARE(server.requestCount(), 2);
        QCOMPARE(status(window), QString("Status: Aborting Download..."));
        QVERIFY(!catalogImported());
    }

    void cancelDuringProbe()
    {
        TTestHttpServer server;
        QVERIFY(server.start());
        TScriptedResponse stalled = TScriptedResponse::ok(Catalog);
        stalled.StallAfter = 0;
        server.route("/info/vwcfavorites.reg", stalled);
        m_dir.Set("VREL_WEB_HOST", QString("127.0.0.1:%1").arg(server.port()).toUtf8());
        TfrmUpdateFavorites window;
        window.FAutoUpdate = false;
        QSignalSpy finished(&window, &QDialog::finished);
        // The probe waits for the server inside the window's own event handling: the user's
        // Cancel arrives from there too.
        QString statusWhenStalled;
        QTimer user;
        connect(&user, &QTimer::timeout, &window, [&] {
            if (server.stalledCount() < 1)
                return;
            user.stop();
            statusWhenStalled = status(window);
            window.btnCancel->click();
        });
        user.start(10);
        window.open();
        QVERIFY(finished.count() == 1 || finished.wait(20000));
        QCOMPARE(statusWhenStalled, QString("Status: Checking Version..."));
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        QCOMPARE(status(window), QString("Status: Aborting Download..."));
        QVERIFY(!window.btnCancel->isEnabled());
        QCOMPARE(m_asked, QStringList());
        QCOMPARE(server.requestCount(), 1);
        QVERIFY(server.waitForIdle());
    }

    // Cancel, the close box and the main form ending its dialogs all stop a running download,
    // and nothing of it reaches the window afterwards.
    void endDuringDownload_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("cancel-button") << "cancel";
        QTest::newRow("escape-key") << "escape";
        QTest::newRow("close-box") << "close";
        QTest::newRow("dialogs-cancelled") << "done";
    }
    void endDuringDownload()
    {
        QFETCH(QString, how);
        TTestHttpServer server;
        QVERIFY(server.start());
        TScriptedResponse half = TScriptedResponse::ok(QByteArray(40000, 'x'));
        half.StallAfter = 20000;
        server.route("/info/vwcfavorites.reg", half);
        m_dir.Set("VREL_WEB_HOST", QString("127.0.0.1:%1").arg(server.port()).toUtf8());
        TfrmUpdateFavorites window;
        window.FAutoUpdate = true;
        QSignalSpy finished(&window, &QDialog::finished);
        window.open();
        QTRY_COMPARE_WITH_TIMEOUT(status(window), QString("Status: 50%"), 10000);
        QCOMPARE(window.ProgressBar1->value(), 50);
        if (how == "cancel")
            window.btnCancel->click();
        else if (how == "escape")
            QTest::keyClick(&window, Qt::Key_Escape);
        else if (how == "close")
            window.close();
        else
            window.done(QDialog::Rejected);
        QVERIFY(finished.count() == 1 || finished.wait(10000));
        QCOMPARE(finished.first().first().toInt(), int(QDialog::Rejected));
        const bool cancelled = how == "cancel" || how == "escape";
        QCOMPARE(status(window),
                 cancelled ? QString("Status: Aborting Download...") : QString("Status: 50%"));
        QVERIFY(server.waitForIdle());
        QVERIFY(!window.HTTPGet->OnProgress && !window.HTTPGet->OnDoneFile && !window.HTTPGet->OnError);
        QVERIFY(!catalogImported());
    }

    void importerFails_data()
    {
        QTest::addColumn<QByteArray>("script"); // empty: no program at all
        QTest::newRow("exits-with-error") << QByteArray("exit 1\n");
        QTest::newRow("cannot-be-started") << QByteArray();
        QTest::newRow("runs-too-long") << QByteArray("exec sleep 30\n");
    }
    void importerFails()
    {
        QFETCH(QByteArray, script);
        const QString program = m_files.filePath("importer.sh");
        QFile::remove(program);
        if (!script.isEmpty()) {
            QFile file(program);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n" + script);
            file.close();
            file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        }
        TfrmUpdateFavorites::RegistryEditor = program;
        TfrmUpdateFavorites::ImportTimeoutMs = 300;
        TfrmUpdateFavorites window;
        window.FAutoUpdate = true;
        QCOMPARE(runToEnd(window), int(QDialog::Rejected));
        QCOMPARE(status(window), QString("Status: Import Error"));
        QVERIFY(!catalogImported());
    }

    // The tray menu's command stores the new size and rebuilds the menus only after an import.
    void menuCommand_data()
    {
        QTest::addColumn<bool>("unchanged");
        QTest::newRow("imported") << false;
        QTest::newRow("unchanged-no-rebuild") << true;
    }
    void menuCommand()
    {
        QFETCH(bool, unchanged);
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        if (unchanged) {
            ProgramOptions.LastUpdateSize = Catalog.size();
            // In the store but not yet in the menu: a rebuild would show it.
            TRegKey::create(TRegRoot::LocalMachine, RegistryLayout::CatalogKey + "\\Asia\\Tokyo")
                .writeString("URL", "t");
        }
        form.mnuLoadFavoritesClick();
        QCOMPARE(m_asked.size(), unchanged ? 0 : 1);
        QStringList captions;
        for (const QAction* a : form.mnuWebCameraCatalog->menu()->actions())
            captions.append(TRegistryMenus::ItemCaption(a));
        QCOMPARE(captions, unchanged ? QStringList({"Load Catalog from Vrel Kestro web site", ""})
                                     : QStringList({"Load Catalog from Vrel Kestro web site", "", "Europe"}));
        TProgramOptions reread;
        reread.LoadOptions();
        // Nothing is saved when nothing was imported.
        QCOMPARE(reread.LastUpdateSize, unchanged ? 0 : qint32(Catalog.size()));
        QCOMPARE(form.DialogList(), QList<QWidget*>());
    }

    void startUpChecksWithoutAsking()
    {
        ProgramOptions.CheckForUpdatesOnStartup = true;
        TfrmVrelWebCamMain form{TCommandLine("-start")};
        form.FormCreate();
        QCOMPARE(m_asked, QStringList());
        QVERIFY(catalogImported());
        QCOMPARE(ProgramOptions.LastUpdateSize, qint32(Catalog.size()));
        QStringList captions;
        for (const QAction* a : form.mnuWebCameraCatalog->menu()->actions())
            captions.append(TRegistryMenus::ItemCaption(a));
        QCOMPARE(captions, QStringList({"Load Catalog from Vrel Kestro web site", "", "Europe"}));
    }
};

QTEST_MAIN(tst_fUpdate)
#include "tst_fUpdate.moc"
