// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/FileWriteQueue.h"

#include "store/AtomicFile.h"

#include <algorithm>

namespace parlune {

FileWriteQueue::FileWriteQueue()
    : FileWriteQueue(writeFileAtomically)
{}

FileWriteQueue::FileWriteQueue(WriteFunction write)
    : m_write(std::move(write))
{}

FileWriteQueue::~FileWriteQueue()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

FileWriteQueue& FileWriteQueue::shared()
{
    // Destroyed when the program ends, after writing what is still pending.
    static FileWriteQueue queue;
    return queue;
}

void FileWriteQueue::write(const QString& path, QByteArray content, mode_t mode)
{
    {
        std::lock_guard lock(m_mutex);
        const auto same = std::find_if(m_pending.begin(), m_pending.end(),
                                       [&](const Pending& pending) { return pending.path == path; });
        // Not begun yet: the newer content takes its place in the line.
        if (same != m_pending.end()) {
            same->content = std::move(content);
            same->mode = mode;
        } else {
            m_pending.push_back({path, std::move(content), mode});
        }
        // The thread is started by the first write: a program that only reads has none.
        if (!m_thread.joinable())
            m_thread = std::thread(&FileWriteQueue::run, this);
    }
    m_changed.notify_all();
}

void FileWriteQueue::waitUntilWritten(const QString& path)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] {
        return m_writing != path &&
               std::none_of(m_pending.begin(), m_pending.end(),
                            [&](const Pending& pending) { return pending.path == path; });
    });
}

void FileWriteQueue::run()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_changed.wait(lock, [this] { return !m_pending.empty() || m_stopping; });
        if (m_pending.empty())
            return;
        Pending next = std::move(m_pending.front());
        m_pending.pop_front();
        m_writing = next.path;
        lock.unlock();
        m_write(next.path, next.content, next.mode);
        lock.lock();
        m_writing.clear();
        m_changed.notify_all();
    }
}

} // namespace parlune
