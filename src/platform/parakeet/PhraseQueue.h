// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/parakeet/VoiceActivity.h"

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

namespace parlune {

// The phrases of one dictation, cut from its 16 kHz mono audio by the voice activity: those a pause has
// closed, in order, until they are taken, and the one still being spoken. Every sample of speech goes
// into exactly one phrase; the silence between phrases into none. Used by one thread at a time.
//
// A phrase never runs longer than 20 s: a model decodes a phrase whole, its time and memory grow with
// the length, and a speaker who never pauses would otherwise leave everything to the release. Speech
// that goes on is cut at the quietest moment of the phrase's last 4 s, and what follows the cut begins
// the next phrase. Four seconds nearly always hold a breath or the gap between two words, while the
// phrase keeps at least 16 s of context for the model.
class PhraseQueue
{
public:
    static constexpr std::int64_t sampleRate = 16000;
    static constexpr std::int64_t maxPhraseSamples = 20 * sampleRate;
    static constexpr std::int64_t cutWindowSamples = 4 * sampleRate;

    explicit PhraseQueue(VoiceActivity& voice);

    // The next samples of the dictation, any number of them.
    void accept(std::span<const float> samples);
    // The end of the input: the speech still open becomes the last phrase.
    void finish();

    // The oldest phrase not taken yet, if any. Its start is counted in samples from the dictation's start.
    std::optional<SpeechSegment> takePhrase();
    bool hasPhrase() const { return !m_phrases.empty(); }

    // The phrase being spoken, from its start to the latest sample (valid until the next call); empty
    // while nobody speaks.
    std::span<const float> openPhrase() const;
    std::int64_t openPhraseStart() const { return m_openStart; }
    // Samples accepted so far.
    std::int64_t received() const { return m_received; }

private:
    void acceptSlice(std::span<const float> samples);
    void handOut(SpeechSegment segment);
    void cutLongPhrase();
    std::int64_t quietestPoint(std::int64_t from, std::int64_t to) const;
    std::span<const float> audio(std::int64_t from, std::int64_t to) const;
    void forgetAudioBefore(std::int64_t position);

    VoiceActivity& m_voice;
    std::deque<SpeechSegment> m_phrases;
    // The recent audio, from `m_audioStart` to `m_received`: the open phrase, or while nobody speaks the
    // little before now where a phrase about to be detected may already have begun.
    std::vector<float> m_audio;
    std::int64_t m_audioStart = 0;
    std::int64_t m_received = 0;
    // Where the last phrase handed out ended: no later phrase begins before.
    std::int64_t m_handedOutTo = 0;
    bool m_speaking = false;
    std::int64_t m_openStart = 0;
};

} // namespace parlune
