// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopKeybinding.h"

namespace parlune {

// A desktop with keybindings of its own: create() takes the proposed keys, unless a refusal is set.
class FakeDesktopKeybinding final : public DesktopKeybinding
{
public:
    bool isAvailable() const override { return true; }
    QString keys() const override { return m_keys; }
    QString proposedKeys() const override { return proposed; }
    std::optional<QString> create() override
    {
        if (refusal)
            return refusal;
        m_keys = proposed;
        Q_EMIT changed();
        return std::nullopt;
    }
    void remove() override
    {
        m_keys.clear();
        Q_EMIT changed();
    }

    QString proposed = QStringLiteral("Alt+Super+Espace");
    std::optional<QString> refusal;

private:
    QString m_keys;
};

} // namespace parlune
