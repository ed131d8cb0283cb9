// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CancellableTask.h"
#include "app/Completion.h"
#include "app/HudPresenter.h"
#include "app/InstanceCommand.h"
#include "app/RecordingStatus.h"
#include "app/ShortcutGesture.h"
#include "input/KeyCombo.h"
#include "platform/AudioInput.h"
#include "platform/BackgroundWork.h"
#include "platform/Clock.h"
#include "platform/KeyboardRepeat.h"
#include "platform/MicrophoneAccess.h"
#include "platform/Workspace.h"
#include "speech/CursorContext.h"
#include "speech/Language.h"
#include "speech/Recognition.h"
#include "store/AppSettings.h"
#include "store/AppSettingsStore.h"
#include "store/TranscriptEntry.h"
#include "store/TranscriptStore.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QVariant>

#include <QTimer>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace parlune {

class AppCoordinator;
class AppSettingsStore;
class AudioRecorder;
class DesktopShortcut;
class DictationSession;
class FocusedElement;
class GlobalHotkeys;
class HudPresenter;
class InputAccess;
class InstallationProgress;
class KeyboardTap;
class KeySynth;
class LoginItem;
class MediaController;
class Pasteboard;
class Permissions;
class Recognizer;
class RepeatedShortcut;
class RecognizerChoice;
class Sounds;
class SpeechEngine;
class TextInjector;
class TranscriptStore;

// Everything the coordinator works with: the real desktop services in the program, fakes in tests.
// The coordinator owns the stores and the panel; the desktop services must outlive it.
struct AppCoordinatorServices
{
    Clock* clock = &SystemClock::instance();
    // Default to the files of the support folder.
    std::unique_ptr<TranscriptStore> transcripts;
    std::unique_ptr<AppSettingsStore> settingsStore;
    // The floating panel, made once the settings are applied; the interactive program only.
    std::function<std::unique_ptr<HudPresenter>(AppCoordinator&)> makeHud;

    std::shared_ptr<Recognizer> recognizer;
    // Where the recogniser chooses between the fast and the accurate engines: the same object as
    // `recognizer`. None: the recognition setting is kept but changes no engine.
    RecognizerChoice* recognizerChoice = nullptr;
    AudioInputFactory audioInput;
    std::function<MicrophoneAuthorization()> microphoneStatus = MicrophoneAccess::status;
    InputAccess* inputAccess = nullptr;
    // The interactive program's global shortcut listens here.
    KeyboardTap* keyboardTap = nullptr;
    // Where the desktop binds the shortcut itself (Wayland): what it bound, or why it could not.
    DesktopShortcut* desktopShortcut = nullptr;
    // How the keyboard repeats a held key, for a shortcut the desktop reports by running
    // `parlune --shortcut` again at each repeat (GNOME); its defaults when unset.
    std::function<KeyboardRepeat()> keyboardRepeat;
    Workspace* workspace = nullptr;
    Pasteboard* pasteboard = nullptr;
    // X11's PRIMARY selection, where the terminals that paste it on Shift+Insert get the text too.
    Pasteboard* primarySelection = nullptr;
    KeySynth* keySynth = nullptr;
    FocusedElement* focusedElement = nullptr;
    // Where the session lets the focused widget take text straight from us (Wayland), tried before the
    // paste; none where the paste is the only way (X11).
    FocusedElement* directInsertion = nullptr;
    MediaController* media = nullptr;
    Sounds* sounds = nullptr;
    LoginItem* loginItem = nullptr;
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
    // The shortcut as the views show it: the keys the desktop bound where it binds them, else the
    // shortcut's own label; empty where the desktop binds the shortcut and will bind none.
    Q_PROPERTY(QString shortcutLabel READ shortcutLabel NOTIFY shortcutLabelChanged)
    // The desktop binds the shortcut (Wayland): it is changed in the desktop's settings, not recorded here.
    Q_PROPERTY(bool desktopBindsShortcut READ desktopBindsShortcut CONSTANT)
    // Why the desktop's shortcut does not work; empty when it works.
    Q_PROPERTY(QString shortcutProblem READ shortcutProblem NOTIFY shortcutLabelChanged)
    // The shortcut can start a dictation: always where the program watches the keyboard itself, once the
    // desktop has bound it where the desktop binds it.
    Q_PROPERTY(bool shortcutReady READ shortcutReady NOTIFY shortcutLabelChanged)
    // For the views: the language as its raw value ("fr", "es", "en"); writing an unknown code does nothing.
    Q_PROPERTY(QString languageCode READ languageCode WRITE setLanguageCode NOTIFY languageChanged)
    // The installation of the current language's model, while one runs: its step in words
    // ("Téléchargement du modèle français… 42 % — 2,1 Mo/s, encore 12 s", "Vérification du modèle
    // français…", "Chargement du modèle français…"), the fraction downloaded from 0 to 1 (-1 for a step
    // that cannot be measured) and whether it can still be stopped.
    Q_PROPERTY(bool modelDownloadActive READ modelDownloadActive NOTIFY modelDownloadChanged)
    Q_PROPERTY(QString modelDownloadText READ modelDownloadText NOTIFY modelDownloadChanged)
    Q_PROPERTY(double modelDownloadFraction READ modelDownloadFraction NOTIFY modelDownloadChanged)
    // Why the current language's model could not be loaded, once its preparation found so; empty otherwise.
    Q_PROPERTY(QString modelProblem READ modelProblem NOTIFY modelProblemChanged)
    Q_PROPERTY(bool canDownloadModelAgain READ canDownloadModelAgain NOTIFY modelProblemChanged)
    // For the views: the recognition as its raw value ("fast", "accurate"); writing another does nothing.
    Q_PROPERTY(QString recognition READ recognitionCode WRITE setRecognitionCode NOTIFY recognitionChanged)
    // The accurate engine can run here (its library is installed).
    Q_PROPERTY(bool accurateAvailable READ accurateAvailable CONSTANT)
    Q_PROPERTY(bool modelDownloadCancellable READ modelDownloadCancellable NOTIFY modelDownloadChanged)

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

