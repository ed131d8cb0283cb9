// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/Updater.h"

namespace parlune {

Updater::Updater(ControllerFactory factory)
    : m_factory(std::move(factory))
{}

UpdateController& Updater::controller()
{
    if (!m_controller) {
        m_controller = m_factory();
        m_controller->startUpdater();
    }
    return *m_controller;
}

void Updater::checkForUpdates()
{
    controller().checkForUpdates();
}

} // namespace parlune
