// Shows the tip of the day or the about box as the program would in a given language and
// writes a screenshot of the window. With "translated" the window's language is applied as
// ReapplyLanguage does while it is open, to see translated captions fit.
// Usage: show_dialogs tips|about <code> plain|translated <picture.png> [tip number]
// Without a tip number the tips window shows its longest tip, the hardest one to fit.
#include "dialogs/fTipsForm.h"
#include "dialogs/fmAbout.h"
#include "lang/ApplyLanguage.h"
#include "lang/Lang.h"
#include "options/fOptionsNew.h"

#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <memory>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vrel Web Camera"));
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr,
                     "usage: show_dialogs tips|about <code> plain|translated <picture.png> [tip number]\n");
        return 2;
    }
    const QString which = QString::fromLocal8Bit(argv[1]);
    const QString code = QString::fromLocal8Bit(argv[2]);
    const bool translated = QString::fromLocal8Bit(argv[3]) == QLatin1String("translated");
    const QString picture = QString::fromLocal8Bit(argv[4]);

    SetProgramFilePath(QStringLiteral(VREL_BIN_DIR "/vrel-web-camera"));
    ProgramOptions.Language = GetLanguageName(code);
    LoadMessages();

    std::unique_ptr<QDialog> window;
    if (which == QLatin1String("tips")) {
        auto tips = std::make_unique<TfrmTipsForm>();
        tips->TipsFile = TipsFileName(GetLanguageCode());
        window = std::move(tips);
    } else {
        window = std::make_unique<TAboutForm>();
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    if (auto* tips = qobject_cast<TfrmTipsForm*>(window.get())) {
        int longest = 0;
        for (int i = 0; i < tips->Tips.size(); ++i)
            longest = tips->Tips.at(i).size() > tips->Tips.at(longest).size() ? i : longest;
        tips->TipIndex = argc == 6 ? QString::fromLocal8Bit(argv[5]).toInt() : longest;
        tips->btnNextTipClick();
    }
    if (translated)
        ApplyLanguage(window.get());
    QTest::qWait(300);
    const QRect frame = window->frameGeometry();
    const QPixmap shot = window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
    if (!shot.save(picture))
        return 1;
    std::printf("saved %s %dx%d\n", qPrintable(picture), shot.width(), shot.height());
    return 0;
}
