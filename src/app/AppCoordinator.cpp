// SPDX-License-Identifier: GPL-3.0-or-later
// Construction and the published state.
#include "app/AppCoordinator.h"

#include "app/HudPresenter.h"
#include "audio/AudioRecorder.h"
#include "input/GlobalHotkeys.h"
#include "input/RepeatedShortcut.h"
#include "platform/RecognizerChoice.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"
#include "store/AppSettingsStore.h"
#include "store/TranscriptStore.h"
#include "system/Permissions.h"
#include "system/TextInjector.h"

namespace parlune {

AppCoordinator::AppCoordinator(AppCoordinatorServices services, bool live, QObject* parent)
    : QObject(parent)
    , m_clock(services.clock)
    , m_microphoneStatus(std::move(services.microphoneStatus))
    , m_keyboardRepeat(std::move(services.keyboardRepeat))
    , m_inputAccess(services.inputAccess)
    , m_desktopShortcut(services.desktopShortcut)
    , m_workspace(services.workspace)
    , m_pasteboard(services.pasteboard)
    , m_focusedElement(services.focusedElement)
    , m_media(services.media)
    , m_sounds(services.sounds)
    , m_loginItem(services.loginItem)
    , m_choice(services.recognizerChoice)
    , m_live(live)
{
    // The services, in the order they depend on each other: the history file is read here.
    m_engine = std::make_unique<SpeechEngine>(services.recognizer, *m_clock);
    m_recorder = std::make_unique<AudioRecorder>(std::move(services.audioInput));
    m_transcripts =
        services.transcripts ? std::move(services.transcripts) : std::make_unique<TranscriptStore>();
    m_injector =
        std::make_unique<TextInjector>(*services.pasteboard, *services.keySynth, *m_workspace, *m_clock,
                                       TextInjectorOptions{.directInsertion = services.directInsertion,
                                                           .readBack = services.focusedElement,
                                                           .primarySelection = services.primarySelection});
    m_permissions = std::make_unique<Permissions>(*services.focusedElement, *m_workspace,
                                                  qEnvironmentVariable("XDG_CURRENT_DESKTOP"));
    m_settingsStore =
        services.settingsStore ? std::move(services.settingsStore) : std::make_unique<AppSettingsStore>();

    m_history = m_transcripts->entries();
    connect(this, &AppCoordinator::shortcutChanged, this, &AppCoordinator::shortcutLabelChanged);
    followDesktopShortcut();

    QPointer<AppCoordinator> self(this);
    m_engine->setOnInstallation([self](Language language, std::shared_ptr<InstallationProgress> progress) {
        if (self)
            self->followInstallation(language, std::move(progress));
    });
    connect(this, &AppCoordinator::languageChanged, this, &AppCoordinator::refreshModelDownload);
    connect(this, &AppCoordinator::languageChanged, this, &AppCoordinator::modelProblemChanged);
    // The fast engine's work is the current language's.
    connect(this, &AppCoordinator::languageChanged, this, &AppCoordinator::recognitionWorkChanged);
    if (m_choice) {
        m_choice->setOnChange([self] {
            if (self)
                Q_EMIT self->recognitionWorkChanged();
        });
    }
    m_recorder->setOnLevel([self](float level) {
        if (self)
            self->recorderLevel(level);
    });
    m_recorder->setOnError([self](const Error& error) {
        if (self)
            self->cancelRecording(error.description);
    });

    if (!m_live)
        return;
    applyLoadedSettings();
    if (services.makeHud)
        m_hud = services.makeHud(*this);
    if (services.keyboardTap) {
        const auto guarded = [self](void (AppCoordinator::*reaction)()) {
            return [self, reaction] {
                if (self)
                    (self.data()->*reaction)();
            };
        };
        m_hotkeys = std::make_unique<GlobalHotkeys>(
            *services.keyboardTap, m_shortcut, guarded(&AppCoordinator::shortcutPressed),
            guarded(&AppCoordinator::shortcutReleased), guarded(&AppCoordinator::otherKeyPressed),
            guarded(&AppCoordinator::escapePressed));
        // Refused while input access is missing: the watch timer installs it once access is granted.
        m_hotkeys->start();
    }
    startPermissionWatch();
    chooseRecognizer(false);
    prepareLanguage(false);
}

AppCoordinator::~AppCoordinator()
{
    // The keyboard tap goes first, so that no key reaches a half-destroyed coordinator.
    m_hotkeys.reset();
    if (m_session)
        m_session->cancel();
    m_recorder->stop();
}

// Every setter stores the value and tells the views only when it really changed.
template <typename T> static bool assign(T& field, T value)
{
    if (field == value)
        return false;
    field = std::move(value);
    return true;
}

void AppCoordinator::setStatus(RecordingStatus status)
{
    if (assign(m_status, std::move(status)))
        Q_EMIT statusChanged();
    syncHUD();
}

void AppCoordinator::setIsRecording(bool isRecording)
{
    if (assign(m_isRecording, isRecording))
        Q_EMIT isRecordingChanged();
}

void AppCoordinator::setHandsFree(bool handsFree)
{
    if (assign(m_handsFree, handsFree))
        Q_EMIT handsFreeChanged();
}

void AppCoordinator::setAudioLevel(float audioLevel)
{
    if (assign(m_audioLevel, audioLevel))
        Q_EMIT audioLevelChanged();
}

void AppCoordinator::setHistory(QList<TranscriptEntry> history)
{
    if (assign(m_history, std::move(history)))
        Q_EMIT historyChanged();
}

void AppCoordinator::setAccessibilityGranted(bool granted)
{
    if (assign(m_accessibilityGranted, granted))
        Q_EMIT accessibilityGrantedChanged();
}

void AppCoordinator::setLastLatency(std::optional<double> latency)
{
    if (assign(m_lastLatency, latency))
        Q_EMIT lastLatencyChanged();
}

void AppCoordinator::setLivePreview(QString preview)
{
    if (assign(m_livePreview, std::move(preview)))
        Q_EMIT livePreviewChanged();
}

void AppCoordinator::clearHistory()
{
    m_transcripts->clear();
    setHistory({});
}

} // namespace parlune
