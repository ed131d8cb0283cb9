// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseSound.h"

#include <pulse/pulseaudio.h>

#include <algorithm>

namespace parlune {

// One play of the sound: the stream and how far its samples have been written. It outlives a stop
// until the server has let go of the stream.
struct PulseSound::Playback
{
    pa_stream* stream = nullptr;
    const std::vector<float>* samples = nullptr;
    std::size_t written = 0;
};

namespace {

void release(pa_stream* stream)
{
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
}

} // namespace

PulseSound::PulseSound(PulseLink& link, std::vector<float> samples)
    : m_link(link)
    , m_samples(std::move(samples))
{}

PulseSound::~PulseSound()
{
    PulseLink::Lock lock(m_link);
    stopLocked();
}

void PulseSound::stop()
{
    PulseLink::Lock lock(m_link);
    stopLocked();
}

void PulseSound::stopLocked()
{
    if (!m_playback)
        return;
    release(m_playback->stream);
    delete m_playback;
    m_playback = nullptr;
}

void PulseSound::play()
{
    PulseLink::Lock lock(m_link);
    stopLocked();
    // The connection is made at start-up; if the server is not there yet the cue is simply not heard.
    if (!m_link.context() || pa_context_get_state(m_link.context()) != PA_CONTEXT_READY)
        return;

    const pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, uint32_t(sampleRate), 1};
    pa_stream* stream = pa_stream_new(m_link.context(), "Parlune cue", &spec, nullptr);
    if (!stream)
        return;
    m_playback = new Playback{stream, &m_samples, 0};

    // The samples already carry the cue's volume; the stream plays them as they are.
    pa_stream_set_write_callback(
        stream,
        [](pa_stream* s, std::size_t requested, void* data) {
            auto* playback = static_cast<Playback*>(data);
            const std::size_t remaining = (playback->samples->size() - playback->written) * sizeof(float);
            const std::size_t bytes = std::min(requested, remaining);
            if (bytes == 0)
                return;
            pa_stream_write(s, playback->samples->data() + playback->written, bytes, nullptr, 0,
                            PA_SEEK_RELATIVE);
            playback->written += bytes / sizeof(float);
            if (playback->written == playback->samples->size()) {
                if (pa_operation* draining = pa_stream_drain(s, nullptr, nullptr))
                    pa_operation_unref(draining);
            }
        },
        m_playback);
    // A small buffer request keeps the start of the cue close to the call.
    pa_buffer_attr attributes{};
    attributes.maxlength = uint32_t(-1);
    attributes.tlength = uint32_t(pa_usec_to_bytes(50 * 1000, &spec));
    attributes.prebuf = uint32_t(-1);
    attributes.minreq = uint32_t(-1);
    attributes.fragsize = uint32_t(-1);
    if (pa_stream_connect_playback(stream, nullptr, &attributes, PA_STREAM_ADJUST_LATENCY, nullptr, nullptr) <
        0)
        stopLocked();
}

} // namespace parlune
