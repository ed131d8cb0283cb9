// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/DictationSession.h"

#include "speech/SpeechEngine.h"

#include <QStringList>

namespace parlune {

// What the result loop shares with the session: whether the text is still wanted.
struct DictationSession::Collection
{
    bool cancelled = false;
};

namespace {

// The coroutines below hold what they use by value, never the session: a session let go of while
// they run leaves them running.

QCoro::Task<std::optional<RecognitionError>> startAnalysis(std::shared_ptr<Analyzer> analyzer,
                                                           std::shared_ptr<AudioBufferQueue> input)
{
    co_return co_await analyzer->start(std::move(input));
}

QCoro::Task<> cancelAnalysis(std::shared_ptr<Analyzer> analyzer)
{
    co_await analyzer->cancelAndFinishNow();
}

} // namespace

DictationSession::DictationSession(Recognizer& recognizer, Language language, PreviewCallback onPreview)
    : m_language(language)
    , m_input(std::make_shared<AudioBufferQueue>())
    , m_analyzer(recognizer.makeAnalyzer(SpeechEngine::makeTranscriber(language), SpeechEngine::options()))
    , m_collection(std::make_shared<Collection>())
{
    m_text = collectText(m_analyzer, m_collection, std::move(onPreview));
    m_started = startAnalysis(m_analyzer, m_input);
}

DictationSession::~DictationSession()
{
    // Otherwise its analysis would wait for audio that never comes, holding the language's decoder.
    if (!m_ended)
        cancel();
}

QCoro::Task<Outcome<QString, RecognitionError>> DictationSession::finish()
{
    std::shared_ptr<Analyzer> analyzer = m_analyzer;
    m_ended = true;
    m_input->finish();
    if (std::optional<RecognitionError> failed = co_await m_started)
        co_return *failed;
    if (std::optional<RecognitionError> failed = co_await analyzer->finalizeAndFinishThroughEndOfInput())
        co_return *failed;
    co_return co_await m_text;
}

void DictationSession::cancel()
{
    m_ended = true;
    m_input->finish();
    m_collection->cancelled = true;
    // Nobody waits for the analyser to stop; the task runs on by itself once dropped.
    cancelAnalysis(m_analyzer);
}

QString DictationSession::normalized(const QString& text)
{
    QString outcome;
    outcome.reserve(text.size());
    bool pendingSpace = false;
    for (const QChar character : text) {
        if (character.isSpace()) {
            pendingSpace = !outcome.isEmpty();
            continue;
        }
        if (pendingSpace)
            outcome += QLatin1Char(' ');
        pendingSpace = false;
        outcome += character;
    }
    return outcome;
}

// The preview is the settled text followed by the latest reading while it is still volatile; the final
// text is the settled readings only.
QCoro::Task<Outcome<QString, RecognitionError>>
DictationSession::collectText(std::shared_ptr<Analyzer> analyzer, std::shared_ptr<Collection> collection,
                              PreviewCallback onPreview)
{
    std::shared_ptr<RecognitionResults> results = analyzer->results();
    QStringList finalised;
    while (std::optional<TranscriptionResult> result = co_await results->next()) {
        if (collection->cancelled)
            break;
        if (result->isFinal)
            finalised.append(result->text);
        if (onPreview) {
            QStringList shown = finalised;
            if (!result->isFinal)
                shown.append(result->text);
            onPreview(DictationSession::normalized(shown.join(QLatin1Char(' '))));
        }
    }
    if (collection->cancelled)
        co_return RecognitionError{QStringLiteral("La dictée a été abandonnée.")};
    if (results->error())
        co_return *results->error();
    co_return DictationSession::normalized(finalised.join(QLatin1Char(' ')));
}

} // namespace parlune
