// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioResampler.h"

#include <soxr.h>

#include <limits>
#include <new>

namespace parlune {

namespace {

// Headroom beyond the rate ratio, so that one call of the converter always has room for what it
// held back from the previous buffer.
constexpr quint32 kHeadroomFrames = 1024;

} // namespace

AudioResampler::AudioResampler(AudioFormat targetFormat)
    : m_targetFormat(targetFormat)
{}

AudioResampler::~AudioResampler() = default;

std::optional<quint32> AudioResampler::outputCapacity(double inputRate, double targetRate, quint32 frames)
{
    const double scaled = targetRate / inputRate * double(frames);
    // Also refuses a NaN or infinite ratio, which only an unusable format can give.
    if (!(scaled >= 0) || scaled >= double(std::numeric_limits<quint32>::max() - kHeadroomFrames))
        return std::nullopt;
    return quint32(scaled) + kHeadroomFrames;
}

AudioBufferPtr AudioResampler::convert(const AudioBufferPtr& buffer)
{
    if (!buffer)
        return nullptr;
    const AudioFormat& format = buffer->format();
    if (format == m_targetFormat)
        return buffer;

    if (!m_converter || m_converter->inputFormat() != format) {
        m_converter.reset();
        m_converter = Converter::create(format, m_targetFormat);
    }
    if (!m_converter)
        return nullptr;

    const auto capacity = outputCapacity(format.sampleRate, m_targetFormat.sampleRate, buffer->frameLength());
    if (!capacity)
        return nullptr;
    AudioBufferPtr output;
    try {
        output = m_pool.acquire(m_targetFormat, *capacity);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }

    if (!m_converter->convert(*buffer, *output) || output->frameLength() == 0)
        return nullptr;
    return output;
}

std::unique_ptr<AudioResampler::Converter> AudioResampler::Converter::create(AudioFormat inputFormat,
                                                                             AudioFormat targetFormat)
{
    if (!inputFormat.isUsable() || !targetFormat.isUsable())
        return nullptr;
    const quint32 in = inputFormat.channelCount;
    const quint32 out = targetFormat.channelCount;
    if (in != out && in != 1 && out != 1)
        return nullptr;

    std::unique_ptr<Converter> converter(new Converter(inputFormat, targetFormat));
    if (inputFormat.sampleRate != targetFormat.sampleRate) {
        const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
        const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
        // One thread: the conversion runs on the capture thread, which must not wait for others.
        const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
        soxr_error_t error = nullptr;
        converter->m_soxr = soxr_create(inputFormat.sampleRate, targetFormat.sampleRate,
                                        converter->m_workChannels, &error, &io, &quality, &runtime);
        if (error || !converter->m_soxr)
            return nullptr;
    }
    return converter;
}

AudioResampler::Converter::Converter(AudioFormat inputFormat, AudioFormat targetFormat)
    : m_inputFormat(inputFormat)
    , m_targetFormat(targetFormat)
    , m_workChannels(std::min(inputFormat.channelCount, targetFormat.channelCount))
{}

AudioResampler::Converter::~Converter()
{
    if (m_soxr)
        soxr_delete(m_soxr);
}

bool AudioResampler::Converter::convert(const AudioBuffer& input, AudioBuffer& output)
{
    const std::size_t frames = input.frameLength();
    const quint32 inChannels = m_inputFormat.channelCount;
    const quint32 outChannels = m_targetFormat.channelCount;
    const quint32 work = m_workChannels;

    // Down-mix first: the rate conversion then works on one channel instead of several.
    const float* source = input.samples();
    if (inChannels != work) {
        if (m_mixed.size() < frames) {
            try {
                m_mixed.resize(frames);
            } catch (const std::bad_alloc&) {
                return false;
            }
        }
        const float scale = 1.0f / float(inChannels);
        for (std::size_t i = 0; i < frames; ++i) {
            const float* frame = source + i * inChannels;
            float sum = 0;
            for (quint32 c = 0; c < inChannels; ++c)
                sum += frame[c];
            m_mixed[i] = sum * scale;
        }
        source = m_mixed.data();
    }

    float* target = output.samples();
    std::size_t produced = 0;
    if (m_soxr) {
        // soxr takes the whole input (keeping what it cannot finish yet for the next call) as long as
        // the output has room for it, which the capacity guarantees. It is never told that the
        // stream ends: the same converter continues with the next buffer.
        std::size_t consumed = 0;
        if (soxr_process(m_soxr, source, frames, &consumed, target, output.frameCapacity(), &produced))
            return false;
        if (consumed != frames)
            return false;
    } else {
        produced = frames;
        std::copy(source, source + frames * work, target);
    }

    // Up-mix last, in place from the end: frame i of one channel moves to i * outChannels.
    if (outChannels != work) {
        for (std::size_t i = produced; i-- > 0;) {
            const float sample = target[i];
            for (quint32 c = 0; c < outChannels; ++c)
                target[i * outChannels + c] = sample;
        }
    }
    output.setFrameLength(quint32(produced));
    return true;
}

} // namespace parlune
