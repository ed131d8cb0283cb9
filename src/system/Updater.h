// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UpdateController.h"

#include <functional>
#include <memory>

namespace parlune {

// Owns the program's update controller: it checks for new versions in the background once started,
// and on request from the menu.
class Updater
{
public:
    using ControllerFactory = std::function<std::unique_ptr<UpdateController>()>;

    explicit Updater(ControllerFactory factory);

    // The one controller of the program; the first use creates and starts it.
    UpdateController& controller();
    // "Rechercher des mises à jour…" in the menu.
    void checkForUpdates();

private:
    ControllerFactory m_factory;
    std::unique_ptr<UpdateController> m_controller;
};

} // namespace parlune
