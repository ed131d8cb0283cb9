// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeDesktop.h"
#include "app/AppCoordinator.h"

namespace parlune {

// A quiet coordinator on a faked desktop, with the state the dictation flow writes made writable, so a
// test can put the views in any state. The desktop must outlive it.
class TestCoordinator : public AppCoordinator
{
public:
    explicit TestCoordinator(FakeDesktop& desktop)
        : AppCoordinator(desktop.services(), false)
    {}

    using AppCoordinator::setAccessibilityGranted;
    using AppCoordinator::setHistory;
    using AppCoordinator::setIsRecording;
    using AppCoordinator::setLastLatency;
    using AppCoordinator::setStatus;
};

} // namespace parlune
