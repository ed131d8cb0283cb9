// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/DownloadLock.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace parlune {

DownloadLock::~DownloadLock()
{
    // Closing lets the lock go. The file stays: removing it would let a third process lock a new file
    // while a second one still waits on the old.
    ::close(m_descriptor);
}

DownloadLock::Attempt DownloadLock::tryAcquire(const QString& path, std::unique_ptr<DownloadLock>& lock)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0)
        return Attempt::failed;
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(descriptor);
        return error == EWOULDBLOCK ? Attempt::heldElsewhere : Attempt::failed;
    }
    lock.reset(new DownloadLock(descriptor));
    return Attempt::acquired;
}

} // namespace parlune
