// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/OutputMixer.h"

#include <map>
#include <utility>
#include <vector>

namespace parlune {

// Outputs with mute switches in memory; a device missing from `mute` has no switch.
class FakeOutputMixer final : public OutputMixer
{
public:
    std::optional<quint32> defaultDevice;
    std::map<quint32, bool> mute;
    std::vector<std::pair<quint32, bool>> writes;

    std::optional<quint32> defaultOutputDevice() override { return defaultDevice; }
    std::optional<bool> isMuted(quint32 device) override
    {
        const auto found = mute.find(device);
        return found == mute.end() ? std::nullopt : std::optional<bool>(found->second);
    }
    bool setMuted(quint32 device, bool muted) override
    {
        writes.emplace_back(device, muted);
        const auto found = mute.find(device);
        if (found == mute.end())
            return false;
        found->second = muted;
        return true;
    }
};

} // namespace parlune
