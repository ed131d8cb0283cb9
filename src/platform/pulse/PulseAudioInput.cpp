// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseAudioInput.h"

#include "audio/AudioBufferPool.h"
#include "platform/Log.h"

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <pulse/pulseaudio.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <map>

namespace parlune {

namespace {

// How long the server must stay quiet after a change before the change is told.
constexpr pa_usec_t kSettleTime = 250 * PA_USEC_PER_MSEC;
// How long the main thread waits for the server to answer before giving up.
constexpr pa_usec_t kAnswerTime = 3 * PA_USEC_PER_SEC;

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

// The default source as the server last described it.
struct Source
{
    QByteArray name;
    quint32 index = PA_INVALID_INDEX;
    AudioFormat format;
    pa_channel_map channelMap{};
    // False for the monitor of an output, and when there is no default source at all.
    bool isMicrophone = false;

    bool sameAs(const Source& other) const
    {
        return name == other.name && index == other.index && format == other.format &&
               isMicrophone == other.isMicrophone;
    }
};

} // namespace

struct PulseAudioInput::Private
{
    pa_threaded_mainloop* loop = nullptr;
    pa_context* context = nullptr;
    bool contextWasReady = false;
    pa_time_event* settleTimer = nullptr;
    pa_stream* stream = nullptr;

    // What follows is shared with the library's thread and guarded by the loop's lock; the
    // library's callbacks run with that lock held.
    quint32 tapFrames = 2048;
    std::optional<AudioFormat> tapFormat;
    Tap tap;
    AudioBufferPool pool;
    AudioBufferPtr pending;
    AudioFormat streamFormat;
    Source streamSource;

    Source defaultSource;
    bool defaultKnown = false;
    Source candidate;
    quint64 refreshesAsked = 0;
    quint64 refreshesDone = 0;

    // Between a successful start() and stop(): changes matter only then.
    bool started = false;
    bool changePending = false;
    std::atomic<bool> running{false};

    // Main thread only. Notices are queued to this object, so those still queued when the capture
    // is destroyed are dropped with it.
    QObject mainThread;
    std::map<ObserverToken, std::function<void()>> observers;
    ObserverToken nextToken = 1;

    struct Locker
    {
        explicit Locker(pa_threaded_mainloop* loop)
            : loop(loop)
        {
            pa_threaded_mainloop_lock(loop);
        }
        ~Locker() { pa_threaded_mainloop_unlock(loop); }
        pa_threaded_mainloop* loop;
    };

    pa_mainloop_api* api() const { return pa_threaded_mainloop_get_api(loop); }

    // Waits, lock held, until `done` is true, the context breaks or the server is too slow.
    template <typename Predicate> bool waitLocked(Predicate done)
    {
        bool late = false;
        pa_time_event* deadline = nullptr;
        if (context) {
            deadline = pa_context_rttime_new(
                context, pa_rtclock_now() + kAnswerTime,
                [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* flag) {
                    *static_cast<bool*>(flag) = true;
                },
                &late);
        }
        bool ok = false;
        for (;;) {
            if (done()) {
                ok = true;
                break;
            }
            if (late || !context || !PA_CONTEXT_IS_GOOD(pa_context_get_state(context)))
                break;
            pa_threaded_mainloop_wait(loop);
        }
        if (deadline)
            api()->time_free(deadline);
        return ok;
    }

    bool connectLocked()
    {
        if (context && pa_context_get_state(context) == PA_CONTEXT_READY)
            return true;
        dropContextLocked();

        context = pa_context_new(api(), "Parlune");
        if (!context)
            return false;
        pa_context_set_state_callback(context, &Private::contextStateChanged, this);
        // No server of our own is started: a missing server is an error the user sees.
        if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
            !waitLocked([this] { return pa_context_get_state(context) == PA_CONTEXT_READY; })) {
            logLine("Parlune: no sound server (%s)", pa_strerror(pa_context_errno(context)));
            dropContextLocked();
            return false;
        }
        contextWasReady = true;

        settleTimer = pa_context_rttime_new(context, PA_USEC_INVALID, &Private::settled, this);
        pa_context_set_subscribe_callback(context, &Private::subscriptionEvent, this);
        if (pa_operation* operation = pa_context_subscribe(
                context, pa_subscription_mask_t(PA_SUBSCRIPTION_MASK_SOURCE | PA_SUBSCRIPTION_MASK_SERVER),
                nullptr, nullptr))
            pa_operation_unref(operation);
        const quint64 asked = refreshLocked();
        if (!waitLocked([this, asked] { return refreshesDone >= asked; })) {
            dropContextLocked();
            return false;
        }
        return true;
    }

    void dropContextLocked()
    {
        teardownStreamLocked();
        if (!context)
            return;
        if (settleTimer) {
            api()->time_free(settleTimer);
            settleTimer = nullptr;
        }
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_set_subscribe_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
        contextWasReady = false;
        // Answers still on their way belong to the old connection and will never come.
        refreshesDone = refreshesAsked;
        defaultKnown = false;
        defaultSource = {};
    }

    void teardownStreamLocked()
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

    // Asks the server for its default source; returns the number of this request.
    quint64 refreshLocked()
    {
        const quint64 number = ++refreshesAsked;
        pa_operation* operation = nullptr;
        if (context && pa_context_get_state(context) == PA_CONTEXT_READY)
            operation = pa_context_get_server_info(context, &Private::serverInfoReceived, this);
        if (operation)
            pa_operation_unref(operation);
        else
            refreshesDone = refreshesAsked;
        return number;
    }

    void armSettleTimerLocked()
    {
        if (settleTimer)
            pa_context_rttime_restart(context, settleTimer, pa_rtclock_now() + kSettleTime);
    }

