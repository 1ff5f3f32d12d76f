#include "platform/TRegImport.h"
#include "platform/TRegistry.h"
#include "platform/TRegistryStore.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int TopFolders = 40;
constexpr int SubFolders = 25; // 40 x 25 = 1,000 folders holding cameras
constexpr int CamerasPerFolder = 10;
constexpr int SubKeys = 10000;
constexpr int Rounds = 15;

const char* const CatalogBase =
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\Favorites";

// The catalog as the maker's web site would publish it: one key per folder and per camera,
// a camera holding the values of a favourite.
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
                text += "[" + folder + "\\Camera " + id +
                        "]\r\n"
                        "\"URL\"=\"http://cam" +
                        id +
                        ".example.net/live/image.jpg\"\r\n"
                        "\"UpdateInterval\"=dword:00000005\r\n"
                        "\"Scale\"=dword:00000064\r\n"
                        "\"Left\"=dword:00000000\r\n"
                        "\"Top\"=dword:00000000\r\n"
                        "\"RunOnStartup\"=dword:00000000\r\n"
                        "\"AlwaysOnTop\"=dword:00000001\r\n\r\n";
                *lines += 9;
            }
        }
    }
    return text;
}

// The same rows as SQL text for the sqlite3 shell, as a yardstick for the import.
QByteArray catalogSql()
{
    QByteArray sql("PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN;\n"
                   "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER, name TEXT NOT NULL, "
                   "fold TEXT NOT NULL, UNIQUE(parent, fold));\n"
                   "CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL, fold TEXT NOT NULL, "
                   "type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, fold)) WITHOUT ROWID;\n"
                   "INSERT INTO keys VALUES(1,NULL,'','');\n");
    qint64 next = 2;
    auto key = [&](qint64 parent, const QByteArray& name) {
        const qint64 id = next++;
        sql += "INSERT INTO keys VALUES(" + QByteArray::number(id) + "," + QByteArray::number(parent) + ",'" +
               name + "','" + name.toUpper() + "');\n";
        return id;
    };
    qint64 parent = 1;
    for (const char* name : {"SOFTWARE", "Vrel Kestro Software", "Vrel Kestro Web Camera", "Favorites"})
        parent = key(parent, name);
    const QByteArray dwords[] = {"UpdateInterval", "Scale", "Left", "Top", "RunOnStartup", "AlwaysOnTop"};
    for (int t = 0; t < TopFolders; ++t) {
        const qint64 top = key(parent, "Region " + QByteArray::number(t));
        for (int s = 0; s < SubFolders; ++s) {
            const qint64 folder = key(top, "Place " + QByteArray::number(s));
            for (int c = 0; c < CamerasPerFolder; ++c) {
                const QByteArray id = QByteArray::number((t * SubFolders + s) * CamerasPerFolder + c);
                const QByteArray cam = QByteArray::number(key(folder, "Camera " + id));
                sql += "INSERT INTO vals VALUES(" + cam + ",'URL','URL',1,CAST('http://cam" + id +
                       ".example.net/live/image.jpg' AS BLOB));\n";
                for (const QByteArray& v : dwords)
                    sql += "INSERT INTO vals VALUES(" + cam + ",'" + v + "','" + v.toUpper() +
                           "',4,x'05000000');\n";
            }
        }
    }
    sql += "COMMIT;\n";
    return sql;
}

