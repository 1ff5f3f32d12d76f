#include "viewer/TWindowPosition.h"

#include <QGuiApplication>
#include <QWidget>

#include <cstdlib>

#include <xcb/xcb.h>

namespace {

// The X connection of the xcb platform; null elsewhere (the offscreen platform, too, may answer
// for the X11 interface, but without a connection).
xcb_connection_t* xcbConnection()
{
    if (!qGuiApp || QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

} // namespace

bool PositionsFromX11()
{
    return xcbConnection() != nullptr;
}

QPoint TrueWindowPosition(const QWidget* window)
{
    xcb_connection_t* connection = xcbConnection();
    if (!connection || !window->isVisible() || !window->testAttribute(Qt::WA_WState_Created))
        return window->pos();
    const auto id = static_cast<xcb_window_t>(window->winId());
    xcb_query_tree_reply_t* tree = xcb_query_tree_reply(connection, xcb_query_tree(connection, id), nullptr);
    if (!tree)
        return window->pos();
    const xcb_window_t root = tree->root;
    std::free(tree);
    xcb_translate_coordinates_reply_t* at = xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, id, root, 0, 0), nullptr);
    if (!at)
        return window->pos();
    const QPoint native(at->dst_x, at->dst_y);
    std::free(at);
    const qreal ratio = window->devicePixelRatioF();
    return ratio == 1.0 ? native : (QPointF(native) / ratio).toPoint();
}
