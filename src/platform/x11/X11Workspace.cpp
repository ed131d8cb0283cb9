// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11Workspace.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <unistd.h>

namespace parlune {

namespace {

// One value of a 32-bit window or cardinal property; none when the property is absent.
std::optional<unsigned long> longProperty(Display* display, Window window, const char* name, Atom type)
{
    const Atom property = XInternAtom(display, name, False);
    Atom actualType = 0;
    int actualFormat = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::optional<unsigned long> value;
    if (XGetWindowProperty(display, window, property, 0, 1, False, type, &actualType, &actualFormat, &count,
                           &remaining, &data) == Success &&
        data && actualType == type && actualFormat == 32 && count == 1)
        value = *reinterpret_cast<unsigned long*>(data);
    if (data)
        XFree(data);
    return value;
}

// WORKAROUND: Xlib: a window can vanish between two requests, and Xlib's default error handler ends
// the program on the resulting BadWindow. While one of these is alive, errors only fail the request.
class IgnoredErrors
{
public:
    explicit IgnoredErrors(Display* display)
        : m_display(display)
    {
        XSync(m_display, False);
        m_previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
    }
    ~IgnoredErrors()
    {
        XSync(m_display, False);
        XSetErrorHandler(m_previous);
    }
    IgnoredErrors(const IgnoredErrors&) = delete;
    IgnoredErrors& operator=(const IgnoredErrors&) = delete;

private:
    Display* m_display;
    XErrorHandler m_previous = nullptr;
};

} // namespace

X11Workspace::X11Workspace() = default;

X11Workspace::~X11Workspace()
{
    if (m_display)
        XCloseDisplay(m_display);
}

bool X11Workspace::connect()
{
    if (!m_display)
        m_display = XOpenDisplay(nullptr);
    return m_display != nullptr;
}

bool X11Workspace::hasEwmhWindowManager()
{
    return longProperty(m_display, DefaultRootWindow(m_display), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW)
               .value_or(0) != 0;
}

unsigned long X11Workspace::activeWindow()
{
    if (hasEwmhWindowManager())
        return longProperty(m_display, DefaultRootWindow(m_display), "_NET_ACTIVE_WINDOW", XA_WINDOW)
            .value_or(0);
    // WORKAROUND: X11 without a window manager (a bare Xvfb, some kiosks) has no active window
    // property: the window with the keyboard focus is the one in front.
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(m_display, &focus, &revert);
    return focus == None || focus == PointerRoot ? 0 : focus;
}

std::optional<RunningApplication> X11Workspace::applicationOfWindow(unsigned long window)
{
    // The focus may sit on a child of the application's top-level window: climb to the one that
    // carries the class.
    while (window != 0 && window != DefaultRootWindow(m_display)) {
        XClassHint hint{};
        if (XGetClassHint(m_display, window, &hint)) {
            RunningApplication application;
            application.instanceName = QString::fromLocal8Bit(hint.res_name ? hint.res_name : "");
            application.bundleIdentifier = QString::fromLocal8Bit(hint.res_class ? hint.res_class : "");
            application.window = window;
            application.processIdentifier =
                qint64(longProperty(m_display, window, "_NET_WM_PID", XA_CARDINAL).value_or(0));
            if (hint.res_name)
                XFree(hint.res_name);
            if (hint.res_class)
                XFree(hint.res_class);
            if (application.processIdentifier == getpid())
                application.bundleIdentifier = currentApplication().bundleIdentifier;
            return application;
        }
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (!XQueryTree(m_display, window, &root, &parent, &children, &count))
            return std::nullopt;
        if (children)
            XFree(children);
        window = parent;
    }
    return std::nullopt;
}

std::optional<RunningApplication> X11Workspace::frontmostApplication()
{
    if (!connect())
        return std::nullopt;
    const IgnoredErrors ignored(m_display);
    const unsigned long window = activeWindow();
    return window ? applicationOfWindow(window) : std::nullopt;
}

RunningApplication X11Workspace::currentApplication()
{
    // Qt names our windows' class after the application's name.
    RunningApplication application;
    application.bundleIdentifier = QCoreApplication::applicationName();
    application.instanceName = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    application.processIdentifier = getpid();
    return application;
}

unsigned long X11Workspace::windowToActivate(const RunningApplication& application)
{
    XWindowAttributes attributes;
    if (XGetWindowAttributes(m_display, Window(application.window), &attributes))
        return application.window;
    // The window seen at the start of the dictation has closed since: another window of the same
    // process stands for the application.
    if (application.processIdentifier == 0)
        return 0;
    const Atom clientList = XInternAtom(m_display, "_NET_CLIENT_LIST", False);
    Atom actualType = 0;
    int actualFormat = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    unsigned long found = 0;
    if (XGetWindowProperty(m_display, DefaultRootWindow(m_display), clientList, 0, 4096, False, XA_WINDOW,
                           &actualType, &actualFormat, &count, &remaining, &data) == Success &&
        data && actualFormat == 32) {
        const auto* windows = reinterpret_cast<const unsigned long*>(data);
        // The list runs from the oldest window to the newest; the newest is the likeliest target.
        for (unsigned long i = count; i > 0 && found == 0; --i) {
            const auto pid = longProperty(m_display, windows[i - 1], "_NET_WM_PID", XA_CARDINAL);
            if (pid && qint64(*pid) == application.processIdentifier)
                found = windows[i - 1];
        }
    }
    if (data)
        XFree(data);
    return found;
}

bool X11Workspace::activate(const RunningApplication& application)
{
    if (!connect() || application.window == 0)
        return false;
    const IgnoredErrors ignored(m_display);
    const Window root = DefaultRootWindow(m_display);
    const auto window = Window(windowToActivate(application));
    if (window == 0)
        return false;
    if (hasEwmhWindowManager()) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = XInternAtom(m_display, "_NET_ACTIVE_WINDOW", False);
        event.xclient.format = 32;
        // Source 2, a pager: the user asked for it, so focus-stealing prevention must not refuse.
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(m_display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    } else {
        XRaiseWindow(m_display, window);
        XSetInputFocus(m_display, window, RevertToParent, CurrentTime);
    }
    XSync(m_display, False);
    return true;
}

bool X11Workspace::launch(const QString& program, const QStringList& arguments)
{
    if (QStandardPaths::findExecutable(program).isEmpty())
        return false;
    return QProcess::startDetached(program, arguments);
}

} // namespace parlune
