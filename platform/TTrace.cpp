#include "platform/TTrace.h"

#include <cstdio>

namespace TTrace {

bool enabled()
{
    static const bool on = qEnvironmentVariableIntValue("VREL_TRACE") != 0;
    return on;
}

void write(const char* event, const QString& detail)
{
    if (!enabled())
        return;
    QString text = detail;
    text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    // One fprintf per line keeps lines whole when several threads trace.
    std::fprintf(stderr, "vrel-trace: %s %s\n", event, text.toUtf8().constData());
    std::fflush(stderr);
}

} // namespace TTrace
