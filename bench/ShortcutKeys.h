// SPDX-License-Identifier: GPL-3.0-or-later
// The dictation shortcut held as the user's keyboard holds it, in the benchmark's desktop: on X11 keys
// sent through XTest (pressed in order, released in reverse); on Wayland Control+Alt+Space, the
// desktop's shortcut for Parlune, typed on the test's own RemoteDesktop portal keyboard.
#pragma once

#include "PortalKeyboard.h"
#include "platform/DisplaySession.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <memory>
#include <vector>

namespace parlune {

class ShortcutKeys
{
public:
    virtual ~ShortcutKeys() = default;
    virtual bool isReady() const = 0;
    virtual void hold(bool down) = 0;
};

class X11Keys final : public ShortcutKeys
{
public:
    // X key symbol names, as "Control_R".
    explicit X11Keys(std::vector<const char*> keysyms)
        : m_display(XOpenDisplay(nullptr))
    {
        for (const char* keysym : keysyms)
            m_keycodes.push_back(m_display ? XKeysymToKeycode(m_display, XStringToKeysym(keysym)) : 0);
    }
    ~X11Keys() override
    {
        if (m_display)
            XCloseDisplay(m_display);
    }
    bool isReady() const override { return m_display; }
    void hold(bool down) override
    {
        for (std::size_t i = 0; i < m_keycodes.size(); ++i)
            XTestFakeKeyEvent(m_display, m_keycodes[down ? i : m_keycodes.size() - 1 - i], down, CurrentTime);
        XFlush(m_display);
    }

private:
    Display* m_display;
    std::vector<KeyCode> m_keycodes;
};

class PortalKeys final : public ShortcutKeys
{
public:
    bool isReady() const override { return m_keyboard.isReady(); }
    void hold(bool down) override
    {
        m_keyboard.chord({PortalKeyboard::leftControl, PortalKeyboard::leftAlt, PortalKeyboard::space}, down);
    }

private:
    PortalKeyboard m_keyboard;
};

// The keys of this session's desktop; `x11Keysyms` on X11.
inline std::unique_ptr<ShortcutKeys> sessionShortcutKeys(std::vector<const char*> x11Keysyms)
{
    if (displaySession() == DisplaySession::wayland)
        return std::make_unique<PortalKeys>();
    return std::make_unique<X11Keys>(std::move(x11Keysyms));
}

} // namespace parlune
