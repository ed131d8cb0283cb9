// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Sound.h"

#include <functional>
#include <memory>
#include <vector>

namespace parlune {

// The two cue sounds: one when recording starts, one when it ends. The program makes them itself, so
// that no sound theme needs to be installed.
class Sounds
{
public:
    static constexpr double startVolume = 0.35;
    static constexpr double endVolume = 0.3;

    // Makes a playable sound of the given samples (mono, Sound::sampleRate).
    using SoundFactory = std::function<std::unique_ptr<Sound>(std::vector<float> samples)>;

    explicit Sounds(SoundFactory factory);

    // Each sound is made on first use and kept for the rest of the run.
    Sound& start();
    Sound& end();

    // Plays a sound from its beginning, cutting off a play of it that still runs.
    static void play(Sound& sound);

    // A bright rising pair of notes, at the start volume.
    static std::vector<float> startSamples();
    // A soft low drop, at the end volume.
    static std::vector<float> endSamples();

private:
    SoundFactory m_factory;
    std::unique_ptr<Sound> m_start;
    std::unique_ptr<Sound> m_end;
};

} // namespace parlune
