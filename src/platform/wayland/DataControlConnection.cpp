// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/DataControlConnection.h"

#include "platform/Log.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace parlune {

namespace {

// Our requests reach the compositor in microseconds; these bounds only matter when it hangs.
constexpr std::chrono::milliseconds answerLimit{1000};

template <typename T> T valueWithin(std::future<T>& future, T fallback)
{
    if (future.wait_for(answerLimit) != std::future_status::ready)
        return fallback;
    try {
        return future.get();
    } catch (const std::future_error&) {
        // The connection was lost before the thread could answer.
        return fallback;
    }
}

} // namespace

std::unique_ptr<DataControlConnection> DataControlConnection::open()
{
    std::unique_ptr<DataControlConnection> connection(new DataControlConnection);
    if (!connection->connectToCompositor())
        return nullptr;
    return connection;
}

bool DataControlConnection::connectToCompositor()
{
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return false;
    static const wl_registry_listener registryListener{&DataControlConnection::global,
                                                       &DataControlConnection::globalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &registryListener, this);
    if (wl_display_roundtrip(m_display) < 0 || !m_seat || !m_manager)
        return false;

    static const zwlr_data_control_device_v1_listener deviceListener{
        &DataControlConnection::dataOffer, &DataControlConnection::selection,
        &DataControlConnection::finished, &DataControlConnection::primarySelection};
    m_device = zwlr_data_control_manager_v1_get_data_device(m_manager, m_seat);
    zwlr_data_control_device_v1_add_listener(m_device, &deviceListener, this);
    // The clipboard's content when we come is no change.
    if (wl_display_roundtrip(m_display) < 0)
        return false;
    m_started = true;

    m_wakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0)
        return false;
    m_thread = std::thread([this] { run(); });
    return true;
}

DataControlConnection::~DataControlConnection()
{
    if (m_thread.joinable()) {
        m_running = false;
        const uint64_t one = 1;
        (void)!write(m_wakeFd, &one, sizeof one);
        m_thread.join();
    }
    for (Write& pending : m_writes)
        close(pending.fd);
    for (SyncWaiter& waiter : m_syncWaiters) {
        wl_callback_destroy(waiter.callback);
        waiter.done();
    }
    for (Offer& offer : m_announced)
        zwlr_data_control_offer_v1_destroy(offer.proxy);
    forgetSelection();
    if (m_source)
        zwlr_data_control_source_v1_destroy(m_source);
    if (m_device)
        zwlr_data_control_device_v1_destroy(m_device);
    if (m_manager)
        zwlr_data_control_manager_v1_destroy(m_manager);
    if (m_seat)
        wl_seat_destroy(m_seat);
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
    if (m_wakeFd >= 0)
        close(m_wakeFd);
}

DataControlConnection::Content DataControlConnection::content()
{
    auto promise = std::make_shared<std::promise<Content>>();
    std::future<Content> future = promise->get_future();
    const bool posted = post([this, promise] {
        Content content;
        if (m_source) {
            content.ours = true;
            content.own = m_sourceTypes;
        } else if (m_selection.proxy) {
            for (const QString& type : m_selection.types) {
                int ends[2];
                if (pipe2(ends, O_CLOEXEC) != 0)
                    continue;
                // Only our end reads without blocking: the writer gets an ordinary pipe.
                fcntl(ends[0], F_SETFL, O_NONBLOCK);
                zwlr_data_control_offer_v1_receive(m_selection.proxy, type.toUtf8().constData(), ends[1]);
                // The request carries a duplicate of the descriptor.
                close(ends[1]);
                content.pipes.emplace_back(type, ends[0]);
            }
        }
        promise->set_value(std::move(content));
    });
    if (!posted)
        return {};
    Content content = valueWithin(future, Content{});
    return content;
}

void DataControlConnection::setContent(Types types)
{
    if (types.empty()) {
        clear();
        return;
    }
    auto promise = std::make_shared<std::promise<bool>>();
    std::future<bool> future = promise->get_future();
    const bool posted = post([this, types = std::move(types), promise]() mutable {
        if (!m_device) {
            promise->set_value(false);
            return;
        }
        static const zwlr_data_control_source_v1_listener sourceListener{&DataControlConnection::send,
                                                                         &DataControlConnection::cancelled};
        zwlr_data_control_source_v1* source = zwlr_data_control_manager_v1_create_data_source(m_manager);
        zwlr_data_control_source_v1_add_listener(source, &sourceListener, this);
        for (const auto& type : types)
            zwlr_data_control_source_v1_offer(source, type.first.toUtf8().constData());
        // The new content replaces ours in one step: the clipboard is never empty in between, which a
        // clipboard manager would fill with its last entry.
        zwlr_data_control_device_v1_set_selection(m_device, source);
        if (m_source)
            zwlr_data_control_source_v1_destroy(m_source);
        m_source = source;
        m_sourceTypes = std::move(types);
        // The news of earlier clears now comes while the content is ours.
        m_clearEchoes = 0;
        afterCompositorHasSeen([promise] { promise->set_value(true); });
    });
    if (posted)
        (void)valueWithin(future, false);
}

