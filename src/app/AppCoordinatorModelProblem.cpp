// SPDX-License-Identifier: GPL-3.0-or-later
// A language's model that cannot be loaded: what the window says of it, and the way to a fresh copy.
#include "app/AppCoordinator.h"

#include "platform/Recognizer.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>

namespace parlune {

QString AppCoordinator::modelProblem() const
{
    const auto problem = m_modelProblems.find(m_language);
    return problem == m_modelProblems.end() ? QString() : problem->second.first;
}

bool AppCoordinator::canDownloadModelAgain() const
{
    const auto problem = m_modelProblems.find(m_language);
    return problem != m_modelProblems.end() && problem->second.second;
}

void AppCoordinator::noteModelProblem(Language language)
{
    const std::optional<Recognizer::ModelProblem> problem =
        m_engine->recognizer()->modelProblem(localeIdentifier(language));
    const auto known = m_modelProblems.find(language);
    if (!problem && known == m_modelProblems.end())
        return;
    if (problem)
        m_modelProblems[language] = {problem->description, problem->canDownloadAgain};
    else
        m_modelProblems.erase(known);
    if (language == m_language)
        Q_EMIT modelProblemChanged();
}

void AppCoordinator::downloadModelAgain()
{
    const Language language = m_language;
    if (!canDownloadModelAgain() || m_isRecording)
        return;
    if (!m_engine->recognizer()->setModelAside(localeIdentifier(language))) {
        setStatus(RecordingStatus::message(
            QCoreApplication::translate("AppCoordinator", "%1 : le modèle n'a pas pu être mis de côté.")
                .arg(displayName(language))));
        return;
    }
    m_modelProblems.erase(language);
    Q_EMIT modelProblemChanged();
    // The preparation finds no model now, and installs one with its progress shown.
    prepareLanguage(true);
}

} // namespace parlune
