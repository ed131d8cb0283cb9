// SPDX-License-Identifier: GPL-3.0-or-later
// Keeping the recogniser ready for the chosen language, and the watch timer.
#include "app/AppCoordinator.h"

#include "input/GlobalHotkeys.h"
#include "platform/InputAccess.h"
#include "platform/KeyboardTap.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>

namespace parlune {

void AppCoordinator::prepareLanguage(bool showProgress)
{
    const Language language = m_language;
    if (m_engine->readyFormat(language))
        return;
    if (showProgress && !m_isRecording)
        setStatus(RecordingStatus::preparing(preparingText(language)));
    // Asking again while a preparation runs adds no work: the engine shares it.
    runPreparation(this, language);
}

QCoro::Task<> AppCoordinator::runPreparation(QPointer<AppCoordinator> self, Language language)
{
    const auto outcome = co_await self->m_engine->prepare(language);
    if (!self)
        co_return;
    self->noteModelProblem(language);
    if (outcome) {
        if (self->m_status.kind() == RecordingStatus::Preparing)
            self->setStatus(RecordingStatus::idle());
        // Another model serves in place of one that could not be loaded: the user is told once.
        if (const auto problem = self->m_modelProblems.find(language); problem != self->m_modelProblems.end())
            self->setStatus(RecordingStatus::message(problem->second.first));
    } else {
        // Even over a recording: the user must know the language is not available.
        self->setStatus(RecordingStatus::message(SpeechEngine::description(outcome.error())));
    }
}

void AppCoordinator::startPermissionWatch()
{
    setAccessibilityGranted(m_inputAccess && m_inputAccess->isTrusted());
    m_permissionTimer.setInterval(2000);
    m_permissionTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_permissionTimer, &QTimer::timeout, this, &AppCoordinator::tick);
    m_permissionTimer.start();
}

void AppCoordinator::tick()
{
    const bool trusted = m_inputAccess && m_inputAccess->isTrusted();
    if (trusted != m_accessibilityGranted) {
        setAccessibilityGranted(trusted);
        // Access just granted: the keyboard tap can be installed now, without a restart.
        if (trusted && m_hotkeys)
            m_hotkeys->start();
    }
    if (m_hotkeys && m_inputAccess && m_inputAccess->isTrusted()) {
        // The X connection can be lost or the grabs taken away: bring the tap back within 2 seconds.
        if (!m_hotkeys->tap())
            m_hotkeys->start();
        else if (!m_hotkeys->tap()->isEnabled())
            m_hotkeys->tap()->setEnabled(true);
    }
    // A hold whose release never came through ends here, within 2 seconds.
    if (m_hotkeys)
        m_hotkeys->checkPressedKey();
    enforceRecordingSafety();
}

void AppCoordinator::enforceRecordingSafety()
{
    if (!m_isRecording)
        return;
    const Clock::Instant now = m_clock->now();
    // Both rules finish the dictation: what was said so far is still delivered.
    if (m_recordingStartedAt && secondsBetween(*m_recordingStartedAt, now) > maxRecordingDuration) {
        finishRecording();
        return;
    }
    if (m_handsFree && m_lastSoundAt && secondsBetween(*m_lastSoundAt, now) > handsFreeSilenceTimeout)
        finishRecording();
}

} // namespace parlune
