#include "app/TrayMenuSettings.h"

#include "app/TTrayBarColours.h"
#include "widgets/BarMenus.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void ApplyTrayMenuSettings(TBcBarPopupMenu* menu)
{
    TBcBar* bar = menu->Bar();
    bar->SetGradientStart(QColor(Qt::black));
    bar->SetGradientEnd(TrayBarGradientEnd());
    bar->SetWidth(21);
    bar->BarPicture()->SetTransparent(false);
    QFont captionFont(QStringLiteral("Times New Roman"));
    captionFont.setPixelSize(19);
    captionFont.setBold(true);
    TBcBarCaption* caption = bar->BarCaption();
    caption->SetFont(captionFont);
    caption->SetFontColor(QColor(Qt::white));
    caption->SetCaption(QStringLiteral("Vrel Kestro Software"));
    QFont smallFont(QStringLiteral("MS Sans Serif"));
    smallFont.setPixelSize(11);
    menu->Separators()->SetFont(smallFont);
    menu->SetMenuFont(smallFont);
}

void ApplyTrayBarColorDepth(TBcBarPopupMenu* menu, int depth)
{
    const TTrayBarColours colours = TrayBarColoursForDepth(depth);
    TBcBar* bar = menu->Bar();
    bar->SetVisible(false);
    if (!colours.visible)
        return;
    bar->SetGradientStart(colours.start);
    bar->SetGradientEnd(colours.end);
    bar->SetVisible(true);
}

int GetColorDepth(const QWidget* widget)
{
    QScreen* screen = widget ? widget->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->depth() : 32;
}
