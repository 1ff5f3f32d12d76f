#include "platform/TMakerSite.h"

QString MakerWebHost()
{
    const QString over = qEnvironmentVariable("VREL_WEB_HOST");
    return over.isEmpty() ? QStringLiteral(VREL_WEB_HOST_DEFAULT) : over;
}

QString MakerSupportEmail()
{
    return QStringLiteral(VREL_SUPPORT_EMAIL);
}
