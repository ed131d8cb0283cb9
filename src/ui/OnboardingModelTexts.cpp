// SPDX-License-Identifier: GPL-3.0-or-later
// The walkthrough's words: each page's title and text, its picture, and its buttons' titles.
#include "ui/OnboardingModel.h"

#include "app/AppCoordinator.h"
#include "platform/DesktopKeybinding.h"
#include "ui/MainWindowModel.h"
#include "ui/RecognitionModel.h"

namespace parlune {

QString OnboardingModel::titleFor(Step step) const
{
    switch (step) {
    case Welcome:
        return tr("Maintenez une touche, parlez");
    case Microphone:
        return tr("D'abord, le micro");
    case Accessibility:
        return m_coordinator.desktopBindsShortcut() ? tr("Puis, la saisie au clavier")
                                                    : tr("Ensuite, l'accès au clavier");
    case Shortcut:
        return tr("Ensuite, le raccourci");
    case FnKey:
        return tr("Libérez la touche fn");
    case Language:
        return tr("Dans quelle langue parlez-vous ?");
    case Recognition:
        return tr("Rapide ou précise ?");
    case Practice:
        return practiceTitle();
    case Done:
        return tr("C'est prêt");
    }
    return {};
}

QString OnboardingModel::textFor(Step step) const
{
    switch (step) {
    case Welcome:
        return tr("Le texte s'écrit sous votre curseur, dans vos mails, vos messages ou vos documents. Votre "
                  "voix ne quitte jamais ce Mac.");
    case Microphone:
        return tr("Parlune n'écoute que pendant que vous tenez la touche. Le son est transcrit sur ce Mac, "
                  "puis effacé.");
    case Accessibility:
        if (m_coordinator.desktopBindsShortcut())
            return tr(
                "Pour coller le texte dans vos applications, Parlune demande au bureau de taper Ctrl+V à "
                "votre place. Acceptez sa demande, puis revenez ici.");
        if (!m_coordinator.accessibilityGranted() && !offersAccessibilitySettings())
            return tr("Parlune ne peut pas encore repérer votre touche ni coller le texte sur ce bureau, et "
                      "ses réglages ne s'ouvrent pas d'ici. La fenêtre de Parlune vous le rappellera.");
        return tr("macOS doit autoriser Parlune à repérer votre touche et à coller le texte. Cochez Parlune "
                  "dans la liste qui s'ouvre, puis revenez ici.");
    case Shortcut:
        return shortcutText();
    case FnKey:
        return tr("Pour l'instant, fn ouvre aussi les emojis ou la dictée d'Apple. Dans Réglages Système, "
                  "puis Clavier, réglez la touche fn sur Ne rien faire.");
    case Language:
        return tr("Vous pourrez en changer à tout moment depuis l'icône de la barre des menus.");
    case Recognition:
        return RecognitionModel::choicesText();
    case Practice:
        return practiceInstruction();
    case Done:
        if (shortcutLabel().isEmpty())
            return tr("Parlune reste dans la zone de notification. Sans raccourci pour l'instant, démarrez "
                      "et arrêtez les dictées depuis son icône.");
        if (worksThroughKeybinding())
            return tr("Parlune reste dans la zone de notification. Gardez ") + shortcutLabel() +
                   tr(" enfoncé dans n'importe quelle application pour dicter.");
        if (m_coordinator.desktopBindsShortcut())
            return tr("Parlune reste dans la zone de notification. Gardez ") + shortcutLabel() +
                   tr(" enfoncé dans n'importe quelle application ; le raccourci « Annuler la dictée en "
                      "cours » "
                      "des réglages du bureau abandonne une dictée.");
        return tr("Parlune reste dans la barre des menus. Gardez ") + shortcutLabel() +
               tr(" enfoncé dans n'importe quelle app, et Échap annule une dictée en cours.");
    }
    return {};
}

QString OnboardingModel::visualSymbolFor(Step step) const
{
    if (visualDoneFor(step))
        return QStringLiteral("checkmark");
    switch (step) {
    case Microphone:
        return QStringLiteral("mic.fill");
    case Accessibility:
        return QStringLiteral("hand.raised.fill");
    case FnKey:
    case Shortcut:
        return QStringLiteral("keyboard");
    case Done:
        return QStringLiteral("checkmark");
    default:
        return {};
    }
}

bool OnboardingModel::visualDoneFor(Step step) const
{
    switch (step) {
    case Microphone:
        return m_micGranted;
    case Accessibility:
        return m_coordinator.accessibilityGranted();
    case FnKey:
        return m_fnFree || !m_coordinator.shortcut().isFnAlone();
    case Shortcut:
        return m_coordinator.shortcutReady();
    case Done:
        return true;
    default:
        return false;
    }
}

QString OnboardingModel::primaryTitle() const
{
    switch (m_step) {
    case Welcome:
        return tr("Commencer");
    case Microphone:
        return m_micGranted ? tr("Continuer") : tr("Autoriser le micro");
    case Accessibility:
        if (!offersAccessibilitySettings())
            return tr("Continuer");
        return m_coordinator.desktopBindsShortcut() ? tr("Autoriser la saisie") : tr("Ouvrir les réglages");
    case Shortcut:
        if (offersKeybinding())
            return tr("Créer le raccourci dans GNOME");
        return offersShortcutSettings() ? tr("Ouvrir les réglages des raccourcis") : tr("Continuer");
    case FnKey:
        return visualDoneFor(FnKey) ? tr("Continuer") : MainWindowModel::useDefaultShortcutText();
    case Language:
    case Recognition:
    case Practice:
        return tr("Continuer");
    case Done:
        return tr("Terminer");
    }
    return {};
}

OnboardingModel::Secondary OnboardingModel::secondary() const
{
    switch (m_step) {
    case Microphone:
        return m_micGranted ? Nothing : Later;
    case Accessibility:
        return offersAccessibilitySettings() ? Later : Nothing;
    case FnKey:
        return m_fnFree ? Nothing : ShortcutRecorder;
    case Shortcut:
        return offersKeybinding() || offersShortcutSettings() ? Later : Nothing;
    case Practice:
        return m_practiceText.isEmpty() ? SkipPractice : Nothing;
    default:
        return Nothing;
    }
}

QString OnboardingModel::secondaryTitle() const
{
    switch (secondary()) {
    case Later:
        return tr("Plus tard");
    case ShortcutRecorder:
        return tr("Choisir une autre touche que fn");
    case SkipPractice:
        return tr("Passer l'essai");
    case Nothing:
        break;
    }
    return {};
}

QString OnboardingModel::shortcutText() const
{
    if (!m_keybindingError.isEmpty() && offersKeybinding())
        return m_keybindingError;
    if (offersKeybinding()) {
        const QString keys = m_services.keybinding->proposedKeys();
        return keys.isEmpty() ? tr("GNOME ne prête pas de raccourci aux applications. Parlune peut ajouter "
                                   "le sien à vos raccourcis du clavier.")
                              : tr("GNOME ne prête pas de raccourci aux applications. Parlune peut ajouter "
                                   "le sien à vos raccourcis du clavier : %1.")
                                    .arg(keys);
    }
    if (worksThroughKeybinding())
        return tr("GNOME lance Parlune à chaque appui sur ") + shortcutLabel() +
               tr(", dans toutes vos applications. Maintenez-le pour parler : Parlune voit le relâchement "
                  "avec un court retard.");
    if (m_coordinator.shortcutReady())
        return tr("Le bureau réserve ") + shortcutLabel() +
               tr(" à Parlune, dans toutes vos applications. Pour choisir d'autres touches, ouvrez ses "
                  "réglages "
                  "des raccourcis et cherchez Parlune.");
    const QString problem = m_coordinator.shortcutProblem();
    if (problem.isEmpty())
        return tr("Le bureau prépare le raccourci de Parlune…");
    return problem + tr(" En attendant, démarrez et arrêtez les dictées depuis l'icône de Parlune.");
}

QString OnboardingModel::practiceTitle() const
{
    return m_practiceText.isEmpty() ? tr("À vous") : tr("Ça marche");
}

QString OnboardingModel::practiceInstruction() const
{
    if (m_coordinator.isRecording())
        return {};
    const auto latency = m_coordinator.lastLatency();
    if (shortcutLabel().isEmpty()) {
        if (!m_practiceText.isEmpty() && latency)
            return tr("Texte prêt ") + MainWindowModel::latencyNumber(*latency) +
                   tr(" s après la fin de votre phrase.");
        return tr("Démarrez une dictée depuis l'icône de Parlune, dites une phrase, puis arrêtez-la.");
    }
    if (!m_practiceText.isEmpty() && latency)
        return tr("Texte prêt ") + MainWindowModel::latencyNumber(*latency) +
               tr(" s après la fin de votre phrase. Pour parler longtemps, tapez ") + shortcutLabel() +
               tr(" une fois, puis retapez-le à la fin.");
    return tr("Maintenez ") + shortcutLabel() + tr(", dites une phrase, puis relâchez.");
}

} // namespace parlune