    void finishRefreshLocked(const Source& source)
    {
        const bool changed = defaultKnown && !source.sameAs(defaultSource);
        defaultSource = source;
        defaultKnown = true;
        ++refreshesDone;

        if (started) {
            // A capture left on a source that is no longer the default microphone, or that changed
            // format, stops: its owner starts again on what there is now.
            if (running && (!source.isMicrophone || source.index != streamSource.index ||
                            source.format != streamSource.format)) {
                teardownStreamLocked();
                changePending = true;
            } else if (!running && changed) {
                changePending = true;
            }
            if (changePending) {
                changePending = false;
                postChangeLocked();
            }
        }
        pa_threaded_mainloop_signal(loop, 0);
    }

    void postChangeLocked()
    {
        QMetaObject::invokeMethod(
            &mainThread,
            [this] {
                // A handler may end the capture and destroy this object: stop as soon as it is gone.
                QPointer<QObject> alive(&mainThread);
                const auto handlers = observers;
                for (const auto& [token, handler] : handlers) {
                    if (!alive)
                        return;
                    if (observers.contains(token))
                        handler();
                }
            },
            Qt::QueuedConnection);
    }

    // Captured bytes, or a hole (data null) that the server reports for lost audio, filled with
    // silence so that the timeline stays whole.
    void deliverLocked(const void* data, std::size_t bytes)
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

    static void contextStateChanged(pa_context* context, void* userdata)
    {
        auto* self = static_cast<Private*>(userdata);
        const pa_context_state_t state = pa_context_get_state(context);
        if (!PA_CONTEXT_IS_GOOD(state) && self->contextWasReady) {
            // The server went away: whatever ran is stopped, and there is no microphone until a
            // new connection says otherwise.
            logLine("Parlune: sound server connection lost");
            self->contextWasReady = false;
            self->running = false;
            self->defaultSource = {};
            if (self->started)
                self->postChangeLocked();
        }
        pa_threaded_mainloop_signal(self->loop, 0);
    }

    static void subscriptionEvent(pa_context*, pa_subscription_event_type_t, uint32_t, void* userdata)
    {
        static_cast<Private*>(userdata)->armSettleTimerLocked();
    }

    static void settled(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata)
    {
        static_cast<Private*>(userdata)->refreshLocked();
    }

    static void serverInfoReceived(pa_context* context, const pa_server_info* info, void* userdata)
    {
        auto* self = static_cast<Private*>(userdata);
        if (!info || !info->default_source_name || !*info->default_source_name) {
            self->finishRefreshLocked({});
            return;
        }
        self->candidate = {};
        pa_operation* operation = pa_context_get_source_info_by_name(context, info->default_source_name,
                                                                     &Private::sourceInfoReceived, self);
        if (operation)
            pa_operation_unref(operation);
        else
            self->finishRefreshLocked({});
    }

    static void sourceInfoReceived(pa_context*, const pa_source_info* info, int eol, void* userdata)
    {
        auto* self = static_cast<Private*>(userdata);
        if (eol < 0) {
            // The default source vanished between the two questions.
            self->finishRefreshLocked({});
            return;
        }
        if (info) {
            Source& source = self->candidate;
            source.name = info->name;
            source.index = info->index;
            source.format = {double(info->sample_spec.rate), info->sample_spec.channels};
            source.channelMap = info->channel_map;
            source.isMicrophone = info->monitor_of_sink == PA_INVALID_INDEX;
        }
        if (eol > 0)
            self->finishRefreshLocked(self->candidate);
    }

    static void streamStateChanged(pa_stream* stream, void* userdata)
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

    static void streamReadable(pa_stream* stream, size_t, void* userdata)
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
};

PulseAudioInput::PulseAudioInput()
    : d(std::make_unique<Private>())
{
    d->loop = pa_threaded_mainloop_new();
    if (d->loop && pa_threaded_mainloop_start(d->loop) < 0) {
        pa_threaded_mainloop_free(d->loop);
        d->loop = nullptr;
    }
    if (d->loop)
        pa_threaded_mainloop_set_name(d->loop, "Parlune.audio");
}

PulseAudioInput::~PulseAudioInput()
{
    if (!d->loop)
        return;
    {
        Private::Locker lock(d->loop);
        d->tap = nullptr;
        d->dropContextLocked();
    }
    pa_threaded_mainloop_stop(d->loop);
    pa_threaded_mainloop_free(d->loop);
}

AudioFormat PulseAudioInput::inputFormat()
{
    if (!d->loop)
        return {};
    Private::Locker lock(d->loop);
    if (!d->connectLocked() || !d->defaultSource.isMicrophone)
        return {};
    return d->defaultSource.format;
}

void PulseAudioInput::installTap(quint32 frames, std::optional<AudioFormat> format, Tap tap)
{
    if (!d->loop)
        return;
    Private::Locker lock(d->loop);
    d->tapFrames = std::max<quint32>(frames, 1);
    d->tapFormat = format;
    d->tap = std::move(tap);
    d->pending.reset();
}

void PulseAudioInput::removeTap()
{
    if (!d->loop)
        return;
    Private::Locker lock(d->loop);
    d->tap = nullptr;
    d->pending.reset();
}

void PulseAudioInput::prepare()
{
    if (!d->loop)
        return;
    Private::Locker lock(d->loop);
    d->connectLocked();
}

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

    const Source source = d->defaultSource;
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

bool PulseAudioInput::isRunning() const
{
    return d->running;
}

AudioInput::ObserverToken PulseAudioInput::addConfigurationObserver(std::function<void()> handler)
{
    const ObserverToken token = d->nextToken++;
    d->observers.emplace(token, std::move(handler));
    return token;
}

void PulseAudioInput::removeConfigurationObserver(ObserverToken token)
{
    d->observers.erase(token);
}

} // namespace parlune
