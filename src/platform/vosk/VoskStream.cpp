// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vosk/VoskStream.h"

#include <QJsonDocument>
#include <QJsonObject>
namespace parlune {

VoskStream::VoskStream(std::shared_ptr<const VoskLibrary> library, vosk_recognizer* recognizer)
    : m_library(std::move(library))
    , m_recognizer(recognizer)
{
    // Plain texts: no word timings and no alternatives to parse on every buffer.
    m_library->recognizerSetWords(m_recognizer, 0);
    m_library->recognizerSetPartialWords(m_recognizer, 0);
    m_library->recognizerSetMaxAlternatives(m_recognizer, 0);
}

VoskStream::~VoskStream()
{
    m_library->recognizerFree(m_recognizer);
}

QString VoskStream::textOf(const char* json, const char* member)
{
    if (!json)
        return {};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(json));
    return document.object().value(QLatin1String(member)).toString();
}

Outcome<VoskStream::Reading, RecognitionError> VoskStream::accept(const AudioBuffer& buffer, bool partials)
{
    buffer.toMonoInt16(m_samples);

    const int outcome =
        m_library->recognizerAcceptWaveformS(m_recognizer, m_samples.data(), int(m_samples.size()));
    if (outcome < 0)
        return RecognitionError{QStringLiteral("La reconnaissance vocale s'est arrêtée sur une erreur.")};
    if (outcome > 0) {
        // The utterance is settled; the next partial text starts afresh.
        m_lastPartial.clear();
        return Reading(TranscriptionResult{textOf(m_library->recognizerResult(m_recognizer), "text"), true});
    }
    if (!partials)
        return Reading();
    QString partial = textOf(m_library->recognizerPartialResult(m_recognizer), "partial");
    if (partial == m_lastPartial)
        return Reading();
    m_lastPartial = partial;
    return Reading(TranscriptionResult{std::move(partial), false});
}

QString VoskStream::finish()
{
    m_lastPartial.clear();
    return textOf(m_library->recognizerFinalResult(m_recognizer), "text");
}

void VoskStream::reset()
{
    m_lastPartial.clear();
    m_library->recognizerReset(m_recognizer);
}

} // namespace parlune
