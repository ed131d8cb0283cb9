// SPDX-License-Identifier: GPL-3.0-or-later
// The life of one dictation: the checks before capture, the microphone and the session, the live
// preview, the end of capture and the transcription handed over to the delivery.
#include "app/AppCoordinator.h"

#include "audio/AudioRecorder.h"
#include "input/GlobalHotkeys.h"
#include "platform/Log.h"
#include "platform/RecognizerChoice.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"
#include "speech/TextFormatter.h"
#include "system/MediaController.h"
#include "system/Sounds.h"

#include <QCoreApplication>
#include <QTextBoundaryFinder>

namespace parlune {

namespace {

// Louder than this, a buffer counts as sound for the hands-free silence rule.
constexpr float soundLevel = 0.08f;

// Characters as the user counts them: "é" written as e and a combining accent is one.
int characterCount(const QString& text)
{
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() > 0)
        ++count;
    return count;
}

// The panel shows the preview on one line: a line break there is a return sign.
QString onOneLine(QString preview)
{
    preview.replace(u'\n', QStringLiteral(" ↵ "));
    preview.replace(QStringLiteral("  "), QStringLiteral(" "));
    return preview.trimmed();
}

bool isThisProgram(const std::optional<RunningApplication>& application, const RunningApplication& self)
{
    // Two missing identifiers count as the same.
    return application->bundleIdentifier == self.bundleIdentifier;
}

} // namespace

void AppCoordinator::startRecording()
{
    if (m_isRecording)
        return;

    switch (m_microphoneStatus ? m_microphoneStatus() : MicrophoneAuthorization::Authorized) {
    case MicrophoneAuthorization::NotDetermined:
        // The system asks the user; the next press records once access is granted.
        m_gesture.reset();
        AudioRecorder::requestPermission();
        return;
    case MicrophoneAuthorization::Restricted:
    case MicrophoneAuthorization::Denied:
        m_gesture.reset();
        setStatus(RecordingStatus::message(
            QCoreApplication::translate("AppCoordinator", "Micro refusé : autorisez-le dans Parlune")));
        return;
    case MicrophoneAuthorization::Authorized:
        break;
    }

    // A model that could not be fetched or loaded in the background is tried again at each dictation.
    if (m_choice)
        m_choice->retryFailedWork(SpeechEngine::makeTranscriber(m_language));

    const std::optional<AudioFormat> format = m_engine->readyFormat(m_language);
    if (!format) {
        // This press only starts the preparation; the user presses again once it is ready.
        m_gesture.reset();
        prepareLanguage(true);
        return;
    }

    const std::optional<RunningApplication> front = m_workspace->frontmostApplication();
    m_targetApp = front && !isThisProgram(front, m_workspace->currentApplication()) ? front : std::nullopt;

    const qint64 id = ++m_sessionID;
    m_previewContext.reset();
    QPointer<AppCoordinator> self(this);
    auto session = std::make_shared<DictationSession>(
        *m_engine->recognizer(), m_language, [self, id, language = m_language](const QString& preview) {
            // A preview of a finished or cancelled dictation must not overwrite the next one's.
            if (!self || !self->m_isRecording || self->m_sessionID != id)
                return;
            // Read once, when there are words to show, rather than holding up the start.
            if (!self->m_previewContext)
                self->m_previewContext = self->cursorContext(language);
            self->setLivePreview(onOneLine(TextFormatter(language).format(preview, *self->m_previewContext)));
        });

    // Runs on the capture thread: it only hands the audio over, never waits.
    const std::shared_ptr<AudioBufferQueue> input = session->input();
    const std::optional<Error> error =
        m_recorder->start(*format, [input](const AudioBufferPtr& buffer) { input->push(buffer); });
    if (error) {
        session->cancel();
        m_gesture.reset();
        setStatus(RecordingStatus::message(error->description));
        return;
    }

    m_session = std::move(session);
    if (m_soundsEnabled && m_sounds)
        Sounds::play(m_sounds->start());
    if (m_muteWhileRecording && m_media) {
        // With sounds on, the start sound is heard before the output goes quiet.
        m_media->muteForRecording(Seconds(m_soundsEnabled ? 0.3 : 0.0));
    }
    const Clock::Instant now = m_clock->now();
    m_recordingStartedAt = now;
    m_lastSoundAt = now;
    setIsRecording(true);
    if (m_hotkeys)
        m_hotkeys->setCapturesEscape(true);
    setStatus(RecordingStatus::recording());
    logLine("Parlune: recording (%s)", qPrintable(rawValue(m_language)));
}

