// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyboardTap.h"

namespace parlune {

// A keyboard tap driven by the test: send() hands an event to the installed handler and returns
// whether it was swallowed.
class FakeKeyboardTap final : public KeyboardTap
{
public:
    bool install(Handler handler) override;
    void remove() override;
    bool isEnabled() const override { return m_enabled; }
    void setEnabled(bool enabled) override { m_enabled = enabled; }
    void setSwallowedKeys(std::vector<SwallowedKey> keys) override { m_swallowedKeys = std::move(keys); }

    // An uninstalled or disabled tap delivers nothing (and swallows nothing).
    bool send(EventType type, const Event& event);
    // The system takes the tap away, as on a lost connection.
    bool disable();

    // Whether install() succeeds, as when the system grants or refuses the tap.
    bool refuses = false;
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
