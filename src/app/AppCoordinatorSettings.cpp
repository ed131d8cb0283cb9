// SPDX-License-Identifier: GPL-3.0-or-later
// The settings: applying the stored record at start, the observers of each setting, and saving.
#include "app/AppCoordinator.h"

#include "input/GlobalHotkeys.h"
#include "store/AppSettingsStore.h"
#include "system/LoginItem.h"

namespace parlune {

void AppCoordinator::applyLoadedSettings()
{
    const AppSettings settings = m_settingsStore->load();
    // The observers run as for any assignment, but save nothing and start no side effect meanwhile.
    m_isApplyingSettings = true;
    setLanguage(settings.language);
    setShortcut(settings.shortcut);
    setLaunchAtLogin(settings.launchAtLogin);
    setMuteWhileRecording(settings.muteWhileRecording);
    setSoundsEnabled(settings.soundsEnabled);
    setOnboardingDone(settings.onboardingDone);
    setRecognition(settings.recognition);
    m_isApplyingSettings = false;
    // Once, whatever the value: the login entry follows the settings file.
    if (m_loginItem)
        m_loginItem->set(settings.launchAtLogin);
}

AppSettings AppCoordinator::currentSettings() const
{
    AppSettings settings;
    settings.language = m_language;
    settings.shortcut = m_shortcut;
    settings.launchAtLogin = m_launchAtLogin;
    settings.muteWhileRecording = m_muteWhileRecording;
    settings.onboardingDone = m_onboardingDone;
    settings.soundsEnabled = m_soundsEnabled;
    settings.recognition = m_recognition;
    return settings;
}

void AppCoordinator::persistSettings()
{
    if (!m_live || m_isApplyingSettings)
        return;
    m_settingsStore->save(currentSettings());
}

void AppCoordinator::setLanguage(Language language)
{
    if (language != m_language) {
        m_language = language;
        Q_EMIT languageChanged();
    }
    persistSettings();
    if (m_live && !m_isApplyingSettings)
        prepareLanguage(true);
}

void AppCoordinator::setShortcut(const KeyCombo& shortcut)
{
    if (!(shortcut == m_shortcut)) {
        m_shortcut = shortcut;
        Q_EMIT shortcutChanged();
    }
    if (m_hotkeys) {
        // A press of the old shortcut in progress is forgotten: its release is not reported.
        m_hotkeys->setCombo(m_shortcut);
        m_hotkeys->setPressed(false);
    }
    persistSettings();
}

void AppCoordinator::setLaunchAtLogin(bool launchAtLogin)
{
    if (launchAtLogin != m_launchAtLogin) {
        m_launchAtLogin = launchAtLogin;
        Q_EMIT launchAtLoginChanged();
    }
    if (!m_isApplyingSettings && m_loginItem)
        m_loginItem->set(m_launchAtLogin);
    persistSettings();
}

void AppCoordinator::setMuteWhileRecording(bool muteWhileRecording)
{
    if (muteWhileRecording != m_muteWhileRecording) {
        m_muteWhileRecording = muteWhileRecording;
        Q_EMIT muteWhileRecordingChanged();
    }
    persistSettings();
}

void AppCoordinator::setSoundsEnabled(bool soundsEnabled)
{
    if (soundsEnabled != m_soundsEnabled) {
        m_soundsEnabled = soundsEnabled;
        Q_EMIT soundsEnabledChanged();
    }
    persistSettings();
}

void AppCoordinator::setRecognition(Recognition recognition)
{
    const bool changed = recognition != m_recognition;
    if (changed) {
        m_recognition = recognition;
        Q_EMIT recognitionChanged();
    }
    persistSettings();
    // At start the engine is chosen once the settings are applied.
    if (m_live && !m_isApplyingSettings)
        chooseRecognizer(changed);
}

void AppCoordinator::setOnboardingDone(bool onboardingDone)
{
    if (onboardingDone != m_onboardingDone) {
        m_onboardingDone = onboardingDone;
        Q_EMIT onboardingDoneChanged();
    }
}

} // namespace parlune