    // The one coordinator of the program, built on first use with the desktop's services. It is quiet
    // for the self-check ("--check-dictation") and under a test runner.
    static AppCoordinator& shared();
    // How the interactive program makes its floating panel; set by the interface before shared().
    static std::function<std::unique_ptr<HudPresenter>(AppCoordinator&)>& sharedHudFactory();

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
    QString shortcutLabel() const;
    bool desktopBindsShortcut() const { return m_desktopShortcut != nullptr; }
    QString shortcutProblem() const;
    bool shortcutReady() const;
    QString languageCode() const;
    void setLanguageCode(const QString& code);
    bool modelDownloadActive() const { return !m_modelDownloadText.isEmpty(); }
    const QString& modelDownloadText() const { return m_modelDownloadText; }
    double modelDownloadFraction() const { return m_modelDownloadFraction; }
    QString modelProblem() const;
    bool canDownloadModelAgain() const;
    Recognition recognition() const { return m_recognition; }
    QString recognitionCode() const { return rawValue(m_recognition); }
    void setRecognitionCode(const QString& code);
    bool accurateAvailable() const;
    // The engines' work in the background, told by recognitionWorkChanged: the accurate model's download
    // and loading, and the download of the current language's fast model while a simpler one serves.
    BackgroundWork accurateWork() const;
    BackgroundWork fastWork() const;
    // The accurate engine recognises the current language's dictations.
    bool accurateInUse() const;
    bool modelDownloadCancellable() const { return m_modelDownloadCancellable; }

    // The settings: each assignment saves the whole record (live only) and applies its side effects.
    void setLanguage(Language language);
    void setShortcut(const KeyCombo& shortcut);
    void setLaunchAtLogin(bool launchAtLogin);
    void setMuteWhileRecording(bool muteWhileRecording);
    void setSoundsEnabled(bool soundsEnabled);
    // Accurate: its model is fetched and loaded in the background and serves once loaded. Fast: the
    // accurate model's memory is freed.
    void setRecognition(Recognition recognition);
    // Not saved by itself: the walkthrough calls persistSettings() after setting it.
    void setOnboardingDone(bool onboardingDone);

    // Saves the current settings; does nothing in a quiet coordinator or while stored settings are
    // being applied.
    Q_INVOKABLE void persistSettings();
    // Empties the history, in memory and on disk.
    Q_INVOKABLE void clearHistory();
    // The menu's and the panel's start/stop: starts a hands-free dictation, or finishes the one running.
    Q_INVOKABLE void toggle();
    // Stops the download of the current language's model; its preparation ends with a message.
    Q_INVOKABLE void cancelModelDownload();
    // Sets the current language's model that cannot be loaded aside and installs a fresh one.
    Q_INVOKABLE void downloadModelAgain();
    // The user's "try again": the engines' background work that failed, even what the user called off.
    Q_INVOKABLE void retryRecognitionWork();

    // What the global shortcut reports.
    void shortcutPressed();
    void shortcutReleased();
    // A release seen late, dated when the keys were last known down.
    void shortcutReleased(Clock::Instant releasedAt);
    void otherKeyPressed();
    void escapePressed();
    // Carries out a decision of the gesture; none does nothing.
    void apply(std::optional<ShortcutGesture::Action> action);

    // What another launch of the program asks (`parlune --press`…), through the shortcut's own entry
    // points: a press, a release, Escape, the menu's start/stop, or a run of a desktop's repeating shortcut.
    void runCommand(InstanceCommand command);

    // The watch timer's work, every 2 seconds: follows the input permission, keeps the keyboard tap
    // alive and ends dictations that run too long.
    void tick();

