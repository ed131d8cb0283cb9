// SPDX-License-Identifier: GPL-3.0-or-later
// Answering other programs' reads of what we put on the clipboard, without ever blocking on them.
#include "platform/wayland/DataControlConnection.h"

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

namespace parlune {

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

} // namespace parlune
