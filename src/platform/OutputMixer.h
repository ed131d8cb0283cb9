// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <optional>

namespace parlune {

// The sound server's outputs, reached by device identifier. Calls block until the server answers and
// are made from the media worker only, never from the main thread.
class OutputMixer
{
public:
    virtual ~OutputMixer() = default;

    // The current default output; none when it cannot be read.
    virtual std::optional<quint32> defaultOutputDevice() = 0;
    // The device's mute switch; none when the device is gone or has no readable switch.
    virtual std::optional<bool> isMuted(quint32 device) = 0;
    virtual bool setMuted(quint32 device, bool muted) = 0;
};

} // namespace parlune
