// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"
#include "platform/Outcome.h"

#include <QString>

#include <memory>
#include <optional>

typedef struct sf_private_tag SNDFILE;

namespace parlune {

// A sound file read from start to end in 32-bit float frames, whatever its own sample format: the
// self-check reads its synthesised sentence this way.
class SoundFile
{
public:
    // The file, or why it cannot be read (in French).
    static Outcome<std::unique_ptr<SoundFile>, QString> open(const QString& path);
    ~SoundFile();
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    // Float frames at the file's rate and channel count.
    const AudioFormat& processingFormat() const { return m_format; }
    qint64 framePosition() const { return m_position; }
    qint64 length() const { return m_length; }

    // Reads up to `frames` frames (at most the buffer's capacity) into `buffer` and sets its frame
    // length; a buffer left empty means the end of the file. The error, in French, when reading fails.
    std::optional<QString> read(AudioBuffer& buffer, quint32 frames);

private:
    SoundFile(SNDFILE* file, AudioFormat format, qint64 length);

    SNDFILE* m_file;
    AudioFormat m_format;
    qint64 m_length;
    qint64 m_position = 0;
};

} // namespace parlune
