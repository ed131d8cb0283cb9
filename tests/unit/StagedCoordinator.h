// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppCoordinator.h"

namespace parlune {

// A coordinator whose published state a test sets directly, to show the views every state.
class StagedCoordinator : public AppCoordinator
{
public:
    using AppCoordinator::AppCoordinator;
    using AppCoordinator::setAudioLevel;
    using AppCoordinator::setHandsFree;
    using AppCoordinator::setHistory;
    using AppCoordinator::setIsRecording;
    using AppCoordinator::setLivePreview;
    using AppCoordinator::setStatus;
};

} // namespace parlune
