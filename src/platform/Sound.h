// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

namespace parlune {

// A short sound, kept in memory, played on the default output.
class Sound
{
public:
    // Mono float samples in [-1, 1], at this rate.
    static constexpr int sampleRate = 48000;

    virtual ~Sound() = default;

    // Starts playing from the beginning; a play still running is cut off first.
    virtual void play() = 0;
    virtual void stop() = 0;
};

} // namespace parlune
