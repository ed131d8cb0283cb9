// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseLink.h"

#include <pulse/pulseaudio.h>

namespace parlune {

PulseLink::PulseLink(const char* applicationName)
{
    m_mainloop = pa_threaded_mainloop_new();
    if (!m_mainloop)
        return;
    pa_threaded_mainloop_set_name(m_mainloop, "Parlune.pulse");
    m_context = pa_context_new(pa_threaded_mainloop_get_api(m_mainloop), applicationName);
    if (!m_context)
        return;
    pa_context_set_state_callback(
        m_context, [](pa_context*, void* link) { static_cast<PulseLink*>(link)->signal(); }, this);
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return;
    pa_threaded_mainloop_start(m_mainloop);
}

PulseLink::~PulseLink()
{
    if (m_mainloop)
        pa_threaded_mainloop_stop(m_mainloop);
    if (m_context) {
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_mainloop)
        pa_threaded_mainloop_free(m_mainloop);
}

PulseLink::Lock::Lock(PulseLink& link)
    : m_link(link)
{
    if (m_link.m_mainloop)
        pa_threaded_mainloop_lock(m_link.m_mainloop);
}

PulseLink::Lock::~Lock()
{
    if (m_link.m_mainloop)
        pa_threaded_mainloop_unlock(m_link.m_mainloop);
}

void PulseLink::signal()
{
    pa_threaded_mainloop_signal(m_mainloop, 0);
}

bool PulseLink::waitReady(std::chrono::milliseconds timeout)
{
    if (!m_context)
        return false;
    // pa_threaded_mainloop_wait has no timeout: a timer event on the loop wakes us at the deadline.
    bool expired = false;
    struct Deadline
    {
        PulseLink* link;
        bool* expired;
    } deadline{this, &expired};
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(m_mainloop);
    pa_time_event* timer = pa_context_rttime_new(
        m_context, pa_rtclock_now() + pa_usec_t(timeout.count()) * 1000,
        [](pa_mainloop_api*, pa_time_event*, const struct timeval*, void* data) {
            auto* d = static_cast<Deadline*>(data);
            *d->expired = true;
            d->link->signal();
        },
        &deadline);
    for (;;) {
        const pa_context_state_t state = pa_context_get_state(m_context);
        if (state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state) || expired)
            break;
        pa_threaded_mainloop_wait(m_mainloop);
    }
    if (timer)
        api->time_free(timer);
    return pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

bool PulseLink::await(pa_operation* operation)
{
    if (!operation)
        return false;
    while (pa_operation_get_state(operation) == PA_OPERATION_RUNNING)
        pa_threaded_mainloop_wait(m_mainloop);
    pa_operation_unref(operation);
    return true;
}

} // namespace parlune
