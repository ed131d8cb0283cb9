// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyboardTap.h"

namespace parlune {

// A keyboard tap driven by the test: send() hands an event to the installed handler and returns
// whether it was swallowed.
class FakeKeyboardTap final : public KeyboardTap
{
public:
    // Whether install() fails, as when the system refuses the tap.
    bool refuses = false;

    bool install(Handler handler) override
    {
        if (refuses)
            return false;
        m_handler = std::move(handler);
        m_enabled = true;
        ++m_installCount;
        return true;
    }
    void remove() override
    {
        m_handler = nullptr;
        m_enabled = false;
    }
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    void setSwallowedKeys(std::vector<SwallowedKey> keys) override { m_swallowedKeys = std::move(keys); }

    // An uninstalled or disabled tap delivers nothing (and swallows nothing).
    bool send(EventType type, const Event& event) { return m_handler && m_enabled && m_handler(type, event); }
    // The system takes the tap away, as on a lost connection.
    bool disable()
    {
        m_enabled = false;
        return m_handler && m_handler(EventType::disabledByTimeout, {});
    }

    bool isInstalled() const { return static_cast<bool>(m_handler); }
    int installCount() const { return m_installCount; }
    const std::vector<SwallowedKey>& swallowedKeys() const { return m_swallowedKeys; }

private:
    Handler m_handler;
    bool m_enabled = false;
    int m_installCount = 0;
    std::vector<SwallowedKey> m_swallowedKeys;
};

} // namespace parlune
