// SPDX-License-Identifier: GPL-3.0-or-later
// The record stream: opened at start(), cut into the tap's buffers, ended at stop() or by the server.
#include "platform/pulse/PulseAudioInputPrivate.h"

#include "platform/Log.h"

#include <cmath>
#include <cstring>

namespace parlune {

namespace {

Error pulseError(PulseAudioInput::ErrorCode code)
{
    switch (code) {
    case PulseAudioInput::ServerUnreachable:
        return {PulseAudioInput::kErrorDomain, code, QStringLiteral("Le serveur de son est injoignable.")};
    case PulseAudioInput::NoMicrophone:
        return {PulseAudioInput::kErrorDomain, code, QStringLiteral("Aucun micro disponible.")};
    case PulseAudioInput::StreamFailed:
        break;
    }
    return {PulseAudioInput::kErrorDomain, code, QStringLiteral("Le micro n'a pas pu être ouvert.")};
}

} // namespace

std::optional<Error> PulseAudioInput::start()
{
    if (!d->loop)
        return pulseError(ServerUnreachable);
    Private::Locker lock(d->loop);
    if (d->running)
        return std::nullopt;
    if (!d->connectLocked())
        return pulseError(ServerUnreachable);
    d->teardownStreamLocked();

    const Private::Source source = d->defaultSource;
    if (!source.isMicrophone)
        return pulseError(NoMicrophone);
    const AudioFormat format = d->tapFormat.value_or(source.format);
    pa_sample_spec spec{PA_SAMPLE_FLOAT32NE, quint32(std::lround(format.sampleRate)),
                        uint8_t(format.channelCount)};
    if (!format.isUsable() || format.channelCount > PA_CHANNELS_MAX || !pa_sample_spec_valid(&spec))
        return pulseError(NoMicrophone);
    pa_channel_map map = source.channelMap;
    if (map.channels != spec.channels)
        pa_channel_map_init_extend(&map, spec.channels, PA_CHANNEL_MAP_DEFAULT);

    d->stream = pa_stream_new(d->context, "Dictée", &spec, &map);
    if (!d->stream)
        return pulseError(StreamFailed);
    pa_stream_set_state_callback(d->stream, &Private::streamStateChanged, d.get());
    pa_stream_set_read_callback(d->stream, &Private::streamReadable, d.get());
    // The server hands over about one tap buffer at a time, and no more than that is held up in
    // it: the first buffer of a dictation arrives as soon as it is full.
    pa_buffer_attr attributes;
    attributes.maxlength = quint32(-1);
    attributes.tlength = quint32(-1);
    attributes.prebuf = quint32(-1);
    attributes.minreq = quint32(-1);
    attributes.fragsize = quint32(pa_frame_size(&spec) * d->tapFrames);
    // The stream may not move: if its source goes away the server ends it and the owner is told,
    // rather than the capture going on from whatever the server falls back to (often the monitor
    // of the speakers).
    const auto flags = pa_stream_flags_t(PA_STREAM_ADJUST_LATENCY | PA_STREAM_DONT_MOVE);
    if (pa_stream_connect_record(d->stream, source.name.constData(), &attributes, flags) < 0 ||
        !d->waitLocked([this] { return pa_stream_get_state(d->stream) != PA_STREAM_CREATING; }) ||
        pa_stream_get_state(d->stream) != PA_STREAM_READY) {
        logLine("Parlune: record stream failed (%s)", pa_strerror(pa_context_errno(d->context)));
        d->teardownStreamLocked();
        return pulseError(StreamFailed);
    }
    d->streamFormat = format;
    d->streamSource = source;
    d->pending.reset();
    d->changePending = false;
    d->started = true;
    d->running = true;
    return std::nullopt;
}

void PulseAudioInput::stop()
{
    if (!d->loop)
        return;
    Private::Locker lock(d->loop);
    d->started = false;
    d->changePending = false;
    d->teardownStreamLocked();
}

void PulseAudioInput::Private::teardownStreamLocked()
{
    running = false;
    pending.reset();
    if (!stream)
        return;
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    stream = nullptr;
}

void PulseAudioInput::Private::deliverLocked(const void* data, std::size_t bytes)
{
    const quint32 channels = streamFormat.channelCount;
    if (!tap || channels == 0)
        return;
    const float* samples = static_cast<const float*>(data);
    std::size_t frames = bytes / (sizeof(float) * channels);
    while (frames > 0) {
        if (!pending)
            pending = pool.acquire(streamFormat, tapFrames);
        const quint32 filled = pending->frameLength();
        const std::size_t count = std::min<std::size_t>(frames, tapFrames - filled);
        float* target = pending->samples() + std::size_t(filled) * channels;
        if (samples) {
            std::memcpy(target, samples, count * channels * sizeof(float));
            samples += count * channels;
        } else {
            std::fill(target, target + count * channels, 0.0f);
        }
        pending->setFrameLength(filled + quint32(count));
        frames -= count;
        if (pending->frameLength() == tapFrames) {
            const AudioBufferPtr full = std::move(pending);
            pending.reset();
            tap(full);
        }
    }
}

void PulseAudioInput::Private::streamStateChanged(pa_stream* stream, void* userdata)
{
    auto* self = static_cast<Private*>(userdata);
    if (stream != self->stream)
        return;
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (!PA_STREAM_IS_GOOD(state) && self->running) {
        // The source in use is gone (the stream is not allowed to move): tell once the server
        // has settled, so that the owner reads the new default.
        self->running = false;
        self->changePending = true;
        self->armSettleTimerLocked();
    }
    pa_threaded_mainloop_signal(self->loop, 0);
}

void PulseAudioInput::Private::streamReadable(pa_stream* stream, size_t, void* userdata)
{
    auto* self = static_cast<Private*>(userdata);
    while (pa_stream_readable_size(stream) > 0) {
        const void* data = nullptr;
        std::size_t bytes = 0;
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            break;
        self->deliverLocked(data, bytes);
        pa_stream_drop(stream);
    }
}

} // namespace parlune
