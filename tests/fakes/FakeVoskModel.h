// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace parlune {

// Where the tests find the fake libvosk (FakeVoskLibrary.cpp) and the real one from scripts/setup.
inline QString fakeVoskLibraryPath()
{
    return QStringLiteral(PARLUNE_FAKE_VOSK);
}
inline QString realVoskLibraryPath()
{
    return QStringLiteral(PARLUNE_REAL_VOSK);
}

// A folder laid out like a Vosk model, which the fake libvosk loads and plays `script` from.
inline void writeFakeVoskModel(const QString& folder, const QStringList& script)
{
    const QDir dir(folder);
    for (const char* sub : {"am", "conf", "graph", "ivector"})
        dir.mkpath(QString::fromLatin1(sub));
    for (const char* file : {"am/final.mdl", "conf/mfcc.conf", "graph/HCLr.fst", "ivector/final.ie"}) {
        QFile part(dir.filePath(QString::fromLatin1(file)));
        part.open(QIODevice::WriteOnly);
        part.write("not a real model part\n");
    }
    QFile lines(dir.filePath(QStringLiteral("script")));
    lines.open(QIODevice::WriteOnly);
    lines.write(script.join(QLatin1Char('\n')).toUtf8() + '\n');
}

// `folder` as a zip archive, its files under one top folder named `top`, as the published models are.
inline QByteArray zipped(const QString& folder, const QString& top)
{
    QTemporaryDir work;
    const QByteArray path = QFile::encodeName(work.filePath(QStringLiteral("model.zip")));
    const std::unique_ptr<archive, int (*)(archive*)> zip(archive_write_new(), archive_write_free);
    archive_write_set_format_zip(zip.get());
    archive_write_open_filename(zip.get(), path.constData());
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString file = files.next();
        QFile content(file);
        content.open(QIODevice::ReadOnly);
        const QByteArray bytes = content.readAll();
        const QByteArray name = (top + QLatin1Char('/') + QDir(folder).relativeFilePath(file)).toUtf8();
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(),
                                                                             archive_entry_free);
        archive_entry_set_pathname(entry.get(), name.constData());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), bytes.size());
        archive_write_header(zip.get(), entry.get());
        archive_write_data(zip.get(), bytes.constData(), bytes.size());
    }
    archive_write_close(zip.get());
    QFile result(QFile::decodeName(path));
    result.open(QIODevice::ReadOnly);
    return result.readAll();
}

} // namespace parlune
