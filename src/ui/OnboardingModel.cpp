// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/OnboardingModel.h"

#include "app/AppCoordinator.h"
#include "platform/DesktopKeybinding.h"
#include "ui/MainWindowModel.h"
#include "ui/RecognitionModel.h"

namespace parlune {

OnboardingModel::OnboardingModel(AppCoordinator& coordinator, ViewServices services, QObject* parent)
    : QObject(parent)
    , m_coordinator(coordinator)
    , m_services(std::move(services))
    , m_micGranted(m_services.microphoneAuthorized())
    , m_fnFree(m_services.fnKeyIsFree())
{
    if (m_coordinator.desktopBindsShortcut())
        m_steps = {Welcome, Microphone, Shortcut, Accessibility, Language, Recognition, Practice, Done};
    for (auto signal : {&AppCoordinator::shortcutChanged, &AppCoordinator::accessibilityGrantedChanged,
                        &AppCoordinator::isRecordingChanged, &AppCoordinator::lastLatencyChanged,
                        &AppCoordinator::shortcutLabelChanged})
        connect(&m_coordinator, signal, this, &OnboardingModel::contentChanged);
    for (auto signal : {&OnboardingModel::stepChanged, &OnboardingModel::micGrantedChanged,
                        &OnboardingModel::fnFreeChanged, &OnboardingModel::practiceTextChanged})
        connect(this, signal, this, &OnboardingModel::contentChanged);
}

OnboardingModel::~OnboardingModel() = default;

void OnboardingModel::setPracticeText(const QString& text)
{
    if (text == m_practiceText)
        return;
    m_practiceText = text;
    Q_EMIT practiceTextChanged();
}

void OnboardingModel::start()
{
    if (m_started)
        return;
    m_started = true;
    // The fn page is there only for someone who would hold fn and whose fn key still does something
    // else; the choice holds for the whole run, even if the shortcut changes on that page.
    if (!(m_coordinator.shortcut().isFnAlone() && !m_fnFree) && m_steps.contains(FnKey)) {
        m_steps.removeAll(FnKey);
        Q_EMIT stepsChanged();
        Q_EMIT stepChanged();
    }
    poll(this, *m_services.clock);
}

QCoro::Task<> OnboardingModel::poll(QPointer<OnboardingModel> self, Clock& clock)
{
    while (self) {
        co_await clock.sleep(Seconds(pollInterval));
        if (!self)
            co_return;
        self->refresh();
    }
}

void OnboardingModel::refresh()
{
    setMicGranted(m_services.microphoneAuthorized());
    setFnFree(m_services.fnKeyIsFree());
    // The user has just ticked the program in the system's settings: the page moves on by itself.
    if (m_step == Accessibility && m_coordinator.accessibilityGranted())
        next();
}

void OnboardingModel::next()
{
    const qsizetype index = m_steps.indexOf(m_step);
    if (index < 0 || index + 1 >= m_steps.size())
        return;
    setStep(m_steps.at(index + 1));
}

void OnboardingModel::setStep(Step step)
{
    if (step == m_step)
        return;
    m_step = step;
    Q_EMIT stepChanged();
    if (m_step == Done && !m_coordinator.launchAtLogin())
        m_coordinator.setLaunchAtLogin(true);
    if (m_step == Practice)
        Q_EMIT practiceFocusRequested();
}

void OnboardingModel::setMicGranted(bool granted)
{
    if (granted == m_micGranted)
        return;
    m_micGranted = granted;
    Q_EMIT micGrantedChanged();
}

void OnboardingModel::setFnFree(bool free)
{
    if (free == m_fnFree)
        return;
    m_fnFree = free;
    Q_EMIT fnFreeChanged();
}

void OnboardingModel::primaryAction()
{
    switch (m_step) {
    case Microphone:
        if (m_micGranted)
            next();
        else
            askMicrophone(this);
        return;
    case Accessibility:
        if (offersAccessibilitySettings())
            m_services.requestAccessibility();
        else
            next();
        return;
    case FnKey:
        // fn cannot be freed here: the button swaps it for the default shortcut, after which the page
        // shows it done and the same button moves on.
        if (visualDoneFor(FnKey))
            next();
        else
            m_coordinator.setShortcut(KeyCombo::defaultCombo());
        return;
    case Shortcut:
        if (offersKeybinding()) {
            m_keybindingError = m_services.keybinding->create().value_or(QString());
            Q_EMIT contentChanged();
        } else if (offersShortcutSettings()) {
            m_services.openShortcutSettings();
        } else {
            next();
        }
        return;
    case Done:
        m_coordinator.setOnboardingDone(true);
        m_coordinator.persistSettings();
        return;
    case Welcome:
    case Language:
    case Recognition:
    case Practice:
        next();
        return;
    }
}

QCoro::Task<> OnboardingModel::askMicrophone(QPointer<OnboardingModel> self)
{
    const bool granted = co_await self->m_services.requestMicrophone();
    if (!self)
        co_return;
    self->setMicGranted(granted);
    if (granted)
        self->next();
}

bool OnboardingModel::offersAccessibilitySettings() const
{
    // Without a settings page to open, the page says so and its button moves on.
    return !m_coordinator.accessibilityGranted() && m_services.canRequestAccessibility();
}

bool OnboardingModel::offersShortcutSettings() const
{
    return !m_coordinator.shortcutReady() && m_services.canOpenShortcutSettings();
}

bool OnboardingModel::offersKeybinding() const
{
    return MainWindowModel::offersKeybinding(m_coordinator, m_services);
}

bool OnboardingModel::worksThroughKeybinding() const
{
    return m_services.keybinding && !m_services.keybinding->keys().isEmpty() &&
           m_coordinator.shortcutLabel() == m_services.keybinding->keys();
}

QString OnboardingModel::shortcutLabel() const
{
    return m_coordinator.shortcutLabel();
}

} // namespace parlune
