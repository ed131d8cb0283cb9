// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/parakeet/PhraseDecoder.h"
#include "platform/parakeet/PhraseQueue.h"
#include "platform/parakeet/VoiceActivity.h"

#include <atomic>
#include <functional>
#include <optional>
#include <span>

namespace parlune {

// One dictation decoded phrase by phrase, on the thread that feeds it. Each phrase is decoded as soon
// as a pause closes it, while the user goes on speaking, and reported as a final reading; at the end of
// the input only the last phrase is left. When the feeder has caught up with the microphone, the
// phrase still being spoken is decoded again, at most once per half second of new audio, and reported
// as a volatile reading: the preview moves while the user speaks, never at the cost of falling behind.
class PhraseDecoding
{
public:
    using Report = std::function<void(TranscriptionResult)>;

    // `cancelled` may be set from another thread: no phrase is decoded after it.
    PhraseDecoding(VoiceActivity& voice, PhraseDecoder& decoder, bool volatileResults,
                   const std::atomic_bool& cancelled, Report report);

    static constexpr std::int64_t previewSpacingSamples = PhraseQueue::sampleRate / 2;

    // The next samples of 16 kHz mono audio. `caughtUp`: nothing else waits to be decoded, so there is
    // time for a preview. Gives the decoder's failure, after which nothing more is decoded.
    std::optional<RecognitionError> accept(std::span<const float> samples, bool caughtUp);
    // The end of the input: decodes the last phrase.
    std::optional<RecognitionError> finish();

private:
    std::optional<RecognitionError> decodeClosedPhrases();
    std::optional<RecognitionError> decodeOpenPhrase();

    PhraseQueue m_phrases;
    PhraseDecoder& m_decoder;
    const bool m_volatileResults;
    const std::atomic_bool& m_cancelled;
    Report m_report;
    // The volatile reading shown last, until a final one replaces it.
    QString m_shownVolatile;
    // Samples received at the last preview.
    std::int64_t m_previewedAt = 0;
};

} // namespace parlune
