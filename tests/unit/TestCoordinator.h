// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppCoordinator.h"
#include "app/HudPresenter.h"
#include "store/AppSettingsStore.h"
#include "store/TranscriptStore.h"

#include <QTemporaryDir>

namespace parlune {

// A quiet coordinator on files of its own, with the state the dictation flow writes made writable, so a
// test can put the views in any state.
class TestCoordinator : public AppCoordinator
{
public:
    explicit TestCoordinator(const QTemporaryDir& dir)
        : AppCoordinator(services(dir), false)
    {}

    using AppCoordinator::setAccessibilityGranted;
    using AppCoordinator::setHistory;
    using AppCoordinator::setIsRecording;
    using AppCoordinator::setLastLatency;
    using AppCoordinator::setStatus;

private:
    static AppCoordinatorServices services(const QTemporaryDir& dir)
    {
        AppCoordinatorServices services;
        services.transcripts =
            std::make_unique<TranscriptStore>(dir.filePath(QStringLiteral("history.json")));
        services.settingsStore =
            std::make_unique<AppSettingsStore>(dir.filePath(QStringLiteral("settings.json")));
        return services;
    }
};

} // namespace parlune
