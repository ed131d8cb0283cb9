// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace parlune {

// Sample rate and channel count of 32-bit float PCM. A rate of 0 or no channel means there is no
// usable input.
struct AudioFormat
{
    double sampleRate = 0;
    quint32 channelCount = 0;

    bool isUsable() const { return sampleRate > 0 && channelCount > 0; }
    friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

// A block of captured or converted audio: interleaved 32-bit float frames in one format. Buffers are
// handed around as shared pointers, so that a buffer already in the wanted format travels on uncopied.
class AudioBuffer
{
public:
    AudioBuffer(AudioFormat format, quint32 frameCapacity)
        : m_format(format)
        , m_frameCapacity(frameCapacity)
        , m_samples(std::size_t(frameCapacity) * format.channelCount)
    {}

    const AudioFormat& format() const { return m_format; }
    quint32 frameCapacity() const { return m_frameCapacity; }
    quint32 frameLength() const { return m_frameLength; }
    // At most the capacity.
    void setFrameLength(quint32 frames) { m_frameLength = std::min(frames, m_frameCapacity); }

    // Gives the buffer another format and capacity and empties it, keeping its storage when that is
    // large enough: a pool reuses buffers this way without allocating on the audio thread.
    void reset(AudioFormat format, quint32 frameCapacity)
    {
        m_format = format;
        m_frameCapacity = frameCapacity;
        m_frameLength = 0;
        m_samples.resize(std::size_t(frameCapacity) * format.channelCount);
    }

    // Interleaved samples: frame i, channel c is at i * channelCount + c.
    float* samples() { return m_samples.data(); }
    const float* samples() const { return m_samples.data(); }

    // The frames as the 16-bit mono samples speech recognisers read, channels mixed down, into `out`.
    void toMonoInt16(std::vector<qint16>& out) const
    {
        const quint32 channels = std::max<quint32>(m_format.channelCount, 1);
        out.resize(m_frameLength);
        for (quint32 frame = 0; frame < m_frameLength; ++frame) {
            float sum = 0;
            for (quint32 channel = 0; channel < channels; ++channel)
                sum += m_samples[std::size_t(frame) * channels + channel];
            const float value = std::lrint(sum / float(channels) * 32767.0f);
            out[frame] = qint16(std::clamp(value, -32768.0f, 32767.0f));
        }
    }

private:
    AudioFormat m_format;
    quint32 m_frameCapacity = 0;
    quint32 m_frameLength = 0;
    std::vector<float> m_samples;
};

using AudioBufferPtr = std::shared_ptr<AudioBuffer>;

} // namespace parlune
