#include "platform/TRegistry.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vrel Web Camera"));
    std::fprintf(stderr, "vrel-web-camera: the windows are not built yet; the settings store is %s.\n",
                 TRegKey::open(TRegRoot::CurrentUser, QString()).isOpen() ? "present" : "empty");
    return 0;
}
