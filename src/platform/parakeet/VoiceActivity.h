// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace parlune {

// A stretch of speech closed by a pause: where it starts in the audio given so far, in samples at
// 16 kHz, and its samples.
struct SpeechSegment
{
    std::int64_t start = 0;
    std::vector<float> samples;
};

// Tells speech from silence in 16 kHz mono audio and cuts the speech into segments at its pauses.
// Used by one thread at a time.
class VoiceActivity
{
public:
    virtual ~VoiceActivity() = default;

    // The next samples of the stream, any number of them.
    virtual void accept(std::span<const float> samples) = 0;
    // Whether the audio given so far ends inside speech.
    virtual bool isSpeaking() const = 0;
    // The oldest segment a pause has closed, if any; each segment is given once.
    virtual std::optional<SpeechSegment> takeSegment() = 0;
    // The stream has ended: speech still open becomes a last segment.
    virtual void flush() = 0;
    // Forgets the stream, ready for another one.
    virtual void reset() = 0;
};

} // namespace parlune
