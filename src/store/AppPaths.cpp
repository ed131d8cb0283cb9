// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/AppPaths.h"

#include "store/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace parlune {

namespace {

// Copies `source` to `target`, which must not exist yet. A half-written copy is removed.
void copyNewFile(const QString& source, const QString& target)
{
    const std::optional<QByteArray> data = readWholeFile(source);
    if (!data)
        return;
    const QByteArray targetName = QFile::encodeName(target);
    const int fd = ::open(targetName.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return;
    const char* bytes = data->constData();
    qsizetype left = data->size();
    bool ok = true;
    while (ok && left > 0) {
        const ssize_t written = ::write(fd, bytes, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        ok = written > 0;
        bytes += ok ? written : 0;
        left -= ok ? written : 0;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        ::unlink(targetName.constData());
}

} // namespace

QString AppPaths::dataHome()
{
    const QString xdg = qEnvironmentVariable("XDG_DATA_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QLatin1String("/.local/share");
}

QString AppPaths::resolveSupport(const QString& dataHome)
{
    const QString support = dataHome + QLatin1String("/Parlune");
    const QString legacy = dataHome + QLatin1String("/Oravel");
    if (QFileInfo::exists(support) || !QFileInfo::exists(legacy))
        return support;

    // The program was once called Oravel: its settings and history come along once, and its folder
    // stays where it is.
    QDir().mkpath(support);
    QFile::setPermissions(support, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const char* name : {"settings.json", "history.json"})
        copyNewFile(legacy + u'/' + QLatin1String(name), support + u'/' + QLatin1String(name));
    return support;
}

QString AppPaths::support()
{
    // Computed once, even when two threads ask at the same time.
    static const QString folder = resolveSupport(dataHome());
    return folder;
}

QString AppPaths::models()
{
    return support() + QLatin1String("/models");
}

} // namespace parlune
