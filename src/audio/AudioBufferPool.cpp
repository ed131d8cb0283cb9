// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioBufferPool.h"

#include <atomic>

namespace parlune {

AudioBufferPool::AudioBufferPool(std::size_t maxBuffers)
    : m_maxBuffers(maxBuffers)
{
    m_buffers.reserve(maxBuffers);
}

AudioBufferPtr AudioBufferPool::acquire(AudioFormat format, quint32 frameCapacity)
{
    // Start after the buffer handed out last, so that the one most recently released elsewhere is
    // the last to be looked at.
    const std::size_t count = m_buffers.size();
    for (std::size_t i = 0; i < count; ++i) {
        AudioBufferPtr& candidate = m_buffers[(m_next + i) % count];
        if (candidate.use_count() != 1)
            continue;
        // The count fell to 1 when the last other holder released its reference; this fence makes
        // everything that holder did with the samples happen before they are overwritten here.
        std::atomic_thread_fence(std::memory_order_acquire);
        m_next = (m_next + i + 1) % count;
        candidate->reset(format, frameCapacity);
        return candidate;
    }
    auto buffer = std::make_shared<AudioBuffer>(format, frameCapacity);
    if (m_buffers.size() < m_maxBuffers)
        m_buffers.push_back(buffer);
    return buffer;
}

} // namespace parlune
