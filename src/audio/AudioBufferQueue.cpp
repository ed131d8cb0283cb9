// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioBufferQueue.h"

namespace parlune {

bool AudioBufferQueue::push(AudioBufferPtr buffer)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_finished)
            return false;
        m_buffers.push_back(std::move(buffer));
    }
    m_changed.notify_one();
    return true;
}

void AudioBufferQueue::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_all();
}

bool AudioBufferQueue::isFinished() const
{
    std::lock_guard lock(m_mutex);
    return m_finished;
}

bool AudioBufferQueue::isEmpty() const
{
    std::lock_guard lock(m_mutex);
    return m_buffers.empty();
}

std::optional<AudioBufferPtr> AudioBufferQueue::waitForNext()
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_abandoned || m_finished || !m_buffers.empty(); });
    if (m_abandoned || m_buffers.empty())
        return std::nullopt;
    AudioBufferPtr buffer = std::move(m_buffers.front());
    m_buffers.pop_front();
    return buffer;
}

void AudioBufferQueue::abandon()
{
    {
        std::lock_guard lock(m_mutex);
        m_abandoned = true;
        m_finished = true;
        m_buffers.clear();
    }
    m_changed.notify_all();
}

} // namespace parlune
