#include "platform/TRegExport.h"
#include "platform/TRegImport.h"
#include "platform/TRegistryStore.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

const char* const Usage = "usage: vrel-regedit /S FILE | import [--only KEY] FILE | export KEY [FILE]\n";

const char* const Help =
    "  /S FILE                  import a .reg file silently\n"
    "  import [--only KEY] FILE import a .reg file and report on stderr what was written and\n"
    "                           which lines were skipped; with --only, nothing outside KEY is touched\n"
    "  export KEY [FILE]        write KEY and its subtree as a REGEDIT4 file (default: standard output)\n"
    "KEY starts with HKEY_CURRENT_USER (HKCU) or HKEY_LOCAL_MACHINE (HKLM).\n";

void say(const QString& text)
{
    std::fprintf(stderr, "vrel-regedit: %s\n", text.toLocal8Bit().constData());
}

int usageError(const QString& why)
{
    say(why);
    std::fputs(Usage, stderr);
    return 2;
}

int runImport(const QString& file, const TRegImportOptions& options, bool silent)
{
    const TRegImportResult result = RegImportFile(file, options);
    if (!result.Ok) {
        say(result.Error);
        return 1;
    }
    if (silent)
        return 0;
    say(QStringLiteral("%1: %2 keys and %3 values written, %4 keys and %5 values deleted, %6 lines skipped")
            .arg(file)
            .arg(result.KeysWritten)
            .arg(result.ValuesWritten)
            .arg(result.KeysDeleted)
            .arg(result.ValuesDeleted)
            .arg(result.SkippedCount));
    for (const TRegSkippedLine& skipped : result.Skipped)
        say(QStringLiteral("line %1 skipped: %2").arg(skipped.Line).arg(skipped.Reason));
    if (result.SkippedCount > result.Skipped.size())
        say(QStringLiteral("%1 more lines skipped").arg(result.SkippedCount - result.Skipped.size()));
    return 0;
}

int runExport(const QString& key, const QString& file)
{
    QByteArray text;
    const TRegExportResult result = file.isEmpty() ? RegExportKey(key, &text) : RegExportFile(key, file);
    for (const QString& warning : result.Warnings)
        say(warning);
    if (!result.Ok) {
        say(result.Error);
        return 1;
    }
    if (file.isEmpty() && std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stdout) !=
                              static_cast<size_t>(text.size())) {
        say(QStringLiteral("cannot write to standard output"));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty())
        return usageError(QStringLiteral("no command given"));
    const QString& command = args.first();

    if (command == QLatin1String("/?") || command == QLatin1String("-h") ||
        command == QLatin1String("--help")) {
        std::fputs(Usage, stdout);
        std::fputs(Help, stdout);
        std::printf("The stores: %s (HKEY_CURRENT_USER) and %s (HKEY_LOCAL_MACHINE).\n",
                    TRegistryStore::pathFor(TRegRoot::CurrentUser).toLocal8Bit().constData(),
                    TRegistryStore::pathFor(TRegRoot::LocalMachine).toLocal8Bit().constData());
        return 0;
    }
    if (command.compare(QLatin1String("/S"), Qt::CaseInsensitive) == 0) {
        if (args.size() != 2)
            return usageError(QStringLiteral("/S takes exactly one file"));
        return runImport(args[1], {}, true);
    }
    if (command == QLatin1String("import")) {
        TRegImportOptions options;
        int next = 1;
        if (next < args.size() && args[next] == QLatin1String("--only")) {
            // An empty key would mean "no limit" to the importer.
            if (next + 1 >= args.size() || args[next + 1].isEmpty())
                return usageError(QStringLiteral("--only needs a key"));
            options.OnlyKey = args[next + 1];
            next += 2;
        }
        if (args.size() - next != 1)
            return usageError(QStringLiteral("import takes exactly one file"));
        return runImport(args[next], options, false);
    }
    if (command == QLatin1String("export")) {
        if (args.size() < 2 || args.size() > 3)
            return usageError(QStringLiteral("export takes a key and at most one file"));
        return runExport(args[1], args.size() == 3 ? args[2] : QString());
    }
    return usageError(QStringLiteral("unknown command \"%1\"").arg(command));
}
