#include "app/TMenuImages.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

// Writes the program icon as <folder>/<n>x<n>/apps/vrel-web-camera.png for the hicolor theme.
int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: vrel-make-icons FOLDER\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(folder).arg(size);
        if (!QDir().mkpath(dir) ||
            !TMenuImages::ProgramIconImage(size).save(dir + QStringLiteral("/vrel-web-camera.png"))) {
            std::fprintf(stderr, "vrel-make-icons: cannot write %s\n", qPrintable(dir));
            return 1;
        }
    }
    return 0;
}
