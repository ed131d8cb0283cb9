// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"

#include <vector>

namespace parlune {

// Buffers for the audio thread that are reused rather than allocated for every captured block. The
// pool keeps a reference to each of its buffers; a buffer is free again once every other holder
// (the dictation session's queue, a test) has let go of it, on whatever thread. Only one thread at a
// time takes buffers from a pool.
class AudioBufferPool
{
public:
    explicit AudioBufferPool(std::size_t maxBuffers = 32);

    // An empty buffer of exactly this format and capacity that nobody else holds. It comes from the
    // pool when one is free (allocating only if its storage must grow), else it is a new buffer,
    // kept by the pool while the pool has room.
    AudioBufferPtr acquire(AudioFormat format, quint32 frameCapacity);

    // How many buffers the pool keeps.
    std::size_t size() const { return m_buffers.size(); }

private:
    std::size_t m_maxBuffers;
    std::vector<AudioBufferPtr> m_buffers;
    std::size_t m_next = 0;
};

} // namespace parlune
