// SPDX-License-Identifier: GPL-3.0-or-later
// The download of a language's model while it is being prepared: its progress in the panel and the
// windows, and the user's way to stop it.
#include "app/AppCoordinator.h"

#include "platform/InstallationText.h"
#include "platform/Recognizer.h"

#include <QCoreApplication>

#include <cmath>

namespace parlune {

namespace {

// The language as the model's adjective: "le modèle français".
QString modelAdjective(Language language)
{
    switch (language) {
    case Language::fr:
        return QCoreApplication::translate("AppCoordinator", "français");
    case Language::es:
        return QCoreApplication::translate("AppCoordinator", "espagnol");
    case Language::en:
        return QCoreApplication::translate("AppCoordinator", "anglais");
    }
    return {};
}

} // namespace

QString AppCoordinator::preparingText(Language language) const
{
    const auto download = m_downloads.find(language);
    if (download == m_downloads.end())
        return QCoreApplication::translate("AppCoordinator", "Préparation : %1…").arg(displayName(language));
    return InstallationText::describe(
        *download->second,
        QCoreApplication::translate("AppCoordinator", "modèle %1").arg(modelAdjective(language)));
}

void AppCoordinator::followInstallation(Language language, std::shared_ptr<InstallationProgress> progress)
{
    m_downloads[language] = progress;
    QPointer<AppCoordinator> self(this);
    // Weakly: the progress keeps its observers.
    std::weak_ptr<InstallationProgress> followed = progress;
    progress->observe([self, language, followed] {
        const std::shared_ptr<InstallationProgress> progress = followed.lock();
        if (!self || !progress)
            return;
        const auto download = self->m_downloads.find(language);
        if (progress->isFinished() && download != self->m_downloads.end() && download->second == progress)
            self->m_downloads.erase(download);
        self->refreshModelDownload();
    });
    refreshModelDownload();
}

void AppCoordinator::refreshModelDownload()
{
    const auto download = m_downloads.find(m_language);
    const bool active = download != m_downloads.end() && !download->second->isCancelled();
    const QString text = active ? preparingText(m_language) : QString();
    // A bar only for what can be measured: the bytes of the download.
    double fraction = -1;
    if (active && (download->second->step() == InstallationProgress::Step::downloading ||
                   download->second->step() == InstallationProgress::Step::waiting))
        fraction = download->second->fractionCompleted();
    // The installation tells its progress once a percent or once a second, and a new step always.
    if (text != m_modelDownloadText) {
        m_modelDownloadText = text;
        m_modelDownloadFraction = fraction;
        m_modelDownloadCancellable = active && download->second->canCancel();
        Q_EMIT modelDownloadChanged();
    }
    if (m_status.kind() == RecordingStatus::Preparing) {
        const RecordingStatus preparing = RecordingStatus::preparing(preparingText(m_language));
        if (!(preparing == m_status))
            setStatus(preparing);
    }
}

void AppCoordinator::cancelModelDownload()
{
    const auto download = m_downloads.find(m_language);
    if (download != m_downloads.end())
        download->second->cancel();
}

} // namespace parlune
