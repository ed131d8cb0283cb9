// SPDX-License-Identifier: GPL-3.0-or-later
// The capture's connection to the sound server: made on demand, dropped, lost.
#include "platform/pulse/PulseAudioInputPrivate.h"

#include "platform/Log.h"

namespace parlune {

bool PulseAudioInput::Private::connectLocked()
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

void PulseAudioInput::Private::dropContextLocked()
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

void PulseAudioInput::Private::contextStateChanged(pa_context* context, void* userdata)
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

} // namespace parlune
