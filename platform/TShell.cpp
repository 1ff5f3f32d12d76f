#include "platform/TShell.h"

#include "platform/TTrace.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace TShell {
namespace {
TLauncher& launcher()
{
    static TLauncher l;
    return l;
}
} // namespace

void setLauncher(TLauncher l)
{
    launcher() = std::move(l);
}

bool Open(const QString& address)
{
    TTrace::write("shell-open", address);
    if (launcher())
        return launcher()(address);
    if (qEnvironmentVariable("VREL_SHELL_OPEN") == QLatin1String("off"))
        return false;
    // A plain path is a local file; anything with a scheme goes to its handler as written.
    const QUrl url =
        QFileInfo(address).isAbsolute() ? QUrl::fromLocalFile(address) : QUrl(address, QUrl::TolerantMode);
    return QDesktopServices::openUrl(url);
}

} // namespace TShell