double median(std::vector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void useFreshStores(const QTemporaryDir& dir, const QString& tag)
{
    TRegistryStore::closeAll();
    qputenv("VREL_USER_REGISTRY", dir.filePath(tag + "-user.db").toUtf8());
    qputenv("VREL_MACHINE_REGISTRY", dir.filePath(tag + "-machine.db").toUtf8());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "bench_registry: no temporary folder\n");
        return 1;
    }

    int lines = 0;
    const QString catalog = dir.filePath("catalog.reg");
    {
        QFile file(catalog);
        if (!file.open(QIODevice::WriteOnly) || file.write(catalogFile(&lines)) < 0)
            return 1;
    }
    std::vector<double> fresh;
    std::vector<double> again;
    for (int round = 0; round < 5; ++round) {
        useFreshStores(dir, QStringLiteral("import%1").arg(round));
        QElapsedTimer timer;
        timer.start();
        const TRegImportResult first = RegImportFile(catalog);
        fresh.push_back(timer.nsecsElapsed() / 1e6);
        timer.restart();
        const TRegImportResult second = RegImportFile(catalog);
        again.push_back(timer.nsecsElapsed() / 1e6);
        if (!first.Ok || !second.Ok || first.SkippedCount != 0 || first.ValuesWritten != 70000) {
            std::fprintf(stderr, "bench_registry: import failed: %s\n",
                         qPrintable(first.Error + second.Error));
            return 1;
        }
    }
    std::printf("import of %d cameras in %d folders (%d lines), into an empty store: median %.1f ms\n",
                TopFolders * SubFolders * CamerasPerFolder, TopFolders * SubFolders, lines, median(fresh));
    std::printf("the same import over the existing catalog: median %.1f ms\n", median(again));

    const QString sqlite3 = QStandardPaths::findExecutable(QStringLiteral("sqlite3"));
    if (!sqlite3.isEmpty()) {
        const QByteArray sql = catalogSql();
        std::vector<double> shell;
        for (int round = 0; round < 3; ++round) {
            QProcess process;
            process.start(sqlite3, {dir.filePath(QStringLiteral("shell%1.db").arg(round))});
            process.waitForStarted();
            QElapsedTimer timer;
            timer.start();
            process.write(sql);
            process.closeWriteChannel();
            process.waitForFinished(-1);
            shell.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::printf(
            "for comparison, the sqlite3 shell inserting the same rows from SQL text: median %.1f ms\n",
            median(shell));
    }

    // The last import's store holds the catalog: vrel-regedit exporting it against the sqlite3
    // shell dumping the whole file, both as processes writing to a file, as users would run them.
    {
        const QString machineStore = dir.filePath(QStringLiteral("import4-machine.db"));
        TRegistryStore::closeAll();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VREL_MACHINE_REGISTRY"), machineStore);
        env.insert(QStringLiteral("VREL_USER_REGISTRY"), dir.filePath(QStringLiteral("import4-user.db")));
        const auto timedRun = [&](const QString& program, const QStringList& arguments,
                                  const QString& output) {
            QProcess process;
            process.setProcessEnvironment(env);
            process.setStandardOutputFile(output);
            QElapsedTimer timer;
            timer.start();
            process.start(program, arguments);
            const bool ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                            process.exitCode() == 0;
            return ok ? timer.nsecsElapsed() / 1e6 : -1.0;
        };
        std::vector<double> exports;
        std::vector<double> dumps;
        for (int round = 0; round < 5; ++round) {
            exports.push_back(timedRun(QStringLiteral(VREL_REGEDIT_PATH),
                                       {QStringLiteral("export"), QString::fromLatin1(CatalogBase),
                                        dir.filePath(QStringLiteral("export.reg"))},
                                       QProcess::nullDevice()));
            if (!sqlite3.isEmpty())
                dumps.push_back(timedRun(sqlite3, {machineStore, QStringLiteral(".dump")},
                                         dir.filePath(QStringLiteral("dump.sql"))));
        }
        if (std::count(exports.begin(), exports.end(), -1.0) > 0 ||
            std::count(dumps.begin(), dumps.end(), -1.0) > 0) {
            std::fprintf(stderr, "bench_registry: the export or the dump failed\n");
            return 1;
        }
        std::printf("vrel-regedit export of the catalog (%lld bytes): median %.1f ms\n",
                    static_cast<long long>(QFileInfo(dir.filePath(QStringLiteral("export.reg"))).size()),
                    median(exports));
        if (!dumps.empty())
            std::printf("for comparison, sqlite3 .dump of the whole store file: median %.1f ms (export / "
                        "dump %.2f)\n",
                        median(dumps), median(exports) / median(dumps));
    }

    useFreshStores(dir, QStringLiteral("wide"));
    {
        TRegTransaction tx(TRegRoot::LocalMachine);
        for (int i = 0; i < SubKeys; ++i)
            TRegKey::create(TRegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Wide\\Key %1").arg(i));
        if (!tx.commit())
            return 1;
    }
    std::vector<double> listing;
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const QStringList names =
            TRegKey::open(TRegRoot::LocalMachine, QStringLiteral("SOFTWARE\\Wide")).subKeyNames();
        listing.push_back(timer.nsecsElapsed() / 1e6);
        if (names.size() != SubKeys)
            return 1;
    }
    std::printf("enumerating a key with %d sub-keys: median %.2f ms\n", SubKeys, median(listing));

    std::vector<double> sets;
    TRegKey key = TRegKey::create(TRegRoot::CurrentUser, QStringLiteral("SOFTWARE\\Bench"));
    for (int round = 0; round < Rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        if (!key.writeDword(QStringLiteral("Value"), round))
            return 1;
        sets.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("setting one value (one durable transaction): median %.2f ms\n", median(sets));
    TRegistryStore::closeAll();
    return 0;
}
