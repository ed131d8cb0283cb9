// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"
#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "platform/vosk/VoskLibrary.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace parlune {

// One Vosk recogniser decoding one dictation at a time, on the thread that uses it. Each buffer of
// 16 kHz audio gives at most one reading: a final one when the buffer ended an utterance (a pause),
// otherwise the utterance's current partial text as a volatile one when it changed.
class VoskStream
{
public:
    // Takes over `recognizer`; the model it was made from must outlive it.
    VoskStream(std::shared_ptr<const VoskLibrary> library, vosk_recognizer* recognizer);
    ~VoskStream();
    VoskStream(const VoskStream&) = delete;
    VoskStream& operator=(const VoskStream&) = delete;

    using Reading = std::optional<TranscriptionResult>;
    // Decodes one buffer (mono expected; several channels are mixed down). Partial texts are only
    // asked for with `partials`.
    Outcome<Reading, RecognitionError> accept(const AudioBuffer& buffer, bool partials);
    // The text of the last utterance, flushed: what follows the last final reading. May be empty.
    QString finish();
    // Ready for another dictation.
    void reset();

    // The "text" or "partial" member of a result of the library; empty when it is missing or the
    // document is not JSON.
    static QString textOf(const char* json, const char* member);

private:
    std::shared_ptr<const VoskLibrary> m_library;
    vosk_recognizer* m_recognizer;
    std::vector<qint16> m_samples;
    QString m_lastPartial;
};

} // namespace parlune
