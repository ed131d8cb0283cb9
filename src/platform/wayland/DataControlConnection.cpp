// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/DataControlConnection.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <chrono>
#include <future>

#include <fcntl.h>
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

} // namespace parlune
