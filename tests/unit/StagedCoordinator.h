// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeDesktop.h"
#include "app/AppCoordinator.h"

#include <QTemporaryDir>

namespace parlune {

// A coordinator whose published state a test sets directly, to put the views in any state.
class StagedCoordinator : public AppCoordinator
{
public:
    StagedCoordinator(FakeDesktop& desktop, bool live)
        : AppCoordinator(desktop.services(), live)
    {}

    using AppCoordinator::setAccessibilityGranted;
    using AppCoordinator::setHandsFree;
    using AppCoordinator::setHistory;
    using AppCoordinator::setIsRecording;
    using AppCoordinator::setLastLatency;
    using AppCoordinator::setLivePreview;
    using AppCoordinator::setStatus;
};

// A faked desktop with its files in a folder of its own, and a quiet (or live) coordinator on it.
struct StagedDesktop
{
    explicit StagedDesktop(bool live = false, bool accurateEngine = false)
        : desktop(folder.path(), accurateEngine)
        , coordinator(desktop, live)
    {}

    QTemporaryDir folder;
    FakeDesktop desktop;
    StagedCoordinator coordinator;
};

} // namespace parlune
