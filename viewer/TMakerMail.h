#pragma once

#include <QString>

// The two mail reports a camera window sends to the maker.
namespace TMakerMail {

enum class TReport
{
    InvalidCamera, // "Report invalid camera"
    AddToCatalog   // "Add camera to Vrel Kestro catalog "
};

// "mailto:" + address + the report's fixed subject query + the camera URL as the body. The
// URL is percent-encoded, so one holding "&", "#" or "?" arrives whole in the mail.
QString MailtoAddress(const QString& supportEmail, TReport report, const QString& cameraURL);

} // namespace TMakerMail
