// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"

#include <QFile>
#include <QString>

#include <vector>

namespace parlune {

// Real recorded speech from Debian's pocketsphinx-testdata: 16 kHz mono, 16-bit.
inline QString recordedSpeech(const QString& name)
{
    return QStringLiteral("/usr/share/pocketsphinx/test/data/") + name;
}

// The samples of a 16-bit mono recording, raw or WAVE, as floats.
inline std::vector<float> readSamples(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("RIFF")) {
        const qsizetype data = bytes.indexOf("data");
        bytes = data < 0 ? QByteArray() : bytes.mid(data + 8);
    }
    std::vector<float> samples(bytes.size() / 2);
    const auto* pcm = reinterpret_cast<const qint16*>(bytes.constData());
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = pcm[i] / 32768.0f;
    return samples;
}

// The samples cut into buffers of `frames` frames, as the recorder delivers them.
inline std::vector<AudioBufferPtr> toBuffers(const std::vector<float>& samples, quint32 frames = 2048)
{
    std::vector<AudioBufferPtr> buffers;
    for (std::size_t start = 0; start < samples.size(); start += frames) {
        const auto length = quint32(std::min<std::size_t>(frames, samples.size() - start));
        auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, frames);
        std::copy_n(samples.begin() + start, length, buffer->samples());
        buffer->setFrameLength(length);
        buffers.push_back(std::move(buffer));
    }
    return buffers;
}

} // namespace parlune
