// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RecognitionModel.h"

#include "app/AppCoordinator.h"
#include "platform/InstallationText.h"
#include "platform/Recognizer.h"
#include "platform/models/ModelCatalogue.h"

namespace parlune {

namespace {

using Phase = BackgroundWork::Phase;

} // namespace

RecognitionModel::RecognitionModel(AppCoordinator& coordinator, MachineResources machine, QObject* parent)
    : QObject(parent)
    , m_coordinator(coordinator)
    , m_machine(machine)
{
    m_shown = shown();
    connect(&m_coordinator, &AppCoordinator::recognitionChanged, this, [this] {
        m_shown = shown();
        Q_EMIT changed();
    });
    connect(&m_coordinator, &AppCoordinator::recognitionWorkChanged, this, &RecognitionModel::refresh);
}

RecognitionModel::~RecognitionModel() = default;

QStringList RecognitionModel::choiceNames() const
{
    return {tr("Rapide"), tr("Précise")};
}

int RecognitionModel::choiceIndex() const
{
    return m_coordinator.recognition() == Recognition::accurate ? 1 : 0;
}

void RecognitionModel::setChoiceIndex(int index)
{
    if (index == 0 || index == 1)
        m_coordinator.setRecognition(index == 1 ? Recognition::accurate : Recognition::fast);
}

bool RecognitionModel::accurateAvailable() const
{
    return m_coordinator.accurateAvailable();
}

QString RecognitionModel::description() const
{
    if (m_coordinator.recognition() == Recognition::accurate)
        return tr("Parakeet, 670\u00a0Mo pour les trois langues, plus de mémoire.");
    return tr("Vosk, environ 40\u00a0Mo par langue.");
}

QString RecognitionModel::choicesText()
{
    return tr("Rapide\u00a0: Vosk, environ 40\u00a0Mo par langue.\n"
              "Précise\u00a0: Parakeet, bien moins d'erreurs, 670\u00a0Mo pour les trois langues, plus de "
              "mémoire.");
}

QString RecognitionModel::recommendation() const
{
    if (!accurateAvailable())
        return {};
    if (m_machine.suitsAccurateRecognition())
        return tr("Précise conseillée\u00a0: cet ordinateur a %1\u00a0cœurs et %2\u00a0Go de mémoire.")
            .arg(m_machine.cores)
            .arg(m_machine.memoryGigabytes());
    return tr("Rapide conseillée\u00a0: Précise demande 4\u00a0cœurs et 8\u00a0Go de mémoire.");
}

QString RecognitionModel::licenceNotice()
{
    return ModelCatalogue::parakeetNotice().trimmed();
}

QString RecognitionModel::licence()
{
    return tr("Modèle Parakeet de NVIDIA, sous licence CC\u00a0BY\u00a04.0.");
}

RecognitionModel::Shown RecognitionModel::shown() const
{
    Shown shown;
    if (m_coordinator.accurateInUse())
        return shown;
    QStringList lines;
    const bool accurateChosen = m_coordinator.recognition() == Recognition::accurate;
    if (!accurateAvailable()) {
        lines << tr("Précise est indisponible ici\u00a0: sa bibliothèque, sherpa-onnx, manque.") +
                     (accurateChosen ? tr(" Rapide sert à sa place.") : QString());
    } else if (accurateChosen) {
        const BackgroundWork accurate = m_coordinator.accurateWork();
        if (accurate.phase == Phase::installing) {
            lines << tr("Rapide sert pendant le téléchargement du modèle précis.");
            shown.progress = accurate.progress;
            shown.model = tr("modèle précis");
        } else if (accurate.phase == Phase::loading) {
            lines << tr("Chargement du modèle précis…");
        } else if (accurate.phase == Phase::failed) {
            lines << accurate.failure->description + tr(" Rapide sert en attendant.");
            shown.canRetry = true;
        } else {
            lines << tr("Rapide sert en attendant le modèle précis.");
        }
    }
    // The language's Vosk model, while a simpler model serves it.
    const BackgroundWork fast = m_coordinator.fastWork();
    if (fast.phase == Phase::failed) {
        lines << fast.failure->description + tr(" Un modèle plus simple sert en attendant.");
        shown.canRetry = true;
    } else if (fast.phase == Phase::installing && fast.progress && !shown.progress) {
        lines << tr("Un modèle plus simple sert pendant le téléchargement du modèle Vosk.");
        shown.progress = fast.progress;
        shown.model = tr("modèle Vosk");
    }
    shown.stateText = lines.join(u'\n');
    if (shown.progress) {
        // A bar only for what is measured: the download's bytes.
        using Step = InstallationProgress::Step;
        const Step step = shown.progress->step();
        shown.progressText = InstallationText::describe(*shown.progress, shown.model);
        shown.fraction =
            step == Step::downloading || step == Step::waiting ? shown.progress->fractionCompleted() : -1;
        shown.canCancel = shown.progress->canCancel();
    }
    return shown;
}

void RecognitionModel::refresh()
{
    Shown now = shown();
    // The fraction alone changes with every piece of the download: told once per percent, with the text.
    if (now.progress == m_shown.progress && now.progressText == m_shown.progressText)
        now.fraction = m_shown.fraction;
    if (now == m_shown)
        return;
    m_shown = std::move(now);
    Q_EMIT changed();
}

void RecognitionModel::cancel()
{
    // Held here: the download may end, and drop its progress, while it is being cancelled.
    if (const std::shared_ptr<InstallationProgress> progress = m_shown.progress)
        progress->cancel();
}

void RecognitionModel::retry()
{
    m_coordinator.retryRecognitionWork();
}

} // namespace parlune
