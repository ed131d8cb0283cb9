// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelArchive.h"

#include <QDir>
#include <QFile>

#include <archive.h>
#include <archive_entry.h>

#include <cerrno>
#include <memory>

namespace parlune {

namespace {

// Whether a path read from an archive stays inside the folder it is unpacked into.
bool staysInside(const QString& path)
{
    if (path.isEmpty() || path.startsWith(QLatin1Char('/')))
        return false;
    const QStringList parts = path.split(QLatin1Char('/'));
    return !parts.contains(QStringLiteral(".."));
}

// Unpacking stopped: for want of room, or because the archive could not be read or written out.
DownloadFailure failure(const QString& detail, int error)
{
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return DownloadFailure{DownloadFailure::Kind::diskFull, {}, 0, {}, 0, 0, detail};
    return DownloadFailure{DownloadFailure::Kind::unpacking, {}, 0, {}, 0, 0, detail};
}

DownloadFailure failure(archive* handle)
{
    return failure(QString::fromLocal8Bit(archive_error_string(handle)), archive_errno(handle));
}

} // namespace

std::optional<DownloadFailure> ModelArchive::unpack(const QString& archivePath, const QString& folder)
{
    if (!QDir().mkpath(folder))
        return failure(QStringLiteral("cannot create %1").arg(folder), errno);
    const std::unique_ptr<archive, int (*)(archive*)> in(archive_read_new(), archive_read_free);
    const std::unique_ptr<archive, int (*)(archive*)> out(archive_write_disk_new(), archive_write_free);
    archive_read_support_format_zip(in.get());
    archive_read_support_format_tar(in.get());
    archive_read_support_filter_all(in.get());
    // No owners, permissions beyond the user's umask, or times from the archive.
    archive_write_disk_set_options(out.get(),
                                   ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_SYMLINKS);
    if (archive_read_open_filename(in.get(), QFile::encodeName(archivePath).constData(), 1 << 16) !=
        ARCHIVE_OK)
        return failure(in.get());

    const QDir root(folder);
    archive_entry* entry = nullptr;
    int status = ARCHIVE_OK;
    while ((status = archive_read_next_header(in.get(), &entry)) == ARCHIVE_OK) {
        const char* rawPath = archive_entry_pathname_utf8(entry);
        const QString path =
            rawPath ? QString::fromUtf8(rawPath) : QFile::decodeName(archive_entry_pathname(entry));
        const mode_t type = archive_entry_filetype(entry);
        if (!staysInside(path) || (type != AE_IFREG && type != AE_IFDIR))
            return failure(QStringLiteral("refused entry %1").arg(path), 0);
        archive_entry_set_pathname(entry, QFile::encodeName(root.filePath(path)).constData());
        archive_entry_set_perm(entry, type == AE_IFDIR ? 0755 : 0644);
        if (archive_write_header(out.get(), entry) != ARCHIVE_OK)
            return failure(out.get());
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        int read = ARCHIVE_OK;
        while ((read = archive_read_data_block(in.get(), &block, &size, &offset)) == ARCHIVE_OK) {
            if (archive_write_data_block(out.get(), block, size, offset) != ARCHIVE_OK)
                return failure(out.get());
        }
        if (read != ARCHIVE_EOF)
            return failure(in.get());
        if (archive_write_finish_entry(out.get()) != ARCHIVE_OK)
            return failure(out.get());
    }
    if (status != ARCHIVE_EOF)
        return failure(in.get());
    if (archive_write_close(out.get()) != ARCHIVE_OK)
        return failure(out.get());
    return std::nullopt;
}

} // namespace parlune
