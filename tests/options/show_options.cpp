// Shows the options window as the program would in a given language, on a given page, owned by a
// hidden main window, and writes a screenshot of it. With a number of seconds it then stays open
// that long (for a script to look at the window); it prints its X window id once shown.
// Usage: show_options <code> general|favorites <picture.png> [seconds]
// The store is VREL_USER_REGISTRY's; three favourites are added to it for the Favorites page.
#include "camera/RegistryLayout.h"
#include "lang/Lang.h"
#include "options/TfrmOptionsForm.h"
#include "options/fOptionsNew.h"
#include "platform/TRegistry.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vrel Web Camera"));
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: show_options <code> general|favorites <picture.png> [seconds]\n");
        return 2;
    }
    const QString code = QString::fromLocal8Bit(argv[1]);
    const int page = QString::fromLocal8Bit(argv[2]) == QLatin1String("favorites")
                         ? TfrmOptionsForm::FavoritesPage
                         : TfrmOptionsForm::GeneralPage;
    const QString picture = QString::fromLocal8Bit(argv[3]);
    const int seconds = argc == 5 ? QString::fromLocal8Bit(argv[4]).toInt() : 0;

    for (const char* name : {"Harbour Webcam", "Town Square", "Mountain Pass (north view)"}) {
        TRegKey key = TRegKey::create(TRegRoot::CurrentUser, RegistryLayout::MyFavoritesKey +
                                                                 QLatin1Char('\\') + QLatin1String(name));
        key.writeString(QStringLiteral("URL"), QStringLiteral("http://127.0.0.1:1/cam.jpg"));
    }
    SetProgramFilePath(QStringLiteral(VREL_BIN_DIR "/vrel-web-camera"));
    ProgramOptions.Language = GetLanguageName(code);
    // The window shows the stored options; store the language so that it shows that one too.
    ProgramOptions.SaveOptions();
    LoadMessages();

    // The hidden main form owns the window, as in the program.
    QWidget owner;
    owner.winId();
    TfrmOptionsForm form(nullptr, &owner);
    form.ShowPage(page);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    QTest::qWait(300);
    const QRect frame = form.frameGeometry();
    const QPixmap shot = form.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(picture))
        return 1;
    std::printf("saved %s %dx%d\n", qPrintable(picture), shot.width(), shot.height());
    if (seconds <= 0)
        return 0;
    std::printf("window 0x%llx\n", static_cast<unsigned long long>(form.winId()));
    std::fflush(stdout);
    QTimer::singleShot(seconds * 1000, &app, &QApplication::quit);
    return app.exec();
}
