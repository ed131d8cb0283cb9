// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CancellableTask.h"
#include "app/RecordingStatus.h"
#include "app/ShortcutGesture.h"
#include "input/KeyCombo.h"
#include "platform/Clock.h"
#include "speech/Language.h"
#include "store/AppSettings.h"
#include "store/TranscriptEntry.h"

#include <QList>
#include <QObject>
#include <QVariant>

#include <memory>
#include <optional>

namespace parlune {

class AppSettingsStore;
class HudPresenter;
class TranscriptStore;

// Everything the coordinator works with, built by the program (or by a test, on fakes).
struct AppCoordinatorServices
{
    Clock* clock = &SystemClock::instance();
    std::unique_ptr<TranscriptStore> transcripts;
    std::unique_ptr<AppSettingsStore> settingsStore;
    // The floating panel; used in the interactive program only.
    std::unique_ptr<HudPresenter> hud;
};

// The centre of the program: owns the services, holds the whole state the interface shows, and runs
// the dictation. Views bind to its properties and change things only through its settings
// properties and its few public operations.
class AppCoordinator : public QObject
{
    Q_OBJECT
    Q_PROPERTY(parlune::RecordingStatus status READ status NOTIFY statusChanged)
    Q_PROPERTY(bool isRecording READ isRecording NOTIFY isRecordingChanged)
    Q_PROPERTY(bool handsFree READ handsFree NOTIFY handsFreeChanged)
    Q_PROPERTY(float audioLevel READ audioLevel NOTIFY audioLevelChanged)
    Q_PROPERTY(QList<parlune::TranscriptEntry> history READ history NOTIFY historyChanged)
    Q_PROPERTY(bool accessibilityGranted READ accessibilityGranted NOTIFY accessibilityGrantedChanged)
    // Seconds from the release to the final text of the last transcription; null before the first.
    Q_PROPERTY(QVariant lastLatency READ lastLatencyValue NOTIFY lastLatencyChanged)
    Q_PROPERTY(parlune::Language language READ language WRITE setLanguage NOTIFY languageChanged)
    Q_PROPERTY(parlune::KeyCombo shortcut READ shortcut WRITE setShortcut NOTIFY shortcutChanged)
    Q_PROPERTY(bool launchAtLogin READ launchAtLogin WRITE setLaunchAtLogin NOTIFY launchAtLoginChanged)
    Q_PROPERTY(bool muteWhileRecording READ muteWhileRecording WRITE setMuteWhileRecording NOTIFY
                   muteWhileRecordingChanged)
    Q_PROPERTY(bool onboardingDone READ onboardingDone WRITE setOnboardingDone NOTIFY onboardingDoneChanged)
    Q_PROPERTY(QString livePreview READ livePreview NOTIFY livePreviewChanged)
    Q_PROPERTY(bool soundsEnabled READ soundsEnabled WRITE setSoundsEnabled NOTIFY soundsEnabledChanged)

public:
    // Limits of one dictation.
    static constexpr double handsFreeSilenceTimeout = 30.0;
    static constexpr double maxRecordingDuration = 600.0;
    // How long a transient status stays before the panel goes back to idle.
    static constexpr double insertedDisplayDuration = 0.9;
    static constexpr double messageDisplayDuration = 3.0;

    // A live coordinator is the interactive program: it reads the stored settings, drives the panel and
    // saves every change. A quiet one (the self-check, tests) keeps the initial settings and writes
    // nothing.
    AppCoordinator(AppCoordinatorServices services, bool live, QObject* parent = nullptr);
    ~AppCoordinator() override;

    const RecordingStatus& status() const { return m_status; }
    bool isRecording() const { return m_isRecording; }
    bool handsFree() const { return m_handsFree; }
    float audioLevel() const { return m_audioLevel; }
    const QList<TranscriptEntry>& history() const { return m_history; }
    bool accessibilityGranted() const { return m_accessibilityGranted; }
    std::optional<double> lastLatency() const { return m_lastLatency; }
    QVariant lastLatencyValue() const { return m_lastLatency ? QVariant(*m_lastLatency) : QVariant(); }
    Language language() const { return m_language; }
    const KeyCombo& shortcut() const { return m_shortcut; }
    bool launchAtLogin() const { return m_launchAtLogin; }
    bool muteWhileRecording() const { return m_muteWhileRecording; }
    bool onboardingDone() const { return m_onboardingDone; }
    const QString& livePreview() const { return m_livePreview; }
    bool soundsEnabled() const { return m_soundsEnabled; }
    bool isLive() const { return m_live; }

    // The settings: each assignment saves the whole record (live only) and applies its side effects.
    void setLanguage(Language language);
    void setShortcut(const KeyCombo& shortcut);
    void setLaunchAtLogin(bool launchAtLogin);
    void setMuteWhileRecording(bool muteWhileRecording);
    void setSoundsEnabled(bool soundsEnabled);
    // Not saved by itself: the walkthrough calls persistSettings() after setting it.
    void setOnboardingDone(bool onboardingDone);

    // Saves the current settings; does nothing in a quiet coordinator or while stored settings are
    // being applied.
    Q_INVOKABLE void persistSettings();
    // Empties the history, in memory and on disk.
    Q_INVOKABLE void clearHistory();

Q_SIGNALS:
    void statusChanged();
    void isRecordingChanged();
    void handsFreeChanged();
    void audioLevelChanged();
    void historyChanged();
    void accessibilityGrantedChanged();
    void lastLatencyChanged();
    void languageChanged();
    void shortcutChanged();
    void launchAtLoginChanged();
    void muteWhileRecordingChanged();
    void onboardingDoneChanged();
    void livePreviewChanged();
    void soundsEnabledChanged();

protected:
    // Every assignment, even of an equal value, runs syncHUD afterwards.
    void setStatus(RecordingStatus status);
    void setIsRecording(bool isRecording);
    void setHandsFree(bool handsFree);
    void setAudioLevel(float audioLevel);
    void setHistory(QList<TranscriptEntry> history);
    void setAccessibilityGranted(bool granted);
    void setLastLatency(std::optional<double> latency);
    void setLivePreview(QString preview);

private:
    void applyLoadedSettings();
    AppSettings currentSettings() const;
    void syncHUD();
    QCoro::Task<> returnToIdleAfter(Seconds delay, CancellableTask task);

    // Published state.
    RecordingStatus m_status;
    bool m_isRecording = false;
    bool m_handsFree = false;
    float m_audioLevel = 0;
    QList<TranscriptEntry> m_history;
    bool m_accessibilityGranted = false;
    std::optional<double> m_lastLatency;
    Language m_language = Language::fr;
    KeyCombo m_shortcut = KeyCombo::defaultCombo();
    bool m_launchAtLogin = false;
    bool m_muteWhileRecording = false;
    // Marked done until stored settings say otherwise, so a quiet coordinator never shows the
    // walkthrough.
    bool m_onboardingDone = true;
    QString m_livePreview;
    bool m_soundsEnabled = true;

    // Services and the coordinator's own bookkeeping.
    Clock* m_clock;
    std::unique_ptr<TranscriptStore> m_transcripts;
    std::unique_ptr<AppSettingsStore> m_settingsStore;
    std::unique_ptr<HudPresenter> m_hud;
    std::optional<CancellableTask> m_hideMessageTask;
    const bool m_live;
    bool m_isApplyingSettings = false;
    ShortcutGesture m_gesture;
};

} // namespace parlune
