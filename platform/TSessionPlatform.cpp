#include "platform/TSessionPlatform.h"

QString ChooseQtPlatform(const QProcessEnvironment& environment)
{
    if (!environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty())
        return QString();
    if (environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty() ||
        environment.value(QStringLiteral("DISPLAY")).isEmpty())
        return QString();
    return QStringLiteral("xcb");
}
