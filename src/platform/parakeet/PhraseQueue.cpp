// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/parakeet/PhraseQueue.h"

#include <algorithm>
#include <limits>

namespace parlune {

namespace {

// The voice activity says that someone speaks only once it has heard some of it: the phrase it closes
// later may begin that much earlier (about a third of a second with Silero's usual settings).
constexpr std::int64_t onsetLookback = PhraseQueue::sampleRate;
// The voice activity hears the audio in slices of at most 0.1 s, so that whatever the size of the
// buffers, the start of a phrase is known to that precision and a cut is never late by more.
constexpr std::size_t sliceSamples = PhraseQueue::sampleRate / 10;
// Loudness is measured over 10 ms frames and compared over 50 ms, about the shortest gap between words.
constexpr std::int64_t frameSamples = PhraseQueue::sampleRate / 100;
constexpr std::int64_t windowFrames = 5;

} // namespace

PhraseQueue::PhraseQueue(VoiceActivity& voice)
    : m_voice(voice)
{
    // The longest phrase, the audio before it that is let go of by the second, and a slice: the audio
    // is never moved to a larger block while someone speaks.
    m_audio.reserve(std::size_t(maxPhraseSamples + 2 * sampleRate) + sliceSamples);
}

void PhraseQueue::accept(std::span<const float> samples)
{
    while (!samples.empty()) {
        const std::size_t count = std::min(samples.size(), sliceSamples);
        acceptSlice(samples.first(count));
        samples = samples.subspan(count);
    }
}

void PhraseQueue::acceptSlice(std::span<const float> samples)
{
    const std::int64_t sliceStart = m_received;
    m_audio.insert(m_audio.end(), samples.begin(), samples.end());
    m_received += std::int64_t(samples.size());
    m_voice.accept(samples);
    while (std::optional<SpeechSegment> segment = m_voice.takeSegment())
        handOut(std::move(*segment));

    const bool speaking = m_voice.isSpeaking();
    if (speaking && !m_speaking)
        m_openStart = sliceStart - onsetLookback;
    m_speaking = speaking;
    if (m_speaking) {
        // A phrase closed in this slice and the next one began at once.
        m_openStart = std::max(m_openStart, m_handedOutTo);
        while (m_received - m_openStart >= maxPhraseSamples)
            cutLongPhrase();
    }
    forgetAudioBefore(m_speaking ? m_openStart : std::max(m_handedOutTo, m_received - onsetLookback));
}

void PhraseQueue::finish()
{
    m_voice.flush();
    while (std::optional<SpeechSegment> segment = m_voice.takeSegment())
        handOut(std::move(*segment));
    m_speaking = false;
    forgetAudioBefore(m_received);
}

std::optional<SpeechSegment> PhraseQueue::takePhrase()
{
    if (m_phrases.empty())
        return std::nullopt;
    SpeechSegment phrase = std::move(m_phrases.front());
    m_phrases.pop_front();
    return phrase;
}

std::span<const float> PhraseQueue::openPhrase() const
{
    if (!m_speaking)
        return {};
    return audio(m_openStart, m_received);
}

// A segment the voice activity closed: what a cut has not handed out already.
void PhraseQueue::handOut(SpeechSegment segment)
{
    const std::int64_t end = segment.start + std::int64_t(segment.samples.size());
    const std::int64_t from = std::max(segment.start, m_handedOutTo);
    if (from < end) {
        segment.samples.erase(segment.samples.begin(), segment.samples.begin() + (from - segment.start));
        segment.start = from;
        m_phrases.push_back(std::move(segment));
    }
    m_handedOutTo = std::max(m_handedOutTo, end);
}

void PhraseQueue::cutLongPhrase()
{
    const std::int64_t limit = m_openStart + maxPhraseSamples;
    const std::int64_t cut = quietestPoint(limit - cutWindowSamples, limit);
    const std::span<const float> phrase = audio(m_openStart, cut);
    m_phrases.push_back(SpeechSegment{m_openStart, {phrase.begin(), phrase.end()}});
    m_handedOutTo = cut;
    m_openStart = cut;
}

std::int64_t PhraseQueue::quietestPoint(std::int64_t from, std::int64_t to) const
{
    const std::span<const float> window = audio(from, to);
    const std::int64_t frames = std::int64_t(window.size()) / frameSamples;
    if (frames < windowFrames)
        return to;
    std::vector<double> energy(std::size_t(frames), 0.0);
    for (std::int64_t frame = 0; frame < frames; ++frame)
        for (const float sample : window.subspan(std::size_t(frame * frameSamples), frameSamples))
            energy[std::size_t(frame)] += double(sample) * double(sample);

    double quietest = std::numeric_limits<double>::infinity();
    std::int64_t runFirst = 0;
    std::int64_t runLast = 0;
    for (std::int64_t first = 0; first + windowFrames <= frames; ++first) {
        double sum = 0;
        for (std::int64_t frame = first; frame < first + windowFrames; ++frame)
            sum += energy[std::size_t(frame)];
        if (sum < quietest) {
            quietest = sum;
            runFirst = runLast = first;
        } else if (sum == quietest && runLast == first - 1) {
            runLast = first;
        }
    }
    // In a silent gap, the middle of it: farthest from the words on either side.
    const std::int64_t chosen = (runFirst + runLast) / 2;
    return from + chosen * frameSamples + windowFrames * frameSamples / 2;
}

std::span<const float> PhraseQueue::audio(std::int64_t from, std::int64_t to) const
{
    return std::span<const float>(m_audio).subspan(std::size_t(from - m_audioStart), std::size_t(to - from));
}

void PhraseQueue::forgetAudioBefore(std::int64_t position)
{
    // Dropped by the second rather than by the slice: a few moves of at most 64 kB a second.
    if (position - m_audioStart < sampleRate)
        return;
    m_audio.erase(m_audio.begin(), m_audio.begin() + std::ptrdiff_t(position - m_audioStart));
    m_audioStart = position;
}

} // namespace parlune