void AppCoordinator::recorderLevel(float level)
{
    // A level measured just before the stop may arrive after it: the meter stays at 0 between
    // dictations.
    if (!m_isRecording)
        return;
    setAudioLevel(level);
    if (level > soundLevel)
        m_lastSoundAt = m_clock->now();
}

void AppCoordinator::finishRecording()
{
    if (!m_isRecording || !m_session)
        return;
    std::shared_ptr<DictationSession> session = m_session;
    stopCapture(m_soundsEnabled);
    setStatus(RecordingStatus::transcribing());

    const std::optional<RunningApplication> target = m_targetApp;
    std::shared_ptr<Completion> previous = std::move(m_delivery);
    const Clock::Instant released = m_clock->now();
    m_delivery = std::make_shared<Completion>();
    transcribeAndDeliver(this, std::move(session), released, std::move(previous), target, m_delivery);
}

QCoro::Task<> AppCoordinator::transcribeAndDeliver(QPointer<AppCoordinator> self,
                                                   std::shared_ptr<DictationSession> session,
                                                   Clock::Instant released,
                                                   std::shared_ptr<Completion> previous,
                                                   std::optional<RunningApplication> target,
                                                   std::shared_ptr<Completion> done)
{
    // Transcriptions of successive dictations overlap; their deliveries follow the dictations' order.
    Clock* clock = self ? self->m_clock : nullptr;
    auto outcome = co_await session->finish();
    if (outcome) {
        const QString text = outcome.value();
        const double latency = clock ? secondsBetween(released, clock->now()) : 0.0;
        if (self)
            self->setLastLatency(latency);
        logLine("Parlune: %d characters, ready %.2f s after the key", characterCount(text), latency);
        if (previous)
            co_await previous->wait();
        if (self)
            co_await self->deliver(text, target, session->language());
    } else {
        const QString description = outcome.error().description;
        logLine("Parlune: transcription failed: %s", qPrintable(description));
        if (previous)
            co_await previous->wait();
        // Shown even when another dictation has started meanwhile.
        if (self)
            self->setStatus(RecordingStatus::message(description));
    }
    done->complete();
}

void AppCoordinator::stopCapture(bool withSound)
{
    m_recorder->stop();
    m_session.reset();
    setLivePreview({});
    if (m_media) {
        Sounds* sounds = m_sounds;
        // The end sound waits for the output to be unmuted, or nobody would hear it.
        m_media->restore(withSound && sounds
                             ? std::function<void()>([sounds] { Sounds::play(sounds->end()); })
                             : std::function<void()>());
    } else if (withSound && m_sounds) {
        Sounds::play(m_sounds->end());
    }
    setIsRecording(false);
    setHandsFree(false);
    setAudioLevel(0);
    m_recordingStartedAt.reset();
    if (m_hotkeys)
        m_hotkeys->setCapturesEscape(false);
    m_gesture.reset();
}

void AppCoordinator::cancelRecording(std::optional<QString> message)
{
    if (!m_isRecording)
        return;
    // No final text, nothing delivered; an earlier dictation's delivery goes on.
    if (m_session)
        m_session->cancel();
    stopCapture(false);
    setStatus(message ? RecordingStatus::message(*message) : RecordingStatus::idle());
}

} // namespace parlune
