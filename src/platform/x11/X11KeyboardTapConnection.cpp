// SPDX-License-Identifier: GPL-3.0-or-later
// The tap's own connection to the X server: opening it, watching it from the event loop, losing it.
#include "platform/x11/X11KeyboardTap.h"

#include "platform/Log.h"
#include "platform/x11/SyntheticKeys.h"
#include "platform/x11/X11ErrorTrap.h"

#include <QTimer>

#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include <algorithm>
#include <array>

namespace parlune {

namespace {

// WORKAROUND: Xlib's default handler of a broken connection ends the program; only when the
// process-wide handler returns does Xlib go on to the connection's own exit handler, which may return
// too. Our connections' breaks are let through to it; every other connection keeps the handler it had.
std::vector<Display*> tapConnections;
XIOErrorHandler previousIOErrorHandler = nullptr;

int onIOError(Display* display)
{
    if (std::find(tapConnections.begin(), tapConnections.end(), display) != tapConnections.end())
        return 0;
    return previousIOErrorHandler ? previousIOErrorHandler(display) : 0;
}

void watchIOErrors(Display* display)
{
    // Again at each connection, in case another library set its own handler since.
    const XIOErrorHandler current = XSetIOErrorHandler(&onIOError);
    if (current != &onIOError)
        previousIOErrorHandler = current;
    tapConnections.push_back(display);
}

void closeConnection(Display* display)
{
    XCloseDisplay(display);
    tapConnections.erase(std::remove(tapConnections.begin(), tapConnections.end(), display),
                         tapConnections.end());
}

} // namespace

bool X11KeyboardTap::connectToServer()
{
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    // A lost connection is reported as a disabled tap instead of ending the program.
    watchIOErrors(display);
    XSetIOErrorExitHandler(display, &X11KeyboardTap::onIOErrorExit, this);

    int event = 0, error = 0;
    // Raw events reach clients whatever grabs are active only for clients of version 2.1 or later.
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &m_xinputOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success || major < 2) {
        closeConnection(display);
        return false;
    }

    std::array<unsigned char, XIMaskLen(XI_LASTEVENT)> bits{};
    XISetMask(bits.data(), XI_RawKeyPress);
    XISetMask(bits.data(), XI_RawKeyRelease);
    // WORKAROUND: while a client grabs the keyboard, X keeps the master keyboard's raw events from
    // that client (it would have them through its grab, were it an XInput2 grab). Our grabs are core
    // grabs, so we would lose the keys of our own shortcut: we listen to the physical keyboards (the
    // slave devices), which nobody grabs, instead.
    XIEventMask mask{XIAllDevices, static_cast<int>(bits.size()), bits.data()};
    {
        X11ErrorTrap trap(display);
        XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
        if (!trap.failedRequests().empty()) {
            closeConnection(display);
            return false;
        }
    }

    // Keys already down when we connect (the shortcut's modifiers, typically) count as down.
    std::array<char, 32> keys{};
    XQueryKeymap(display, keys.data());
    m_down.reset();
    for (unsigned keycode = 0; keycode < 256; ++keycode)
        m_down[keycode] = (keys[keycode / 8] >> (keycode % 8)) & 1;

    m_display = display;
    findXTestDevices();
    if (m_ours)
        m_ours->setListening(true);
    // Any resource of ours names the connection; this pixmap is only that.
    m_connectionId = XCreatePixmap(display, DefaultRootWindow(display), 1, 1, 1);
    m_connectionLost = false;
    readModifierMapping();
    m_held.clear();
    updateGrabs();

    m_notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read, m_context.get());
    QObject::connect(m_notifier, &QSocketNotifier::activated, m_notifier, [this] { readEvents(); });
    readEventsLater();
    return true;
}

void X11KeyboardTap::disconnectFromServer()
{
    if (m_notifier) {
        m_notifier->setEnabled(false);
        // This may run inside the notifier's own signal.
        m_notifier->deleteLater();
        m_notifier = nullptr;
    }
    m_readScheduled = false;
    if (m_display) {
        if (m_ours)
            m_ours->setListening(false);
        // Closing the connection releases every grab we hold.
        closeConnection(m_display);
        m_display = nullptr;
        m_connectionId = 0;
    }
    m_held.clear();
    m_grabsHeld = true;
    m_down.reset();
}

void X11KeyboardTap::onIOErrorExit(_XDisplay*, void* tap)
{
    static_cast<X11KeyboardTap*>(tap)->m_connectionLost = true;
}

void X11KeyboardTap::readEventsLater()
{
    // Xlib may have read events into its queue while waiting for a reply; the socket then stays quiet.
    if (m_readScheduled || !m_display || !m_notifier || XEventsQueued(m_display, QueuedAlready) == 0)
        return;
    m_readScheduled = true;
    QTimer::singleShot(0, m_context.get(), [this] {
        m_readScheduled = false;
        readEvents();
    });
}

void X11KeyboardTap::connectionLost()
{
    logLine("Parlune: lost the connection to the X server, the shortcut is off until it comes back");
    disconnectFromServer();
    m_connectionLost = false;
    reportDisabled();
}

void X11KeyboardTap::reportDisabled()
{
    if (m_handler)
        deliver(EventType::disabledByTimeout, {});
}

} // namespace parlune
