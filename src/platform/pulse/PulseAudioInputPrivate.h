// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/pulse/PulseAudioInput.h"

#include "audio/AudioBufferPool.h"

#include <QObject>

#include <pulse/pulseaudio.h>

#include <atomic>
#include <map>

namespace parlune {

// The capture's state, shared between the main thread and the client library's thread.
struct PulseAudioInput::Private
{
    // How long the main thread waits for the server to answer before giving up.
    static constexpr pa_usec_t kAnswerTime = 3 * PA_USEC_PER_SEC;

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

    // The connection to the server (PulseAudioInputServer.cpp).
    bool connectLocked();
    void dropContextLocked();
    static void contextStateChanged(pa_context* context, void* userdata);

    // Following the default source and telling of its changes (PulseAudioInputSource.cpp).
    // Asks the server for its default source; returns the number of this request.
    quint64 refreshLocked();
    void armSettleTimerLocked();
    void finishRefreshLocked(const Source& source);
    void postChangeLocked();
    static void subscriptionEvent(pa_context*, pa_subscription_event_type_t, uint32_t, void* userdata);
    static void settled(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata);
    static void serverInfoReceived(pa_context* context, const pa_server_info* info, void* userdata);
    static void sourceInfoReceived(pa_context*, const pa_source_info* info, int eol, void* userdata);

    // The record stream and its buffers (PulseAudioInputStream.cpp).
    void teardownStreamLocked();
    // Captured bytes, or a hole (data null) that the server reports for lost audio, filled with
    // silence so that the timeline stays whole.
    void deliverLocked(const void* data, std::size_t bytes);
    static void streamStateChanged(pa_stream* stream, void* userdata);
    static void streamReadable(pa_stream* stream, size_t, void* userdata);
};

} // namespace parlune
