#include "app/TrayMenuSettings.h"
#include "widgets/BarMenus.h"
#include "widgets/TrayShell.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QSocketNotifier>
#include <QTextStream>

#include <unistd.h>

namespace {

void Say(const QString& line)
{
    QTextStream out(stdout);
    out << line << Qt::endl;
}

QIcon CameraIcon()
{
    QPixmap picture(22, 22);
    picture.fill(QColor(0, 110, 130));
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::white);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(11, 11), 6, 6);
    return QIcon(picture);
}

class TShowReporter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show) {
            const auto* menu = static_cast<QWidget*>(watched);
            const QRect g = menu->geometry();
            Say(QStringLiteral("menu %1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
        } else if (event->type() == QEvent::Hide) {
            Say(QStringLiteral("menu-closed"));
        }
        return false;
    }
};

} // namespace

// A tray icon with the program's tray menu, for the desktop test: it reports on stdout what the
// user's clicks did, one line each, and ends on "quit" from stdin or when stdin closes.
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);

    TBcBarPopupMenu menu;
    menu.setObjectName(QStringLiteral("PopupMenu1"));
    ApplyTrayMenuSettings(&menu);
    QObject::connect(&menu, &QMenu::aboutToShow, &menu,
                     [&menu] { ApplyTrayBarColorDepth(&menu, GetColorDepth(&menu)); });
    const auto addItem = [&menu](const char* name, const QString& caption) {
        QAction* item = menu.addAction(caption);
        item->setObjectName(QLatin1String(name));
        QObject::connect(item, &QAction::triggered, item,
                         [item] { Say(QStringLiteral("triggered %1").arg(item->objectName())); });
        return item;
    };
    addItem("mnuAddnewCamera", QStringLiteral("Add new camera..."));
    menu.setDefaultAction(addItem("mnuOptions", QStringLiteral("Options...")));
    menu.addSeparator();
    addItem("mnuAbout", QStringLiteral("About..."));
    addItem("mnuExit", QStringLiteral("E&xit"));
    TShowReporter reporter;
    menu.installEventFilter(&reporter);

    TTrayIcon tray;
    tray.setObjectName(QStringLiteral("tiMain"));
    tray.SetHint(QStringLiteral("Vrel Web Camera|desktop test"));
    tray.SetPopupMenu(&menu);
    tray.OnClick = [](TTrayIcon*, TMouseButton button, TShiftState, int x, int y) {
        const char* name = button == TMouseButton::mbLeft    ? "left"
                           : button == TMouseButton::mbRight ? "right"
                                                             : "middle";
        Say(QStringLiteral("click %1 %2 %3").arg(QLatin1String(name)).arg(x).arg(y));
    };
    tray.OnDblClick = [](TTrayIcon*) { Say(QStringLiteral("dblclick")); };
    tray.SetIcon(CameraIcon());

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&app, &input] {
        char buffer[256];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0 || QByteArray(buffer, static_cast<int>(got)).contains("quit")) {
            input.setEnabled(false);
            app.quit();
        }
    });

    Say(QStringLiteral("ready %1 tray-available %2")
            .arg(tray.IsAdded() ? QStringLiteral("added") : QStringLiteral("not-added"))
            .arg(QSystemTrayIcon::isSystemTrayAvailable() ? 1 : 0));
    return app.exec();
}
