// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace parlune {

// The unbounded queue that carries converted audio from the recorder to the recogniser. Any thread may
// push into it without waiting for room: nothing is ever dropped for lack of space, and the lock is
// only held to move a pointer in or out. Once finished it takes nothing more; the consumer still gets
// every buffer pushed before, in order, then learns that the input has ended.
class AudioBufferQueue
{
public:
    // Ignored once the queue is finished. Returns whether the buffer was taken.
    bool push(AudioBufferPtr buffer);
    // No more audio: what is queued is still delivered, later pushes are discarded.
    void finish();
    bool isFinished() const;
    // Nothing waits to be read: the consumer has caught up with the producer.
    bool isEmpty() const;

    // For the consumer: the next buffer, waiting for one while the queue is open. None once the queue
    // is finished and drained, or when `abandon()` was called.
    std::optional<AudioBufferPtr> waitForNext();
    // Wakes a waiting consumer and makes every later wait return none at once: the consumer is
    // stopping and will not read what is left.
    void abandon();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<AudioBufferPtr> m_buffers;
    bool m_finished = false;
    bool m_abandoned = false;
};

} // namespace parlune
