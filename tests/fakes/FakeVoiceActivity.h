// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/parakeet/VoiceActivity.h"

#include <cmath>
#include <deque>

namespace parlune {

// A voice detector on loudness, shaped like the real one: a sample at or above 0.05 is speech; speech
// is told only after a quarter of a second of it; half a second of quiet closes a segment, which begins
// 3000 samples before its first loud one and ends after its last.
class FakeVoiceActivity final : public VoiceActivity
{
public:
    void accept(std::span<const float> samples) override
    {
        for (const float sample : samples) {
            const std::int64_t position = m_dropped + std::int64_t(m_audio.size());
            m_audio.push_back(sample);
            if (std::fabs(sample) >= 0.05f) {
                if (!m_inSpeech)
                    m_onset = position;
                m_inSpeech = true;
                m_lastLoud = position;
            } else if (m_inSpeech && position - m_lastLoud >= 8000) {
                close();
            }
        }
    }
    bool isSpeaking() const override
    {
        return m_inSpeech && m_dropped + std::int64_t(m_audio.size()) - m_onset >= 4000;
    }
    std::optional<SpeechSegment> takeSegment() override
    {
        if (m_segments.empty())
            return std::nullopt;
        SpeechSegment segment = std::move(m_segments.front());
        m_segments.pop_front();
        return segment;
    }
    void flush() override
    {
        if (m_inSpeech)
            close();
    }
    void reset() override { *this = FakeVoiceActivity(); }

private:
    void close()
    {
        const std::int64_t start = std::max(m_onset - 3000, m_closedTo);
        const std::int64_t end = m_lastLoud + 1;
        m_segments.push_back(
            {start, {m_audio.begin() + (start - m_dropped), m_audio.begin() + (end - m_dropped)}});
        m_closedTo = end;
        m_inSpeech = false;
        // No segment begins before the end of this one.
        m_audio.erase(m_audio.begin(), m_audio.begin() + (end - m_dropped));
        m_dropped = end;
    }

    // The audio since the end of the last segment, which begins at `m_dropped`.
    std::vector<float> m_audio;
    std::int64_t m_dropped = 0;
    std::deque<SpeechSegment> m_segments;
    bool m_inSpeech = false;
    std::int64_t m_onset = 0;
    std::int64_t m_lastLoud = 0;
    std::int64_t m_closedTo = 0;
};

} // namespace parlune
