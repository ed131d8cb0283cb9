// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyboardTap.h"

#include <set>

namespace parlune {

// A keyboard tap driven by the test: send() hands an event to the installed handler. What is swallowed
// is what was announced with setSwallowedKeys(), as on X11.
class FakeKeyboardTap final : public KeyboardTap
{
public:
    bool install(Handler handler) override
    {
        if (!connected)
            return false;
        m_handler = std::move(handler);
        m_enabled = true;
        return true;
    }
    void remove() override
    {
        m_handler = nullptr;
        m_enabled = false;
    }
    bool isEnabled() const override { return m_enabled; }
    // Without a connection to the display, enabling it again fails.
    void setEnabled(bool enabled) override { m_enabled = enabled && connected; }
    void setSwallowedKeys(std::vector<SwallowedKey> keys) override { m_swallowedKeys = std::move(keys); }
    // The keys the test holds down, known only while connected and installed.
    std::optional<bool> isKeyDown(quint16 keyCode) override
    {
        if (!m_handler || !connected)
            return std::nullopt;
        return keysDown.contains(keyCode);
    }

    // What the system knows of the keyboard: the keys held, and whether we can reach it at all.
    std::set<quint16> keysDown;
    bool connected = true;

    // An uninstalled or disabled tap delivers nothing.
    bool send(EventType type, const Event& event) { return m_handler && m_enabled && m_handler(type, event); }
    // The display goes away: the tap is disabled, and stays so until the connection is back and the
    // tap is enabled again.
    void loseConnection()
    {
        connected = false;
        m_enabled = false;
        if (m_handler)
            m_handler(EventType::disabledByTimeout, {});
    }

    bool isInstalled() const { return static_cast<bool>(m_handler); }
    const std::vector<SwallowedKey>& swallowedKeys() const { return m_swallowedKeys; }

private:
    Handler m_handler;
    bool m_enabled = false;
    std::vector<SwallowedKey> m_swallowedKeys;
};

} // namespace parlune
