#include "widgets/TX11WindowManager.h"

#include <QGuiApplication>

#include <cstdlib>
#include <cstring>

#include <xcb/xcb.h>

namespace {

xcb_atom_t InternAtom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    xcb_atom_t atom = XCB_ATOM_NONE;
    if (reply)
        atom = reply->atom;
    std::free(reply);
    return atom;
}

} // namespace

namespace TX11WindowManager {

bool Supports(const char* atomName)
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const xcb_atom_t supported = InternAtom(connection, "_NET_SUPPORTED");
    const xcb_atom_t wanted = InternAtom(connection, atomName);
    if (supported == XCB_ATOM_NONE || wanted == XCB_ATOM_NONE)
        return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    xcb_get_property_reply_t* reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr);
    bool found = false;
    if (reply && reply->format == 32) {
        const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
        const int count = xcb_get_property_value_length(reply) / 4;
        for (int i = 0; i < count && !found; ++i)
            found = atoms[i] == wanted;
    }
    std::free(reply);
    return found;
}

bool CameraWindowsUnmanaged()
{
    static const bool unmanaged = QGuiApplication::platformName() == QLatin1String("xcb") &&
                                  !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
                                  !Supports("_NET_WM_STATE_ABOVE");
    return unmanaged;
}

} // namespace TX11WindowManager
