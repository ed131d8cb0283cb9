// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/X11WindowHints.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdint>

namespace parlune::X11WindowHints {

namespace {

xcb_connection_t* connection()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return nullptr;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->connection() : nullptr;
}

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return result;
}

} // namespace

void showOnAllDesktops(QWindow& window)
{
    xcb_connection_t* x = connection();
    if (!x)
        return;
    // The desktop number 0xFFFFFFFF means every desktop.
    const uint32_t allDesktops = 0xFFFFFFFF;
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()), atom(x, "_NET_WM_DESKTOP"),
                        XCB_ATOM_CARDINAL, 32, 1, &allDesktops);
    xcb_flush(x);
}

void blurBehind(QWindow& window)
{
    xcb_connection_t* x = connection();
    if (!x)
        return;
    // An empty region asks for the whole window; compositors without blur ignore the property.
    xcb_change_property(x, XCB_PROP_MODE_REPLACE, xcb_window_t(window.winId()),
                        atom(x, "_KDE_NET_WM_BLUR_BEHIND_REGION"), XCB_ATOM_CARDINAL, 32, 0, nullptr);
    xcb_flush(x);
}

} // namespace parlune::X11WindowHints
