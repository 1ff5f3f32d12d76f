#include "app/TTrayBarColours.h"

TTrayBarColours TrayBarColoursForDepth(int depth)
{
    if (depth == 4)
        return {false, QColor(), QColor()};
    if (depth == 8)
        return {true, QColor(0, 0, 128), QColor(0, 0, 128)};
    return {true, QColor(Qt::black), TrayBarGradientEnd()};
}

QColor TrayBarGradientEnd()
{
    return QColor(156, 182, 214);
}
