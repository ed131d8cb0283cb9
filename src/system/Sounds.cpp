// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/Sounds.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace parlune {

namespace {

struct Note
{
    double startSeconds;
    double lengthSeconds;
    double fromHertz;
    double toHertz;
    double gain;
};

// Sine notes with a quick rise and an exponential fall, mixed, then scaled so that the loudest sample
// is exactly `volume`. The first and last samples are silent, so the sound never clicks.
std::vector<float> render(std::initializer_list<Note> notes, double volume)
{
    double totalSeconds = 0;
    for (const Note& note : notes)
        totalSeconds = std::max(totalSeconds, note.startSeconds + note.lengthSeconds);
    std::vector<double> mix(static_cast<std::size_t>(totalSeconds * Sound::sampleRate) + 1, 0.0);

    constexpr double attackSeconds = 0.004;
    for (const Note& note : notes) {
        const auto first = static_cast<std::size_t>(note.startSeconds * Sound::sampleRate);
        const auto count = static_cast<std::size_t>(note.lengthSeconds * Sound::sampleRate);
        double phase = 0;
        for (std::size_t i = 0; i < count && first + i < mix.size(); ++i) {
            const double t = double(i) / Sound::sampleRate;
            const double progress = t / note.lengthSeconds;
            const double hertz = note.fromHertz + (note.toHertz - note.fromHertz) * progress;
            phase += 2 * std::numbers::pi * hertz / Sound::sampleRate;
            const double attack = std::min(1.0, t / attackSeconds);
            // Falls to about 1 % by the end of the note, then a short linear fade closes it exactly.
            const double decay = std::exp(-4.6 * progress) * std::min(1.0, (1.0 - progress) * 20);
            // A quiet octave above gives the sine a rounder, bell-like colour.
            mix[first + i] += note.gain * attack * decay * (std::sin(phase) + 0.25 * std::sin(2 * phase));
        }
    }

    double peak = 0;
    for (double sample : mix)
        peak = std::max(peak, std::abs(sample));
    std::vector<float> samples(mix.size());
    for (std::size_t i = 0; i < mix.size(); ++i)
        samples[i] = peak > 0 ? float(mix[i] / peak * volume) : 0.0f;
    samples.front() = 0.0f;
    samples.back() = 0.0f;
    return samples;
}

} // namespace

Sounds::Sounds(SoundFactory factory)
    : m_factory(std::move(factory))
{}

Sound& Sounds::start()
{
    if (!m_start)
        m_start = m_factory(startSamples());
    return *m_start;
}

Sound& Sounds::end()
{
    if (!m_end)
        m_end = m_factory(endSamples());
    return *m_end;
}

void Sounds::play(Sound& sound)
{
    sound.stop();
    sound.play();
}

std::vector<float> Sounds::startSamples()
{
    // A5 then E6, a fifth up: "listening".
    return render({{0.0, 0.09, 880.0, 880.0, 1.0}, {0.06, 0.12, 1318.5, 1318.5, 0.9}}, startVolume);
}

std::vector<float> Sounds::endSamples()
{
    // A short falling pop, E5 gliding down to A4: "done".
    return render({{0.0, 0.11, 659.3, 440.0, 1.0}}, endVolume);
}

} // namespace parlune
