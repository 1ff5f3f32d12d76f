#include "options/TPagePictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>

namespace TPagePictures {
namespace {

const QColor Outline(64, 64, 64);
const QColor TitleBlue(58, 110, 165);
const QColor DeepBlue(28, 63, 148);
const QColor TickGreen(30, 150, 40);

QImage blank()
{
    QImage image(Size, Size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void drawCheckBox(QPainter& p, const QRectF& box)
{
    p.setPen(QPen(Outline, 1));
    p.setBrush(Qt::white);
    p.drawRect(box);
    p.setPen(QPen(TickGreen, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({box.topLeft() + QPointF(1.5, 2.8), box.topLeft() + QPointF(2.8, 4.3),
                              box.topLeft() + QPointF(5, 1.2)}));
}

} // namespace

QImage General()
{
    QImage image = blank();
    QPainter p(&image);
    // The window: white body, blue title bar, deep blue frame.
    const QRect window(1, 3, 25, 22);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(window);
    p.setBrush(TitleBlue);
    p.drawRect(QRect(window.left(), window.top(), window.width(), 5));
    p.setBrush(Qt::white);
    p.drawRect(QRect(window.right() - 4, window.top() + 2, 3, 1));
    p.setPen(QPen(DeepBlue, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(window).adjusted(0.5, 0.5, -0.5, -0.5));

    p.setRenderHint(QPainter::Antialiasing);
    drawCheckBox(p, QRectF(4.5, 11.5, 6, 6));
    drawCheckBox(p, QRectF(4.5, 19.5, 6, 6).adjusted(0, -1, 0, -1));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 150, 150));
    p.drawRect(QRectF(13, 13.5, 9, 2));
    p.drawRect(QRectF(13, 20.5, 7, 2));

    // The spanner from the lower right corner up into the window.
    const QColor steel(110, 115, 125);
    p.setPen(QPen(QColor(40, 40, 45), 6.5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 29), QPointF(25, 18));
    p.setPen(QPen(steel, 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(14, 29), QPointF(25, 18));
    p.setPen(QPen(QColor(40, 40, 45), 1.2));
    p.setBrush(steel);
    p.drawEllipse(QPointF(26.5, 15.5), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::transparent);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawEllipse(QPointF(29, 13), 2.4, 2.4);
    return image;
}

QImage Favorites()
{
    QImage image = blank();
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // The camera body, lens and viewfinder, as the program icon draws them.
    p.setPen(QPen(QColor(20, 22, 26), 1));
    p.setBrush(QColor(68, 74, 85));
    p.drawRoundedRect(QRectF(5, 8.5, 7, 4), 1.2, 1.2);
    QLinearGradient body(0, 11, 0, 29);
    body.setColorAt(0, QColor(110, 118, 132));
    body.setColorAt(1, QColor(38, 42, 50));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(1.5, 11.5, 25, 17), 3, 3);
    p.setBrush(QColor(208, 212, 218));
    p.drawEllipse(QPointF(14, 20), 7, 7);
    QRadialGradient glass(QPointF(12.5, 18.5), 6);
    glass.setColorAt(0, QColor(90, 170, 255));
    glass.setColorAt(1, QColor(10, 40, 100));
    p.setPen(QPen(QColor(20, 22, 26), 0.8));
    p.setBrush(glass);
    p.drawEllipse(QPointF(14, 20), 5, 5);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 210));
    p.drawEllipse(QPointF(12.2, 18.2), 1.5, 1.2);

    // A five-pointed gold star over the top right corner.
    const QPointF centre(24, 8.5);
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double angle = -M_PI / 2 + i * M_PI / 5;
        const double radius = i % 2 == 0 ? 8 : 3.4;
        star.append(centre + QPointF(radius * std::cos(angle), radius * std::sin(angle)));
    }
    QRadialGradient gold(centre - QPointF(1.5, 2), 8);
    gold.setColorAt(0, QColor(255, 245, 170));
    gold.setColorAt(1, QColor(240, 170, 0));
    p.setPen(QPen(QColor(170, 100, 0), 1));
    p.setBrush(gold);
    p.drawPolygon(star);
    return image;
}

} // namespace TPagePictures
