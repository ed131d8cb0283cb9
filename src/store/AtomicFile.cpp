// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace parlune {

namespace {

// Creates `folder` and any missing parent, each private to the user. True when it exists afterwards.
bool makeFolder(const QByteArray& folder)
{
    struct stat info;
    if (::stat(folder.constData(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash > 0 && !makeFolder(folder.left(slash)))
        return false;
    // Another process may have made it in the meantime: that is as good.
    return ::mkdir(folder.constData(), 0700) == 0 || errno == EEXIST;
}

bool writeAll(int fd, const char* data, qsizetype size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace

bool writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QByteArray target = QFile::encodeName(absolute);
    const QByteArray folder = QFile::encodeName(QFileInfo(absolute).absolutePath());
    if (!makeFolder(folder))
        return false;

    // A hidden name beside the target, so that the rename stays within one file system.
    QByteArray temporary = folder + "/." + QFile::encodeName(QFileInfo(absolute).fileName()) + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0)
        return false;
    const bool written =
        writeAll(fd, data.constData(), data.size()) && ::fsync(fd) == 0 && ::fchmod(fd, mode) == 0;
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(temporary.constData(), target.constData()) == 0)
        return true;
    ::unlink(temporary.constData());
    return false;
}

std::optional<QByteArray> readWholeFile(const QString& path)
{
    // Non-blocking, so that a pipe left at the path is refused instead of waited on.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    QByteArray content;
    // The size is only a hint: a file may grow while it is read, and a huge one is not trusted.
    content.reserve(qsizetype(std::min<off_t>(info.st_size, 1 << 20)));
    char chunk[16384];
    for (;;) {
        const ssize_t count = ::read(fd, chunk, sizeof chunk);
        if (count < 0 && errno == EINTR)
            continue;
        if (count < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (count == 0)
            break;
        content.append(chunk, count);
    }
    ::close(fd);
    return content;
}

} // namespace parlune
