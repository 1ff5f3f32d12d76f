#include "app/TfrmVrelWebCamMain.h"
#include "catalog/TRegistryMenus.h"
#include "catalog/fUpdate.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistryStore.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/support/TTestHttpServer.h"

// The catalog update and the catalog menu with a big catalog: 10,000 cameras in 1,000 folders
// (40 regions of 25 places, 10 cameras each), never opened, so every item carries the marker.
namespace {

constexpr int TopFolders = 40;
constexpr int SubFolders = 25;
constexpr int CamerasPerFolder = 10;
constexpr int Rounds = 7;

const char* const CatalogBase =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\Favorites";

QByteArray catalogFile(int* lines)
{
    QByteArray text("REGEDIT4\r\n\r\n");
    *lines = 2;
    for (int t = 0; t < TopFolders; ++t) {
        const QByteArray top = QByteArray(CatalogBase) + "\\Region " + QByteArray::number(t);
        text += "[" + top + "]\r\n\r\n";
        *lines += 2;
        for (int s = 0; s < SubFolders; ++s) {
            const QByteArray folder = top + "\\Place " + QByteArray::number(s);
            text += "[" + folder + "]\r\n\r\n";
            *lines += 2;
            for (int c = 0; c < CamerasPerFolder; ++c) {
                const QByteArray id = QByteArray::number((t * SubFolders + s) * CamerasPerFolder + c);
                text += "[" + folder + "\\Camera " + id + "]\r\n\"URL\"=\"http://cam" + id +
                        ".example.net/live/image.jpg\"\r\n\"UpdateInterval\"=dword:00000005\r\n"
                        "\"Scale\"=dword:00000064\r\n\"Left\"=dword:00000000\r\n\"Top\"=dword:00000000\r\n"
                        "\"RunOnStartup\"=dword:00000000\r\n\"AlwaysOnTop\"=dword:00000001\r\n\r\n";
                *lines += 9;
            }
        }
    }
    return text;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double msSince(const QElapsedTimer& timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// Resident memory in kB, from /proc.
long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// Lets deferred deletions of the previous build happen.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    qputenv("VREL_USER_REGISTRY", dir.filePath("user.db").toUtf8());
    qputenv("VREL_MACHINE_REGISTRY", dir.filePath("machine.db").toUtf8());
    qputenv("XDG_CONFIG_HOME", dir.filePath("config").toUtf8());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vrel Web Camera"));

    int lines = 0;
    const QByteArray catalog = catalogFile(&lines);
    TTestHttpServer server;
    if (!server.start())
        return 1;
    server.route(QStringLiteral("/info/vwcfavorites.reg"), TScriptedResponse::ok(catalog));
    qputenv("VREL_WEB_HOST", QStringLiteral("127.0.0.1:%1").arg(server.port()).toUtf8());
    TfrmUpdateFavorites::StartDelayMs = 0;
    TfrmUpdateFavorites::PauseMs = 0;
    TfrmUpdateFavorites::RegistryEditor = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");

    // Probe, download and import; the fixed waits are set to 0 here.
    std::vector<double> update;
    for (int round = 0; round < 3; ++round) {
        TRegistryStore::closeAll();
        QFile::remove(dir.filePath("machine.db"));
        ProgramOptions.LastUpdateSize = 0;
        TfrmUpdateFavorites window;
        QSignalSpy finished(&window, &QDialog::finished);
        QElapsedTimer timer;
        timer.start();
        window.open();
        if (!finished.wait(60000) || finished.first().first().toInt() != QDialog::Accepted) {
            std::fprintf(stderr, "bench_catalog: update failed: %s\n", qPrintable(window.lblStatus->text()));
            return 1;
        }
        update.push_back(msSince(timer));
    }
    std::printf(
        "catalog of %d cameras in %d folders (%d lines, %lld bytes): probe + download over loopback + "
        "import, fixed waits excluded: median %.0f ms\n",
        TopFolders * SubFolders * CamerasPerFolder, TopFolders * SubFolders, lines,
        static_cast<long long>(catalog.size()), median(update));

    // The import alone, as the window runs it, for the share of the download in the above.
    QFile file(dir.filePath("catalog.reg"));
    if (!file.open(QIODevice::WriteOnly) || file.write(catalog) != catalog.size())
        return 1;
    file.close();
    std::vector<double> import;
    for (int round = 0; round < 3; ++round) {
        TRegistryStore::closeAll();
        QFile::remove(dir.filePath("machine.db"));
        QProcess editor;
        QElapsedTimer timer;
        timer.start();
        editor.start(TfrmUpdateFavorites::RegistryEditor,
                     {QStringLiteral("import"), QStringLiteral("--only"), QString::fromLatin1(CatalogBase),
                      file.fileName()});
        if (!editor.waitForFinished(60000) || editor.exitCode() != 0)
            return 1;
        import.push_back(msSince(timer));
    }
    std::printf("of which vrel-regedit import --only alone: median %.0f ms\n", median(import));
    TRegistryStore::closeAll();

    TfrmVrelWebCamMain form{TCommandLine(QStringLiteral("-start"))};
    QMenu* menu = form.mnuWebCameraCatalog->menu();
    settle();
    const long before = residentKb();
    std::vector<double> rebuild;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        form.RebuildMenus();
        rebuild.push_back(msSince(timer));
        settle();
    }
    const long after = residentKb();
    std::printf("RebuildMenus: median %.1f ms (first %.1f ms); resident memory after the rebuilds %+ld kB\n",
                median(rebuild), rebuild.front(), after - before);

    QElapsedTimer popup;
    popup.start();
    menu->popup(QPoint(100, 100));
    QCoreApplication::processEvents();
    const double firstPopup = msSince(popup);
    QAction* region = menu->actions().at(2);
    QElapsedTimer nested;
    nested.start();
    menu->setActiveAction(region);
    while (!region->menu()->isVisible() && nested.elapsed() < 5000)
        QCoreApplication::processEvents();
    const double firstFolder = msSince(nested);
    std::printf("first popup of the catalog sub-menu (%lld items): %.1f ms; first opening of a region folder "
                "(%lld items): %.1f ms\n",
                static_cast<long long>(menu->actions().size()), firstPopup,
                static_cast<long long>(region->menu()->actions().size()), firstFolder);

    // A full build of every item, for comparison: what showing every folder once costs.
    QElapsedTimer full;
    full.start();
    std::vector<QMenu*> pending{menu};
    int items = 0;
    while (!pending.empty()) {
        QMenu* m = pending.back();
        pending.pop_back();
        TRegistryMenus::PopulateFolder(m);
        for (QAction* a : m->actions()) {
            ++items;
            if (a->menu())
                pending.push_back(a->menu());
        }
    }
    std::printf("making all %d items at once (every folder shown): %.0f ms; resident memory then %+ld kB\n",
                items, msSince(full), residentKb() - before);
    menu->hide();
    return 0;
}
