#pragma once

#include <QString>

// The maker's web host, without a scheme ("www.example.com"). A build setting;
// $VREL_WEB_HOST overrides it at run time so tests can point the program at loopback.
QString MakerWebHost();
// The maker's support e-mail address, a build setting.
QString MakerSupportEmail();
