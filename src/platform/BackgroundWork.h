// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"

#include <memory>
#include <optional>

namespace parlune {

// A model fetched and loaded while another engine serves the dictations, as the windows show it.
struct BackgroundWork
{
    enum class Phase { none, installing, loading, ready, failed };

    Phase phase = Phase::none;
    // While installing: how far it has come, and the user's way to call it off.
    std::shared_ptr<InstallationProgress> progress;
    // Why it failed.
    std::optional<RecognitionError> failure;
    // The user called it off: it is not tried again by itself at the next dictation.
    bool calledOff = false;

    static BackgroundWork installing(std::shared_ptr<InstallationProgress> progress = nullptr)
    {
        return {Phase::installing, std::move(progress), std::nullopt, false};
    }
    static BackgroundWork loading() { return {Phase::loading, nullptr, std::nullopt, false}; }
    static BackgroundWork ready() { return {Phase::ready, nullptr, std::nullopt, false}; }
    static BackgroundWork failed(RecognitionError failure, bool calledOff)
    {
        return {Phase::failed, nullptr, std::move(failure), calledOff};
    }

    bool isRunning() const { return phase == Phase::installing || phase == Phase::loading; }
};

} // namespace parlune
