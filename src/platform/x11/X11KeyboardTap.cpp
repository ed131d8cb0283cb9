// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeyboardTap.h"

#include <X11/Xlib.h>

#include <array>

namespace parlune {

X11KeyboardTap::X11KeyboardTap(SyntheticKeys* ours)
    : m_ours(ours)
{}

X11KeyboardTap::~X11KeyboardTap()
{
    disconnectFromServer();
}

bool X11KeyboardTap::install(Handler handler)
{
    remove();
    m_handler = std::move(handler);
    m_enabled = true;
    if (connectToServer())
        return true;
    m_handler = nullptr;
    m_enabled = false;
    return false;
}

void X11KeyboardTap::remove()
{
    disconnectFromServer();
    m_handler = nullptr;
    m_enabled = false;
}

bool X11KeyboardTap::isEnabled() const
{
    return m_display && !m_connectionLost && m_enabled && m_grabsHeld;
}

void X11KeyboardTap::setEnabled(bool enabled)
{
    if (!m_handler)
        return;
    m_enabled = enabled;
    if (!m_display) {
        if (enabled)
            connectToServer();
        return;
    }
    updateGrabs();
}

void X11KeyboardTap::setSwallowedKeys(std::vector<SwallowedKey> keys)
{
    if (keys == m_swallowed)
        return;
    m_swallowed = std::move(keys);
    if (m_display)
        updateGrabs();
}

std::optional<bool> X11KeyboardTap::isKeyDown(quint16 keyCode)
{
    const auto keycode = x11Keycode(keyCode);
    if (!m_display || m_connectionLost || !keycode)
        return std::nullopt;
    std::array<char, 32> keys{};
    XQueryKeymap(m_display, keys.data());
    // Waiting for the answer may have queued events that the socket will not announce again.
    readEventsLater();
    if (m_connectionLost)
        return std::nullopt;
    return ((keys[*keycode / 8] >> (*keycode % 8)) & 1) != 0;
}

unsigned long X11KeyboardTap::connectionId() const
{
    return m_connectionId;
}

} // namespace parlune