    // The delivery of the newest dictation, done when its text is delivered (or it failed).
    std::shared_ptr<Completion> delivery() const { return m_delivery; }
    GlobalHotkeys* hotkeys() const { return m_hotkeys.get(); }
    SpeechEngine& engine() const { return *m_engine; }

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
    void modelDownloadChanged();
    void modelProblemChanged();
    void shortcutLabelChanged();
    void recognitionChanged();
    void recognitionWorkChanged();

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

    // The dictation.
    void startRecording();
    void finishRecording();
    void stopCapture(bool withSound);
    void cancelRecording(std::optional<QString> message);
    void recorderLevel(float level);
    static QCoro::Task<> transcribeAndDeliver(QPointer<AppCoordinator> self,
                                              std::shared_ptr<DictationSession> session,
                                              Clock::Instant released, std::shared_ptr<Completion> previous,
                                              std::optional<RunningApplication> target,
                                              std::shared_ptr<Completion> done);
    // Formats the recognised words for where the cursor is, pastes them and tells how it went.
    QCoro::Task<> deliver(QString words, std::optional<RunningApplication> target, Language language);
    // What the focused field holds before its cursor, as the formatting of a dictation needs it.
    CursorContext cursorContext(Language language) const;
    QCoro::Task<> reactivate(std::optional<RunningApplication> application);

    // Language preparation and the watch timer.
    void prepareLanguage(bool showProgress);
    static QCoro::Task<> runPreparation(QPointer<AppCoordinator> self, Language language);
    // "Préparation : Français…", or the installation's step while the model is being installed.
    QString preparingText(Language language) const;
    void followInstallation(Language language, std::shared_ptr<InstallationProgress> progress);
    void refreshModelDownload();
    // After a preparation: whether the recogniser found the language's model unusable.
    void noteModelProblem(Language language);
    // Tells the recogniser the engine the user chose; after a change back to fast, the language is
    // prepared again for it.
    void chooseRecognizer(bool changed);
    void startPermissionWatch();
    void followDesktopShortcut();
    void enforceRecordingSafety();
    RepeatedShortcut& repeatedShortcut();

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
    QString m_modelDownloadText;
    double m_modelDownloadFraction = 0;
    Recognition m_recognition = Recognition::fast;
    bool m_modelDownloadCancellable = false;

    // Services.
    Clock* m_clock;
    std::function<MicrophoneAuthorization()> m_microphoneStatus;
    std::function<KeyboardRepeat()> m_keyboardRepeat;
    InputAccess* m_inputAccess;
    DesktopShortcut* m_desktopShortcut;
    Workspace* m_workspace;
    Pasteboard* m_pasteboard;
    FocusedElement* m_focusedElement;
    MediaController* m_media;
    Sounds* m_sounds;
    LoginItem* m_loginItem;
    RecognizerChoice* m_choice;
    std::unique_ptr<SpeechEngine> m_engine;
    std::unique_ptr<AudioRecorder> m_recorder;
    std::unique_ptr<TranscriptStore> m_transcripts;
    std::unique_ptr<TextInjector> m_injector;
    std::unique_ptr<Permissions> m_permissions;
    std::unique_ptr<AppSettingsStore> m_settingsStore;
    std::unique_ptr<GlobalHotkeys> m_hotkeys;
    std::unique_ptr<HudPresenter> m_hud;
    // The shortcut a desktop reports by running `parlune --shortcut` at the press and at each repeat.
    std::unique_ptr<RepeatedShortcut> m_repeatedShortcut;

    // The coordinator's own bookkeeping.
    std::optional<CancellableTask> m_hideMessageTask;
    QTimer m_permissionTimer;
    const bool m_live;
    bool m_isApplyingSettings = false;
    ShortcutGesture m_gesture;
    // `parlune --press` came, and no `--release` yet.
    bool m_commandHeld = false;
    // Tags the live preview of each dictation, so that a late preview of an earlier one is dropped.
    qint64 m_sessionID = 0;
    // Where the current dictation's words will go, read from the field at its first preview.
    std::optional<CursorContext> m_previewContext;
    std::shared_ptr<DictationSession> m_session;
    std::shared_ptr<Completion> m_delivery;
    std::optional<Clock::Instant> m_recordingStartedAt;
    // Last time the microphone heard more than a whisper; the hands-free silence rule counts from it.
    std::optional<Clock::Instant> m_lastSoundAt;
    // The application in front when the dictation started, unless that was this program.
    std::optional<RunningApplication> m_targetApp;
    // The models being installed for a preparation, by language.
    std::map<Language, std::shared_ptr<InstallationProgress>> m_downloads;
    // The languages whose model a preparation found unusable, with what the user is told.
    std::map<Language, std::pair<QString, bool>> m_modelProblems;
};

} // namespace parlune
