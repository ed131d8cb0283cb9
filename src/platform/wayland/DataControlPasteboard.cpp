// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/DataControlPasteboard.h"

#include "platform/wayland/DataControlConnection.h"

#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include <poll.h>
#include <unistd.h>

namespace parlune {

namespace {

struct Reading
{
    QString type;
    int fd = -1;
    // Empty but not null: a type whose value is empty (a marker) is content.
    QByteArray bytes{""};
    bool complete = false;
};

// Reads every type another program sends, all at once, so that a program writing them one after the
// other in any order never waits for us. A type not complete within the limit is left out.
DataControlConnection::Types readAll(const std::vector<std::pair<QString, int>>& pipes)
{
    std::vector<Reading> readings;
    for (const auto& [type, fd] : pipes)
        readings.push_back({type, fd});
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(DataControlPasteboard::readLimitMilliseconds);
    for (;;) {
        std::vector<pollfd> fds;
        std::vector<Reading*> open;
        for (Reading& reading : readings) {
            if (reading.fd >= 0) {
                fds.push_back({reading.fd, POLLIN, 0});
                open.push_back(&reading);
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (fds.empty() || left.count() <= 0)
            break;
        if (poll(fds.data(), fds.size(), int(left.count())) < 0 && errno != EINTR)
            break;
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].revents == 0)
                continue;
            Reading& reading = *open[i];
            char chunk[65536];
            const ssize_t count = read(reading.fd, chunk, sizeof chunk);
            if (count > 0) {
                reading.bytes.append(chunk, count);
            } else if (count == 0 || (errno != EAGAIN && errno != EINTR)) {
                reading.complete = count == 0;
                close(reading.fd);
                reading.fd = -1;
            }
        }
    }
    DataControlConnection::Types types;
    for (Reading& reading : readings) {
        if (reading.fd >= 0)
            close(reading.fd);
        if (reading.complete)
            types.emplace_back(reading.type, std::move(reading.bytes));
    }
    return types;
}

} // namespace

std::unique_ptr<DataControlPasteboard> DataControlPasteboard::connect()
{
    std::unique_ptr<DataControlConnection> connection = DataControlConnection::open();
    if (!connection)
        return nullptr;
    return std::unique_ptr<DataControlPasteboard>(new DataControlPasteboard(std::move(connection)));
}

DataControlPasteboard::DataControlPasteboard(std::unique_ptr<DataControlConnection> connection)
    : m_connection(std::move(connection))
{}

DataControlPasteboard::~DataControlPasteboard() = default;

PasteboardSnapshot DataControlPasteboard::items()
{
    if (m_clearPending)
        return {};
    DataControlConnection::Content content = m_connection->content();
    DataControlConnection::Types types = content.ours ? std::move(content.own) : readAll(content.pipes);
    if (types.empty())
        return {};
    return {PasteboardItem{std::move(types)}};
}

int DataControlPasteboard::changeCount()
{
    return m_ownChanges + m_connection->foreignChanges();
}

void DataControlPasteboard::clearContents()
{
    ++m_ownChanges;
    if (m_clearPending)
        return;
    // An empty clipboard, even for an instant, invites a clipboard manager to put its last entry back,
    // which could then be pasted instead of the text: a write in the same turn of the event loop
    // replaces the content in one step, and only a clear on its own empties the clipboard.
    m_clearPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_clearPending)
            return;
        m_clearPending = false;
        m_connection->clear();
    });
}

void DataControlPasteboard::writeItems(const PasteboardSnapshot& items)
{
    // The clipboard holds one item: the types of all items are offered together, each from the first
    // item that has it.
    DataControlConnection::Types types;
    for (const PasteboardItem& item : items) {
        for (const auto& [type, bytes] : item.data) {
            if (std::none_of(types.begin(), types.end(),
                             [&](const auto& offered) { return offered.first == type; }))
                types.emplace_back(type, bytes);
        }
    }
    m_clearPending = false;
    m_connection->setContent(std::move(types));
    ++m_ownChanges;
}

} // namespace parlune

#include "moc_DataControlPasteboard.cpp"
