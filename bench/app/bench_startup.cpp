// Times a first copy from process start until its event loop runs, and a second copy's whole
// run (hand-off to the running copy, then exit), each with a registry that holds only the two
// start-up options switched off and the offscreen platform. Prints median and maximum in
// milliseconds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const QString Program = QStringLiteral(VREL_BIN_DIR "/vrel-web-camera");
const QString Regedit = QStringLiteral(VREL_BIN_DIR "/vrel-regedit");
constexpr int Runs = 20;

QProcessEnvironment environmentIn(const QTemporaryDir& dir)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("VREL_AUTO_ANSWER");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("VREL_TRACE", "1");
    env.insert("XDG_RUNTIME_DIR", dir.filePath("runtime"));
    env.insert("XDG_CONFIG_HOME", dir.filePath("config"));
    env.insert("HOME", dir.path());
    env.insert("VREL_USER_REGISTRY", dir.filePath("user.db"));
    env.insert("VREL_MACHINE_REGISTRY", dir.filePath("machine.db"));
    return env;
}

// The tip of the day would wait for a click at start-up, and the catalog check would go to the
// maker's site: both off, everything else as in an empty registry.
bool writeStartupOptions(const QTemporaryDir& dir, const QProcessEnvironment& env)
{
    QFile file(dir.filePath("options.reg"));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(
        "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\r\n"
        "\"ShowTipsOnStartup\"=dword:00000000\r\n\"CheckForUpdatesOnStartup\"=dword:00000000\r\n");
    file.close();
    QProcess regedit;
    regedit.setProcessEnvironment(env);
    regedit.start(Regedit, {"import", file.fileName()});
    return regedit.waitForFinished(30000) && regedit.exitStatus() == QProcess::NormalExit &&
           regedit.exitCode() == 0;
}

bool waitForLine(QProcess& process, const QByteArray& line)
{
    QByteArray seen;
    while (!seen.contains(line)) {
        if (!process.waitForReadyRead(30000))
            return false;
        seen += process.readAll();
    }
    return true;
}

void report(const char* what, std::vector<double> ms, double target)
{
    std::sort(ms.begin(), ms.end());
    const double median = ms.size() % 2 ? ms[ms.size() / 2] : (ms[ms.size() / 2 - 1] + ms[ms.size() / 2]) / 2;
    std::printf("%-42s median %7.1f ms   max %7.1f ms   (target < %.0f ms, %zu runs)\n", what, median,
                ms.back(), target, ms.size());
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    std::vector<double> toEventLoop;
    std::vector<double> secondCopy;
    for (int run = 0; run < Runs; ++run) {
        QTemporaryDir dir;
        QDir().mkpath(dir.filePath("runtime"));
        QFile::setPermissions(dir.filePath("runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QProcessEnvironment env = environmentIn(dir);
        if (!writeStartupOptions(dir, env)) {
            std::fprintf(stderr, "bench_startup: cannot write the start-up options with %s\n",
                         qPrintable(Regedit));
            return 1;
        }

        QProcess first;
        QProcessEnvironment firstEnv = env;
        firstEnv.insert("VREL_AUTO_ANSWER", "no");
        first.setProcessEnvironment(firstEnv);
        first.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer clock;
        clock.start();
        first.start(Program, {"-start"});
        if (!waitForLine(first, "vrel-trace: step event-loop")) {
            std::fprintf(stderr, "bench_startup: the first copy did not reach its event loop\n");
            return 1;
        }
        toEventLoop.push_back(clock.nsecsElapsed() / 1e6);

        QProcess second;
        second.setProcessEnvironment(env);
        second.setProcessChannelMode(QProcess::MergedChannels);
        clock.restart();
        second.start(Program, {"-start"});
        if (!second.waitForFinished(30000)) {
            std::fprintf(stderr, "bench_startup: the second copy did not end\n");
            return 1;
        }
        secondCopy.push_back(clock.nsecsElapsed() / 1e6);

        QProcess quitter;
        quitter.setProcessEnvironment(env);
        quitter.start(Program, {"-quit"});
        quitter.waitForFinished(30000);
        first.waitForFinished(30000);
    }
    report("first copy: process start to event loop", toEventLoop, 300);
    report("second copy: hand-off and exit", secondCopy, 100);
    return 0;
}
