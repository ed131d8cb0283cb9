// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <memory>

namespace parlune {

// The right to work on one model's files, held by one installation at a time across every Parlune
// process (the program and its self-check, say): a lock (flock) on a file beside the model. The system
// lets it go when the holder closes it or ends in any way, killed included, so a lock is never left
// behind and no guess about stale locks is needed.
class DownloadLock
{
public:
    ~DownloadLock();
    DownloadLock(const DownloadLock&) = delete;
    DownloadLock& operator=(const DownloadLock&) = delete;

    enum class Attempt { acquired, heldElsewhere, failed };
    // Takes the lock at `path` if no one holds it, without waiting. `lock` is set when acquired.
    static Attempt tryAcquire(const QString& path, std::unique_ptr<DownloadLock>& lock);

private:
    explicit DownloadLock(int descriptor)
        : m_descriptor(descriptor)
    {}

    int m_descriptor;
};

} // namespace parlune
