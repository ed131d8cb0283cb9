// SPDX-License-Identifier: GPL-3.0-or-later
// Construction and the published state.
#include "app/AppCoordinator.h"

#include "app/HudPresenter.h"
#include "store/AppSettingsStore.h"
#include "store/TranscriptStore.h"

namespace parlune {

AppCoordinator::AppCoordinator(AppCoordinatorServices services, bool live, QObject* parent)
    : QObject(parent)
    , m_clock(services.clock)
    , m_transcripts(std::move(services.transcripts))
    , m_settingsStore(std::move(services.settingsStore))
    , m_live(live)
{
    if (!m_transcripts)
        m_transcripts = std::make_unique<TranscriptStore>();
    if (!m_settingsStore)
        m_settingsStore = std::make_unique<AppSettingsStore>();
    m_history = m_transcripts->entries();

    if (m_live) {
        applyLoadedSettings();
        m_hud = std::move(services.hud);
    }
}

AppCoordinator::~AppCoordinator() = default;

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
