// SPDX-License-Identifier: GPL-3.0-or-later
// Following the server's default source, and telling the owner once a change has settled.
#include "platform/pulse/PulseAudioInputPrivate.h"

#include <QMetaObject>
#include <QPointer>

namespace parlune {

namespace {

// How long the server must stay quiet after a change before the change is told.
constexpr pa_usec_t kSettleTime = 250 * PA_USEC_PER_MSEC;

} // namespace

quint64 PulseAudioInput::Private::refreshLocked()
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

void PulseAudioInput::Private::armSettleTimerLocked()
{
    if (settleTimer)
        pa_context_rttime_restart(context, settleTimer, pa_rtclock_now() + kSettleTime);
}

void PulseAudioInput::Private::finishRefreshLocked(const Source& source)
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

void PulseAudioInput::Private::postChangeLocked()
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

void PulseAudioInput::Private::subscriptionEvent(pa_context*, pa_subscription_event_type_t, uint32_t,
                                                 void* userdata)
{
    static_cast<Private*>(userdata)->armSettleTimerLocked();
}

void PulseAudioInput::Private::settled(pa_mainloop_api*, pa_time_event*, const struct timeval*,
                                       void* userdata)
{
    static_cast<Private*>(userdata)->refreshLocked();
}

void PulseAudioInput::Private::serverInfoReceived(pa_context* context, const pa_server_info* info,
                                                  void* userdata)
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

void PulseAudioInput::Private::sourceInfoReceived(pa_context*, const pa_source_info* info, int eol,
                                                  void* userdata)
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

} // namespace parlune