void DataControlConnection::clear()
{
    post([this] {
        if (!m_device || (!m_source && !m_selection.proxy))
            return;
        zwlr_data_control_device_v1_set_selection(m_device, nullptr);
        if (m_source) {
            zwlr_data_control_source_v1_destroy(m_source);
            m_source = nullptr;
            m_sourceTypes.clear();
        }
        ++m_clearEchoes;
    });
}

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

bool DataControlConnection::writeSome(Write& pending)
{
    while (pending.written < pending.bytes.size()) {
        const ssize_t count = ::write(pending.fd, pending.bytes.constData() + pending.written,
                                      std::size_t(pending.bytes.size() - pending.written));
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0 && errno == EAGAIN)
            return false;
        if (count <= 0)
            break; // the reader went away
        pending.written += count;
    }
    close(pending.fd);
    pending.fd = -1;
    return true;
}

void DataControlConnection::serviceWrites(const std::vector<short>& events)
{
    for (std::size_t i = 0; i < events.size() && i < m_writes.size(); ++i) {
        if (events[i] != 0)
            writeSome(m_writes[i]);
    }
    std::erase_if(m_writes, [](const Write& pending) { return pending.fd < 0; });
}

void DataControlConnection::forgetSelection()
{
    if (m_selection.proxy)
        zwlr_data_control_offer_v1_destroy(m_selection.proxy);
    m_selection = {};
}

void DataControlConnection::global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                                   uint32_t)
{
    auto* self = static_cast<DataControlConnection*>(data);
    // The first seat is the user's keyboard and pointer; version 1 of each interface is all we use.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
        self->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && !self->m_manager)
        self->m_manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}

void DataControlConnection::globalRemove(void*, wl_registry*, uint32_t)
{
    // A seat that goes away finishes its device, which is handled there.
}

void DataControlConnection::dataOffer(void* data, zwlr_data_control_device_v1*,
                                      zwlr_data_control_offer_v1* offer)
{
    static const zwlr_data_control_offer_v1_listener offerListener{&DataControlConnection::offerType};
    auto* self = static_cast<DataControlConnection*>(data);
    zwlr_data_control_offer_v1_add_listener(offer, &offerListener, self);
    self->m_announced.push_back({offer, {}});
}

void DataControlConnection::offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type)
{
    auto* self = static_cast<DataControlConnection*>(data);
    for (Offer& announced : self->m_announced) {
        if (announced.proxy == offer)
            announced.types.push_back(QString::fromUtf8(type));
    }
}

void DataControlConnection::selection(void* data, zwlr_data_control_device_v1*,
                                      zwlr_data_control_offer_v1* offer)
{
    auto* self = static_cast<DataControlConnection*>(data);
    Offer next;
    for (Offer& announced : self->m_announced) {
        if (announced.proxy == offer)
            next = std::move(announced);
        else
            zwlr_data_control_offer_v1_destroy(announced.proxy);
    }
    self->m_announced.clear();
    self->forgetSelection();
    self->m_selection = std::move(next);

    if (!self->m_started)
        return;
    // While the content is ours, the news is of our own change, or of one that ours replaced: another
    // program taking the clipboard from us cancels our source, and that is counted there.
    if (self->m_source)
        return;
    if (!offer && self->m_clearEchoes > 0) {
        --self->m_clearEchoes;
        return;
    }
    ++self->m_foreignChanges;
}

void DataControlConnection::finished(void* data, zwlr_data_control_device_v1* device)
{
    auto* self = static_cast<DataControlConnection*>(data);
    zwlr_data_control_device_v1_destroy(device);
    self->m_device = nullptr;
    logLine("Parlune: the seat's clipboard went away");
}

void DataControlConnection::primarySelection(void*, zwlr_data_control_device_v1*,
                                             zwlr_data_control_offer_v1* offer)
{
    // Bound at the first version, the device never reports the primary selection; should it, the offer
    // is of no use.
    if (offer)
        zwlr_data_control_offer_v1_destroy(offer);
}

void DataControlConnection::send(void* data, zwlr_data_control_source_v1* source, const char* type,
                                 int32_t fd)
{
    auto* self = static_cast<DataControlConnection*>(data);
    const QString wanted = QString::fromUtf8(type);
    const auto found = std::find_if(self->m_sourceTypes.begin(), self->m_sourceTypes.end(),
                                    [&](const auto& offered) { return offered.first == wanted; });
    if (source != self->m_source || found == self->m_sourceTypes.end()) {
        close(fd);
        return;
    }
    // A reader that takes its time (a large picture) never holds up the others or the compositor.
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    Write pending{fd, found->second, 0};
    if (!self->writeSome(pending))
        self->m_writes.push_back(std::move(pending));
}

void DataControlConnection::cancelled(void* data, zwlr_data_control_source_v1* source)
{
    auto* self = static_cast<DataControlConnection*>(data);
    if (source == self->m_source) {
        self->m_source = nullptr;
        self->m_sourceTypes.clear();
        ++self->m_foreignChanges;
    }
    zwlr_data_control_source_v1_destroy(source);
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
