// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"

#include <QProcess>
#include <QString>

#include <cstring>
#include <vector>

namespace parlune {

// Real recorded speech from Debian's pocketsphinx-testdata (16 kHz mono), as interleaved float samples
// at `rate` with `channels` channels: what a microphone of that format would have captured. sox converts.
inline std::vector<float> recordedSpeech(const QString& name, int rate = 16000, int channels = 1)
{
    const QString path = QStringLiteral("/usr/share/pocketsphinx/test/data/") + name;
    const QString input = path.endsWith(".raw") ? "-t raw -r 16000 -e signed-integer -b 16 -c 1 %1" : "%1";
    const QString output =
        QStringLiteral(" -t raw -e floating-point -b 32 -r %1 -c %2 -").arg(rate).arg(channels);
    QProcess sox;
    sox.start(QStringLiteral("sox"), (input + output).arg(path).split(' '));
    sox.waitForFinished(60'000);
    const QByteArray bytes = sox.readAllStandardOutput();
    std::vector<float> samples(std::size_t(bytes.size()) / sizeof(float));
    std::memcpy(samples.data(), bytes.constData(), samples.size() * sizeof(float));
    return samples;
}

// The samples cut into buffers of `frames` frames, as the capture delivers them.
inline std::vector<AudioBufferPtr> toBuffers(const std::vector<float>& samples,
                                             AudioFormat format = {16000, 1}, quint32 frames = 2048)
{
    std::vector<AudioBufferPtr> buffers;
    const std::size_t total = samples.size() / format.channelCount;
    for (std::size_t start = 0; start < total; start += frames) {
        auto buffer = std::make_shared<AudioBuffer>(format, frames);
        buffer->setFrameLength(quint32(std::min<std::size_t>(frames, total - start)));
        std::copy_n(samples.begin() + start * format.channelCount,
                    buffer->frameLength() * format.channelCount, buffer->samples());
        buffers.push_back(std::move(buffer));
    }
    return buffers;
}

} // namespace parlune
