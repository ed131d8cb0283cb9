// SPDX-License-Identifier: GPL-3.0-or-later
// The connection's thread: its loop, the commands the main thread posts to it, and round trips.
#include "platform/wayland/DataControlConnection.h"

#include "platform/Log.h"

#include <wayland-client.h>

#include <algorithm>
#include <cerrno>

#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace parlune {

bool DataControlConnection::post(std::function<void()> command)
{
    if (m_lost)
        return false;
    {
        const std::lock_guard lock(m_mutex);
        m_commands.push_back(std::move(command));
    }
    const uint64_t one = 1;
    (void)!write(m_wakeFd, &one, sizeof one);
    return true;
}

void DataControlConnection::runCommands()
{
    std::vector<std::function<void()>> commands;
    {
        const std::lock_guard lock(m_mutex);
        commands.swap(m_commands);
    }
    for (auto& command : commands)
        command();
}

void DataControlConnection::afterCompositorHasSeen(std::function<void()> done)
{
    static const wl_callback_listener callbackListener{&DataControlConnection::syncDone};
    wl_callback* callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &callbackListener, this);
    m_syncWaiters.push_back({callback, std::move(done)});
}

void DataControlConnection::run()
{
    // WORKAROUND: POSIX: writing into a pipe whose reader has gone raises SIGPIPE, which ends the
    // program. Blocked on this thread, the only one that writes into other programs' pipes, the write
    // fails with EPIPE instead.
    sigset_t pipeSignal;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, nullptr);

    bool healthy = true;
    while (m_running && healthy) {
        runCommands();
        while (healthy && wl_display_prepare_read(m_display) != 0)
            healthy = wl_display_dispatch_pending(m_display) >= 0;
        if (!healthy)
            break;
        bool flushPending = false;
        if (wl_display_flush(m_display) < 0) {
            flushPending = errno == EAGAIN;
            healthy = flushPending;
        }

        std::vector<pollfd> fds{
            {wl_display_get_fd(m_display), short(POLLIN | (flushPending ? POLLOUT : 0)), 0},
            {m_wakeFd, POLLIN, 0}};
        for (const Write& pending : m_writes)
            fds.push_back({pending.fd, POLLOUT, 0});
        if (healthy && poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            healthy = false;

        if (healthy && (fds[0].revents & (POLLIN | POLLERR | POLLHUP)))
            healthy = wl_display_read_events(m_display) >= 0;
        else
            wl_display_cancel_read(m_display);
        // Writes already waiting are served after the events, which only add new ones at the end.
        std::vector<short> writeEvents;
        for (std::size_t i = 2; i < fds.size(); ++i)
            writeEvents.push_back(fds[i].revents);
        if (healthy)
            healthy = wl_display_dispatch_pending(m_display) >= 0;
        if (fds[1].revents & POLLIN) {
            uint64_t count = 0;
            (void)!read(m_wakeFd, &count, sizeof count);
        }
        serviceWrites(writeEvents);
    }
    if (!healthy) {
        m_lost = true;
        logLine("Parlune: lost the connection to the Wayland compositor, the clipboard is out of reach");
        // Whoever waits for an answer gets one now rather than at its time limit.
        runCommands();
        for (SyncWaiter& waiter : m_syncWaiters)
            waiter.done();
        m_syncWaiters.clear();
    }
}

void DataControlConnection::syncDone(void* data, wl_callback* callback, uint32_t)
{
    auto* self = static_cast<DataControlConnection*>(data);
    const auto found =
        std::find_if(self->m_syncWaiters.begin(), self->m_syncWaiters.end(),
                     [callback](const SyncWaiter& waiter) { return waiter.callback == callback; });
    wl_callback_destroy(callback);
    if (found == self->m_syncWaiters.end())
        return;
    const std::function<void()> done = std::move(found->done);
    self->m_syncWaiters.erase(found);
    done();
}

} // namespace parlune
