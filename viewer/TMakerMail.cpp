#include "viewer/TMakerMail.h"

#include <QUrl>

namespace TMakerMail {

QString MailtoAddress(const QString& supportEmail, TReport report, const QString& cameraURL)
{
    const QString query = report == TReport::InvalidCamera
                              ? QStringLiteral("?subject=Invalid%20Camera%20Report&body=")
                              : QStringLiteral("?subject=New%20Camera%20For%20Your%20Catalog&body=");
    return QStringLiteral("mailto:") + supportEmail + query +
           QString::fromLatin1(QUrl::toPercentEncoding(cameraURL));
}

} // namespace TMakerMail
