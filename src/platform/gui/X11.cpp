#include "platform/gui/X11.h"

#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace platform::x11 {

xcb_connection_t* connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

std::uint32_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    xcb_atom_t found = XCB_ATOM_NONE;
    if (reply)
        found = reply->atom;
    std::free(reply);
    return found;
}

std::uint32_t rootWindow(xcb_connection_t* connection)
{
    const xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection));
    if (!screens.rem)
        return XCB_WINDOW_NONE;
    return screens.data->root;
}

bool embeddingTrayPresent()
{
    xcb_connection_t* c = connection();
    if (!c)
        return false;
    // The tray owns the selection of its screen (the first: the programs show there).
    const xcb_atom_t selection = atom(c, "_NET_SYSTEM_TRAY_S0");
    if (selection == XCB_ATOM_NONE)
        return false;
    xcb_get_selection_owner_reply_t* reply =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection), nullptr);
    bool present = false;
    if (reply)
        present = reply->owner != XCB_WINDOW_NONE;
    std::free(reply);
    return present;
}

}  // namespace platform::x11
