// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sound.h"
#include "platform/pulse/PulseLink.h"

struct pa_stream;

namespace parlune {

// A short sound played as a playback stream on the default sink. Play and stop only take the
// connection's lock for a moment: the main thread never waits for the server.
class PulseSound final : public Sound
{
public:
    PulseSound(PulseLink& link, std::vector<float> samples);
    ~PulseSound() override;

    void play() override;
    void stop() override;

private:
    struct Playback;
    void stopLocked();

    PulseLink& m_link;
    std::vector<float> m_samples;
    Playback* m_playback = nullptr;
};

} // namespace parlune
