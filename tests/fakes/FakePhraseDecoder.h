// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/parakeet/PhraseDecoder.h"

#include <algorithm>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <vector>

namespace parlune {

// A decoder that reads a phrase's loudest sample as its word: a phrase whose peak is 0.23 says "n23";
// one without speech says nothing. It remembers the length of every phrase it was given, can fail from
// a given call on, and can be held inside a call until the test lets it go. Safe from any thread.
class FakePhraseDecoder final : public PhraseDecoder
{
public:
    Outcome<QString, RecognitionError> decode(std::span<const float> samples) override
    {
        std::unique_lock lock(m_mutex);
        m_lengths.push_back(std::int64_t(samples.size()));
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_held; });
        if (failFrom && int(m_lengths.size()) >= failFrom)
            return RecognitionError{QStringLiteral("Le décodage a échoué.")};
        float peak = 0;
        for (const float sample : samples)
            peak = std::max(peak, std::fabs(sample));
        if (peak < 0.05f)
            return QString();
        return QStringLiteral("n%1").arg(std::lround(peak * 100));
    }

    // The lengths of the phrases decoded so far, in samples.
    std::vector<std::int64_t> lengths() const
    {
        std::lock_guard lock(m_mutex);
        return m_lengths;
    }
    // While held, a call waits before it answers.
    void hold(bool held)
    {
        std::lock_guard lock(m_mutex);
        m_held = held;
        m_changed.notify_all();
    }

    // The call (counted from 1) from which decoding fails; 0 for never.
    int failFrom = 0;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::int64_t> m_lengths;
    bool m_held = false;
};

} // namespace parlune
