// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "system/MachineResources.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace parlune {

class AppCoordinator;
class InstallationProgress;

// The choice between fast and accurate recognition as the main window and the walkthrough show it: the
// two options, the one that suits this computer and why, the accurate model's licence and, while the
// chosen engine's model is not in use yet, what serves meanwhile, the download's progress with a way to
// stop it, and why it failed with a way to try again.
class RecognitionModel : public QObject
{
    Q_OBJECT
    // "Rapide", "Précise", in the order of the picker's segments.
    Q_PROPERTY(QStringList choiceNames READ choiceNames CONSTANT)
    Q_PROPERTY(int choiceIndex READ choiceIndex WRITE setChoiceIndex NOTIFY changed)
    Q_PROPERTY(bool accurateAvailable READ accurateAvailable CONSTANT)
    // What the chosen option is, and both of them for the walkthrough.
    Q_PROPERTY(QString description READ description NOTIFY changed)
    Q_PROPERTY(QString choicesText READ choicesText CONSTANT)
    // One line: which option suits this computer, and why.
    Q_PROPERTY(QString recommendation READ recommendation CONSTANT)
    Q_PROPERTY(QString licence READ licence CONSTANT)
    // The model's whole notice: who made it, its licence and where it comes from.
    Q_PROPERTY(QString licenceNotice READ licenceNotice CONSTANT)
    // What serves meanwhile, and why the better model is not there; empty when there is nothing to say.
    Q_PROPERTY(QString stateText READ stateText NOTIFY changed)
    Q_PROPERTY(bool showsProgress READ showsProgress NOTIFY changed)
    Q_PROPERTY(QString progressText READ progressText NOTIFY changed)
    // From 0 to 1 while bytes arrive; -1 for a step that cannot be measured.
    Q_PROPERTY(double progressFraction READ progressFraction NOTIFY changed)
    Q_PROPERTY(bool canCancel READ canCancel NOTIFY changed)
    Q_PROPERTY(bool canRetry READ canRetry NOTIFY changed)

public:
    RecognitionModel(AppCoordinator& coordinator, MachineResources machine, QObject* parent = nullptr);
    ~RecognitionModel() override;

    QStringList choiceNames() const;
    int choiceIndex() const;
    void setChoiceIndex(int index);
    bool accurateAvailable() const;
    QString description() const;
    static QString choicesText();
    QString recommendation() const;
    static QString licence();
    static QString licenceNotice();
    const QString& stateText() const { return m_shown.stateText; }
    bool showsProgress() const { return m_shown.progress != nullptr; }
    const QString& progressText() const { return m_shown.progressText; }
    double progressFraction() const { return m_shown.fraction; }
    bool canCancel() const { return m_shown.canCancel; }
    bool canRetry() const { return m_shown.canRetry; }

    // Stops the download shown.
    Q_INVOKABLE void cancel();
    Q_INVOKABLE void retry();

Q_SIGNALS:
    void changed();

private:
    // What the view shows of the background work, told again only when it changes.
    struct Shown
    {
        QString stateText;
        std::shared_ptr<InstallationProgress> progress;
        // How the progress names the model: "modèle précis".
        QString model;
        QString progressText;
        double fraction = 0;
        bool canCancel = false;
        bool canRetry = false;
        bool operator==(const Shown&) const = default;
    };
    Shown shown() const;
    void refresh();

    AppCoordinator& m_coordinator;
    MachineResources m_machine;
    Shown m_shown;
};

} // namespace parlune
