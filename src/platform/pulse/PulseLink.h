// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_operation;

namespace parlune {

// One connection to the sound server, with its own event thread, shared by the output mixer and the
// cue sounds. Connecting starts at construction and does not block; callers that need the server wait
// for it with a bound.
class PulseLink
{
public:
    explicit PulseLink(const char* applicationName = "Parlune");
    ~PulseLink();
    PulseLink(const PulseLink&) = delete;
    PulseLink& operator=(const PulseLink&) = delete;

    // Holds the event thread's lock for the life of the object; libpulse calls need it.
    class Lock
    {
    public:
        explicit Lock(PulseLink& link);
        ~Lock();
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;

    private:
        PulseLink& m_link;
    };

    // With the lock held: waits until the context is ready, up to `timeout`; false if it never became so.
    bool waitReady(std::chrono::milliseconds timeout);
    // With the lock held: waits for an operation to finish and drops it; false if it failed to start.
    bool await(pa_operation* operation);
    // Wakes a thread blocked in await(); called from libpulse callbacks.
    void signal();

    pa_context* context() const { return m_context; }
    pa_threaded_mainloop* mainloop() const { return m_mainloop; }

private:
    pa_threaded_mainloop* m_mainloop = nullptr;
    pa_context* m_context = nullptr;
};

} // namespace parlune
