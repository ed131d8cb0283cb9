// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"
#include "audio/AudioBufferPool.h"

#include <memory>
#include <optional>
#include <vector>

struct soxr;

namespace parlune {

// Converts captured buffers, one at a time and in capture order, into the format the recogniser asked
// for (16 kHz mono for every model we ship): sample rate and channel count. The conversion is a
// stream: one converter serves from buffer to buffer, keeping the tail of each buffer for the next,
// and is replaced only when the incoming format changes.
//
// Channels: to one channel, the channels are averaged (before the rate conversion, which then has
// less to do); from one channel, it is copied to every output channel; otherwise the counts must be
// equal.
//
// Used from one thread at a time (the capture thread in the recorder, the main thread in the
// self-check); not locked.
class AudioResampler
{
public:
    // The converter from one input format to the target format.
    class Converter;

    explicit AudioResampler(AudioFormat targetFormat);
    ~AudioResampler();
    AudioResampler(const AudioResampler&) = delete;
    AudioResampler& operator=(const AudioResampler&) = delete;

    const AudioFormat& targetFormat() const { return m_targetFormat; }
    // None until a buffer needs converting.
    const Converter* converter() const { return m_converter.get(); }

    // `buffer` in the target format: the very same buffer when it is already in it, else a buffer of
    // this resampler's own. Nothing when the buffer cannot be converted or the conversion gave no
    // frame yet (the converter holds back a few milliseconds at the start of a stream).
    AudioBufferPtr convert(const AudioBufferPtr& buffer);

    // Room for the output of `frames` input frames in one call: the rate ratio times the frame
    // count, truncated, plus 1024 frames of headroom. Nothing when that does not fit 32 bits.
    static std::optional<quint32> outputCapacity(double inputRate, double targetRate, quint32 frames);

private:
    AudioFormat m_targetFormat;
    std::unique_ptr<Converter> m_converter;
    AudioBufferPool m_pool;
};

class AudioResampler::Converter
{
public:
    // Nothing when soxr refuses the rates or the channel counts cannot be mapped.
    static std::unique_ptr<Converter> create(AudioFormat inputFormat, AudioFormat targetFormat);
    ~Converter();

    const AudioFormat& inputFormat() const { return m_inputFormat; }

    // Converts `input` into `output` (which has room enough); false on a conversion error.
    bool convert(const AudioBuffer& input, AudioBuffer& output);

private:
    Converter(AudioFormat inputFormat, AudioFormat targetFormat);

    AudioFormat m_inputFormat;
    AudioFormat m_targetFormat;
    // The channel count the rate conversion works on: the smaller of the two when either is mono.
    quint32 m_workChannels = 0;
    // None when the rates are equal: only the channels change then.
    ::soxr* m_soxr = nullptr;
    // Input frames averaged or copied to the working channel count; grown, never shrunk.
    std::vector<float> m_mixed;
};

} // namespace parlune
