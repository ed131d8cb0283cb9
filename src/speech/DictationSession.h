// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBufferQueue.h"
#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "speech/Language.h"

#include <QCoroTask>
#include <QString>

#include <functional>
#include <memory>

namespace parlune {

// One streaming recognition of one dictation. The recorder pushes the converted audio into `input()`
// while the user speaks; readings come back as a live preview; `finish()` gives the final text, or
// `cancel()` abandons the dictation. A session serves one dictation and is never reused.
//
// Made on the main thread, which also runs every preview call. The language must have been prepared
// by the speech engine first: the session relies on the model being loaded.
class DictationSession
{
public:
    using PreviewCallback = std::function<void(const QString& preview)>;

    DictationSession(Recognizer& recognizer, Language language, PreviewCallback onPreview = {});
    DictationSession(const DictationSession&) = delete;
    DictationSession& operator=(const DictationSession&) = delete;
    // A session let go of before finish() or cancel() is cancelled: its analysis stops and no final
    // text is made.
    ~DictationSession();

    // Where the audio goes, from any thread, in capture order, without ever waiting: the queue is
    // unbounded. Audio pushed after `finish()` or `cancel()` has begun is discarded.
    const std::shared_ptr<AudioBufferQueue>& input() const { return m_input; }
    Language language() const { return m_language; }

    // No more audio: analyses what is left and gives the final text (finalised readings only, blanks
    // collapsed), or the recogniser's error. Called once, on the main thread; no time limit.
    QCoro::Task<Outcome<QString, RecognitionError>> finish();
    // Abandons the dictation at once: no final text will be produced. Previews already on their way
    // may still arrive.
    void cancel();

    // Splits at every white-space character and joins the words with single spaces.
    static QString normalized(const QString& text);

private:
    struct Collection;
    // The result loop. It holds what it uses, never the session, so it runs on when the session is let go.
    static QCoro::Task<Outcome<QString, RecognitionError>> collectText(std::shared_ptr<Analyzer> analyzer,
                                                                       std::shared_ptr<Collection> collection,
                                                                       PreviewCallback onPreview);

    Language m_language;
    std::shared_ptr<AudioBufferQueue> m_input;
    std::shared_ptr<Analyzer> m_analyzer;
    std::shared_ptr<Collection> m_collection;
    // finish() or cancel() has been called.
    bool m_ended = false;
    QCoro::Task<std::optional<RecognitionError>> m_started;
    QCoro::Task<Outcome<QString, RecognitionError>> m_text;
};

} // namespace parlune
