// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/parakeet/PhraseDecoding.h"

namespace parlune {

PhraseDecoding::PhraseDecoding(VoiceActivity& voice, PhraseDecoder& decoder, bool volatileResults,
                               const std::atomic_bool& cancelled, Report report)
    : m_phrases(voice)
    , m_decoder(decoder)
    , m_volatileResults(volatileResults)
    , m_cancelled(cancelled)
    , m_report(std::move(report))
{}

std::optional<RecognitionError> PhraseDecoding::accept(std::span<const float> samples, bool caughtUp)
{
    m_phrases.accept(samples);
    if (std::optional<RecognitionError> failed = decodeClosedPhrases())
        return failed;
    // Decoding a closed phrase took time, during which more audio may have come: the feeder says again
    // at the next buffer whether it has caught up.
    if (caughtUp && m_volatileResults && !m_cancelled &&
        m_phrases.received() - m_previewedAt >= previewSpacingSamples && !m_phrases.openPhrase().empty())
        return decodeOpenPhrase();
    return std::nullopt;
}

std::optional<RecognitionError> PhraseDecoding::finish()
{
    m_phrases.finish();
    return decodeClosedPhrases();
}

std::optional<RecognitionError> PhraseDecoding::decodeClosedPhrases()
{
    while (m_phrases.hasPhrase() && !m_cancelled) {
        const SpeechSegment phrase = *m_phrases.takePhrase();
        Outcome<QString, RecognitionError> text = m_decoder.decode(phrase.samples);
        if (!text)
            return text.error();
        // An empty final reading still matters when it replaces a volatile one.
        if (!text.value().isEmpty() || !m_shownVolatile.isEmpty())
            m_report(TranscriptionResult{text.value(), true});
        m_shownVolatile.clear();
    }
    return std::nullopt;
}

std::optional<RecognitionError> PhraseDecoding::decodeOpenPhrase()
{
    m_previewedAt = m_phrases.received();
    Outcome<QString, RecognitionError> text = m_decoder.decode(m_phrases.openPhrase());
    if (!text)
        return text.error();
    if (text.value() != m_shownVolatile) {
        m_shownVolatile = text.value();
        m_report(TranscriptionResult{text.value(), false});
    }
    return std::nullopt;
}

} // namespace parlune
