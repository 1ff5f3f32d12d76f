#include "app/TMenuImages.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <array>
#include <cmath>

namespace TMenuImages {
namespace {

const QColor Outline(64, 64, 64);
const QColor PageGrey(120, 120, 120);
const QColor TitleBlue(58, 110, 165);
const QColor DeepBlue(28, 63, 148);
const QColor LinkBlue(28, 95, 209);

QImage blank(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A sheet of paper with its top right corner folded over.
void drawPage(QPainter& p, const QRectF& r)
{
    const qreal fold = 4;
    QPainterPath sheet;
    sheet.moveTo(r.left(), r.top());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.right(), r.bottom());
    sheet.lineTo(r.left(), r.bottom());
    sheet.closeSubpath();
    p.setPen(QPen(PageGrey, 1));
    p.setBrush(Qt::white);
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    p.setBrush(QColor(214, 214, 214));
    p.drawPath(corner);
}

// A window with a blue title bar; the frame is given in whole pixels.
void drawWindow(QPainter& p, const QRect& r)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(r);
    p.setBrush(TitleBlue);
    p.drawRect(QRect(r.left(), r.top(), r.width(), 3));
    p.setPen(QPen(DeepBlue, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5));
}

void paintExit(QPainter& p)
{
    // A doorway with the door swung open and an arrow leading out of it.
    p.setPen(QPen(Outline, 1));
    p.setBrush(QColor(50, 50, 50));
    p.drawRect(QRectF(1.5, 1.5, 8, 13));
    p.setBrush(QColor(168, 96, 48));
    p.drawPolygon(QPolygonF({QPointF(1.5, 1.5), QPointF(5.5, 3.5), QPointF(5.5, 15.5), QPointF(1.5, 14.5)}));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 220, 90));
    p.drawRect(QRectF(4, 8, 1, 1));
    p.setBrush(QColor(30, 150, 40));
    p.drawRect(QRectF(7, 7, 5, 3));
    p.drawPolygon(QPolygonF({QPointF(11, 4), QPointF(15.5, 8.5), QPointF(11, 13)}));
}

void paintOptions(QPainter& p)
{
    drawWindow(p, QRect(0, 1, 13, 11));
    // A spanner laid across the window's lower right corner.
    p.setRenderHint(QPainter::Antialiasing);
    const QColor steel(110, 115, 125);
    p.setPen(QPen(QColor(40, 40, 45), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 14), QPointF(11, 7.5));
    p.setPen(QPen(steel, 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 14), QPointF(11, 7.5));
    p.setPen(QPen(QColor(40, 40, 45), 1));
    p.setBrush(steel);
    p.drawEllipse(QPointF(12, 6.5), 3.2, 3.2);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(13.6, 4.9), 1.5, 1.5);
}

void paintAbout(QPainter& p)
{
    drawPage(p, QRectF(2.5, 0.5, 11, 15));
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath hook;
    hook.moveTo(5.5, 5.5);
    hook.cubicTo(5.5, 2.2, 10.8, 2.2, 10.8, 5.3);
    hook.cubicTo(10.8, 7.4, 8, 7.6, 8, 10);
    p.setPen(QPen(LinkBlue, 2, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(hook);
    p.setPen(Qt::NoPen);
    p.setBrush(LinkBlue);
    p.drawEllipse(QPointF(8, 12.8), 1.3, 1.3);
}

void paintWebPage(QPainter& p)
{
    drawPage(p, QRectF(1.5, 0.5, 13, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(TitleBlue);
    p.drawRect(QRect(3, 3, 7, 2));
    // Underlined links and a line of plain text.
    p.setBrush(LinkBlue);
    p.drawRect(QRect(3, 7, 9, 1));
    p.drawRect(QRect(3, 10, 6, 1));
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRect(3, 13, 9, 1));
}

void paintGlobe(QPainter& p)
{
    drawPage(p, QRectF(0.5, 0.5, 9, 11));
    p.setRenderHint(QPainter::Antialiasing);
    const QPointF centre(10, 10);
    QRadialGradient sea(QPointF(8.5, 8.5), 6.5);
    sea.setColorAt(0, QColor(120, 190, 255));
    sea.setColorAt(1, QColor(20, 80, 170));
    p.setPen(QPen(QColor(15, 55, 120), 1));
    p.setBrush(sea);
    p.drawEllipse(centre, 5.5, 5.5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(60, 160, 60));
    p.drawPolygon(
        QPolygonF({QPointF(7, 7), QPointF(10, 6), QPointF(10.5, 9), QPointF(8, 11.5), QPointF(6, 10)}));
    p.drawPolygon(QPolygonF({QPointF(11.5, 11), QPointF(14, 10), QPointF(13.5, 13.5), QPointF(11.5, 14)}));
    p.setPen(QPen(QColor(220, 235, 255, 160), 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 2.5, 5.5);
    p.drawLine(QPointF(4.5, 10), QPointF(15.5, 10));
}

void paintTextDocument(QPainter& p)
{
    drawPage(p, QRectF(2.5, 0.5, 11, 15));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 40, 40));
    const std::array<int, 5> lengths{5, 8, 7, 8, 5};
    for (int i = 0; i < static_cast<int>(lengths.size()); ++i)
        p.drawRect(QRect(4, 3 + 2 * i + (i > 0 ? 1 : 0), lengths[static_cast<size_t>(i)], 1));
}

void paintWindow(QPainter& p)
{
    drawWindow(p, QRect(1, 2, 14, 12));
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRect(12, 3, 2, 1));
    p.setBrush(QColor(200, 210, 225));
    p.drawRect(QRect(2, 5, 12, 1));
}

void paintLightningBolt(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(170, 90, 0), 1));
    p.setBrush(QColor(255, 212, 0));
    p.drawPolygon(QPolygonF({QPointF(9.5, 0.5), QPointF(3, 9), QPointF(7, 9), QPointF(5, 15.5),
                             QPointF(13, 6), QPointF(9, 6), QPointF(11.5, 0.5)}));
}

