#pragma once

#include <QString>

#include <functional>

// Hands a web address, mailto: link or file to the desktop's default handler (xdg-open).
// Failures are silent. Traced as "shell-open <address>". With VREL_SHELL_OPEN=off in the
// environment nothing is launched (tests of whole processes); in-process tests replace the
// launcher. UI thread only.
namespace TShell {
using TLauncher = std::function<bool(const QString& address)>;
void setLauncher(TLauncher launcher); // empty: the desktop's handler again
bool Open(const QString& address);
} // namespace TShell
