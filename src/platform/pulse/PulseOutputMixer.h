// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/OutputMixer.h"
#include "platform/pulse/PulseLink.h"

namespace parlune {

// The sound server's sinks: a sink's index is its device identifier. Calls block until the server
// answers; they belong on the media worker.
class PulseOutputMixer final : public OutputMixer
{
public:
    explicit PulseOutputMixer(PulseLink& link);

    std::optional<quint32> defaultOutputDevice() override;
    std::optional<bool> isMuted(quint32 device) override;
    bool setMuted(quint32 device, bool muted) override;

private:
    PulseLink& m_link;
};

} // namespace parlune
