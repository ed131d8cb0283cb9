// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

struct wl_callback;
struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwlr_data_control_device_v1;
struct zwlr_data_control_manager_v1;
struct zwlr_data_control_offer_v1;
struct zwlr_data_control_source_v1;

namespace parlune {

// One seat's clipboard through the compositor's data-control protocol, on a Wayland connection and a
// thread of their own. The thread answers other programs' reads of what we put on the clipboard, so
// they never wait for our main thread; the main thread asks for and changes the content through the
// public functions, which are safe to call from any one thread.
class DataControlConnection
{
public:
    // Types and their bytes, in the order they are offered.
    using Types = std::vector<std::pair<QString, QByteArray>>;

    // What the clipboard holds: our own content, or another program's, whose types arrive through the
    // read end of one pipe each (the caller reads and closes them).
    struct Content
    {
        bool ours = false;
        Types own;
        std::vector<std::pair<QString, int>> pipes;
    };

    // Connects to the compositor of WAYLAND_DISPLAY; none when there is none, it has no seat or it does
    // not offer the protocol.
    static std::unique_ptr<DataControlConnection> open();
    ~DataControlConnection();
    DataControlConnection(const DataControlConnection&) = delete;
    DataControlConnection& operator=(const DataControlConnection&) = delete;

    Content content();
    // Makes `types` the clipboard's content; returns once the compositor has taken the change, so that a
    // paste that follows reads it.
    void setContent(Types types);
    // Empties the clipboard.
    void clear();
    // How many times another program changed the clipboard since we connected.
    int foreignChanges() const { return m_foreignChanges.load(); }

private:
    struct Offer
    {
        zwlr_data_control_offer_v1* proxy = nullptr;
        std::vector<QString> types;
    };
    struct Write
    {
        int fd = -1;
        QByteArray bytes;
        qsizetype written = 0;
    };
    struct SyncWaiter
    {
        wl_callback* callback = nullptr;
        std::function<void()> done;
    };

    DataControlConnection() = default;
    bool connectToCompositor();

    // The connection's thread (DataControlConnectionThread.cpp).
    void run();
    // Runs `command` on the connection's thread; false once the connection is lost.
    bool post(std::function<void()> command);
    void runCommands();
    void afterCompositorHasSeen(std::function<void()> done);
    static void syncDone(void* data, wl_callback* callback, uint32_t time);

    // What the compositor tells, on the connection's thread (DataControlConnectionEvents.cpp).
    void forgetSelection();
    static void global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                       uint32_t version);
    static void globalRemove(void* data, wl_registry* registry, uint32_t name);
    static void dataOffer(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void selection(void* data, zwlr_data_control_device_v1* device, zwlr_data_control_offer_v1* offer);
    static void finished(void* data, zwlr_data_control_device_v1* device);
    static void primarySelection(void* data, zwlr_data_control_device_v1* device,
                                 zwlr_data_control_offer_v1* offer);
    static void offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type);
    static void cancelled(void* data, zwlr_data_control_source_v1* source);

    // Other programs' reads of our content (DataControlConnectionWrites.cpp).
    static void send(void* data, zwlr_data_control_source_v1* source, const char* type, int32_t fd);
    bool writeSome(Write& write);
    void serviceWrites(const std::vector<short>& events);

    wl_display* m_display = nullptr;
    wl_registry* m_registry = nullptr;
    wl_seat* m_seat = nullptr;
    zwlr_data_control_manager_v1* m_manager = nullptr;
    zwlr_data_control_device_v1* m_device = nullptr;

    // The connection thread's own state.
    std::vector<Offer> m_announced;
    Offer m_selection;
    zwlr_data_control_source_v1* m_source = nullptr;
    Types m_sourceTypes;
    // Our own clears whose news has not come back yet: they are no foreign change.
    int m_clearEchoes = 0;
    bool m_started = false;
    std::vector<Write> m_writes;
    std::vector<SyncWaiter> m_syncWaiters;

    std::thread m_thread;
    int m_wakeFd = -1;
    std::atomic<bool> m_running{true};
    std::atomic<bool> m_lost{false};
    std::mutex m_mutex;
    std::vector<std::function<void()>> m_commands;
    std::atomic<int> m_foreignChanges{0};
};

} // namespace parlune
