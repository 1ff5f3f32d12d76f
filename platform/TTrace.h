#pragma once

#include <QString>

// The user-visible trace: with VREL_TRACE=1 in the environment, one line per event on stderr:
//   vrel-trace: <event> <detail>
// <event> is one word (step, message, dialog-open, dialog-close, camera-open, camera-close,
// status, codec, signal, temp-removed, ...); <detail> is free text on the same line. The format is stable:
// tests and users read it. Cheap when tracing is off. Any thread.
namespace TTrace {
bool enabled();
void write(const char* event, const QString& detail);
// A "step" line: how far the start-up or shutdown has come.
inline void step(const QString& detail)
{
    write("step", detail);
}
} // namespace TTrace
