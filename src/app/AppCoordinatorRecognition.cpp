// SPDX-License-Identifier: GPL-3.0-or-later
// The choice between fast and accurate recognition, and the engines' work in the background.
#include "app/AppCoordinator.h"

#include "platform/RecognizerChoice.h"
#include "speech/SpeechEngine.h"

namespace parlune {

void AppCoordinator::setRecognitionCode(const QString& code)
{
    if (const std::optional<Recognition> recognition = recognitionFromRawValue(code))
        setRecognition(*recognition);
}

bool AppCoordinator::accurateAvailable() const
{
    return m_choice && m_choice->accurateAvailable();
}

BackgroundWork AppCoordinator::accurateWork() const
{
    return m_choice ? m_choice->accurateWork() : BackgroundWork{};
}

BackgroundWork AppCoordinator::fastWork() const
{
    return m_choice ? m_choice->voskWork(localeIdentifier(m_language)) : BackgroundWork{};
}

bool AppCoordinator::accurateInUse() const
{
    return m_choice &&
           m_choice->engineFor(localeIdentifier(m_language)) == RecognizerChoice::Engine::accurate;
}

void AppCoordinator::chooseRecognizer(bool changed)
{
    if (!m_choice)
        return;
    const bool accurate = m_recognition == Recognition::accurate;
    m_choice->chooseAccurate(accurate, SpeechEngine::makeTranscriber(m_language));
    if (changed && !accurate) {
        // The languages the accurate engine served may have nothing ready on the fast one.
        m_engine->forgetPreparedLanguages();
        prepareLanguage(false);
    }
}

void AppCoordinator::retryRecognitionWork()
{
    if (m_choice)
        m_choice->retryFailedWork(SpeechEngine::makeTranscriber(m_language), /*evenCalledOff=*/true);
}

} // namespace parlune
