// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/SoundFile.h"

#include <QFile>

#include <sndfile.h>

namespace parlune {

Outcome<std::unique_ptr<SoundFile>, QString> SoundFile::open(const QString& path)
{
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) {
        return QStringLiteral("Le fichier son « %1 » n'a pas pu être lu : %2")
            .arg(path, QString::fromLocal8Bit(sf_strerror(nullptr)));
    }
    if (info.channels < 1 || info.samplerate < 1) {
        sf_close(file);
        return QStringLiteral("Le fichier son « %1 » ne contient pas de son utilisable.").arg(path);
    }
    const AudioFormat format{double(info.samplerate), quint32(info.channels)};
    return std::unique_ptr<SoundFile>(new SoundFile(file, format, info.frames));
}

SoundFile::SoundFile(SNDFILE* file, AudioFormat format, qint64 length)
    : m_file(file)
    , m_format(format)
    , m_length(length)
{}

SoundFile::~SoundFile()
{
    sf_close(m_file);
}

std::optional<QString> SoundFile::read(AudioBuffer& buffer, quint32 frames)
{
    frames = std::min(frames, buffer.frameCapacity());
    const sf_count_t read = sf_readf_float(m_file, buffer.samples(), frames);
    if (read < 0 || (read == 0 && sf_error(m_file) != SF_ERR_NO_ERROR)) {
        return QStringLiteral("Le fichier son n'a pas pu être lu : %1")
            .arg(QString::fromLocal8Bit(sf_strerror(m_file)));
    }
    buffer.setFrameLength(quint32(read));
    m_position += read;
    return std::nullopt;
}

} // namespace parlune