void paintTable(QPainter& p)
{
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(QRect(0, 2, 16, 12));
    p.setBrush(TitleBlue);
    p.drawRect(QRect(0, 2, 16, 3));
    p.setBrush(QColor(130, 130, 130));
    for (int y : {2, 5, 8, 11, 13})
        p.drawRect(QRect(0, y, 16, 1));
    for (int x : {0, 5, 10, 15})
        p.drawRect(QRect(x, 2, 1, 12));
}

void paintLightBulb(QPainter& p)
{
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient glow(QPointF(6.5, 4.5), 6);
    glow.setColorAt(0, QColor(255, 255, 210));
    glow.setColorAt(1, QColor(250, 200, 20));
    p.setPen(QPen(QColor(160, 120, 0), 1));
    p.setBrush(glow);
    QPainterPath bulb;
    bulb.addEllipse(QPointF(8, 6), 5, 5);
    QPainterPath neck;
    neck.addRect(QRectF(5.5, 9, 5, 3));
    p.drawPath(bulb.united(neck));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(140, 140, 140));
    p.drawRect(QRectF(5.5, 12, 5, 3));
    p.setBrush(QColor(90, 90, 90));
    p.drawRect(QRectF(5.5, 13, 5, 1));
    p.drawRect(QRectF(6.5, 15, 3, 1));
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(6, 4.5), 1.2, 1.6);
}

void paintBurst(QPainter& p)
{
    // Rays of many colours around a white centre: the eye-catching "new" marker.
    p.setRenderHint(QPainter::Antialiasing);
    const std::array<QColor, 8> colours{QColor(230, 30, 30),  QColor(255, 140, 0), QColor(250, 220, 0),
                                        QColor(40, 180, 40),  QColor(0, 190, 200), QColor(30, 90, 230),
                                        QColor(150, 50, 210), QColor(240, 60, 160)};
    const QPointF centre(8, 8);
    const int rays = static_cast<int>(colours.size());
    p.setPen(Qt::NoPen);
    for (int i = 0; i < rays; ++i) {
        const double tip = 2 * M_PI * i / rays - M_PI / 2;
        const double half = M_PI / rays;
        const QPointF outer = centre + QPointF(7.8 * std::cos(tip), 7.8 * std::sin(tip));
        const QPointF left = centre + QPointF(4.4 * std::cos(tip - half), 4.4 * std::sin(tip - half));
        const QPointF right = centre + QPointF(4.4 * std::cos(tip + half), 4.4 * std::sin(tip + half));
        p.setBrush(colours[static_cast<size_t>(i)]);
        p.drawPolygon(QPolygonF({left, outer, right, centre}));
    }
    p.setBrush(QColor(255, 250, 200));
    p.drawEllipse(centre, 2.2, 2.2);
}

} // namespace

QImage MenuImage(int index)
{
    if (index < 0 || index >= Count)
        return {};
    QImage image = blank(ImageSize);
    QPainter p(&image);
    switch (index) {
    case Exit:
        paintExit(p);
        break;
    case Options:
        paintOptions(p);
        break;
    case About:
        paintAbout(p);
        break;
    case WebPage:
        paintWebPage(p);
        break;
    case GlobeWithPage:
        paintGlobe(p);
        break;
    case TextDocument:
        paintTextDocument(p);
        break;
    case Window:
        paintWindow(p);
        break;
    case LightningBolt:
        paintLightningBolt(p);
        break;
    case Table:
        paintTable(p);
        break;
    case LightBulb:
        paintLightBulb(p);
        break;
    case NewMarker:
        paintBurst(p);
        break;
    default:
        break;
    }
    return image;
}

QList<QImage> ImageList()
{
    QList<QImage> list;
    for (int i = 0; i < Count; ++i)
        list.append(MenuImage(i));
    return list;
}

QImage ProgramIconImage(int size)
{
    QImage image = blank(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Drawn on a 32-unit grid; small sizes keep the same shapes.
    p.scale(size / 32.0, size / 32.0);

    p.setPen(QPen(QColor(20, 22, 26), 1));
    p.setBrush(QColor(68, 74, 85));
    p.drawRoundedRect(QRectF(6, 4.5, 8, 5), 1.5, 1.5);

    QLinearGradient body(0, 8, 0, 27);
    body.setColorAt(0, QColor(110, 118, 132));
    body.setColorAt(1, QColor(38, 42, 50));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(2.5, 8.5, 27, 18), 3.5, 3.5);

    p.setBrush(QColor(208, 212, 218));
    p.drawEllipse(QPointF(16.5, 17.5), 7.8, 7.8);
    QRadialGradient glass(QPointF(14.5, 15.5), 6.5);
    glass.setColorAt(0, QColor(90, 170, 255));
    glass.setColorAt(1, QColor(10, 40, 100));
    p.setPen(QPen(QColor(20, 22, 26), 0.8));
    p.setBrush(glass);
    p.drawEllipse(QPointF(16.5, 17.5), 5.6, 5.6);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawEllipse(QPointF(14.3, 15.2), 1.7, 1.4);

    p.setBrush(QColor(225, 45, 40));
    p.drawEllipse(QPointF(26, 12), 1.6, 1.6);
    return image;
}

QIcon ProgramIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(ProgramIconImage(size)));
    return icon;
}

} // namespace TMenuImages
