// SPDX-License-Identifier: GPL-3.0-or-later
// What other launches of the program ask (`parlune --press`, bound to keys in the desktop's own
// settings): the shortcut's press and release, Escape and the menu's start/stop, as the keyboard gives them.
#include "app/AppCoordinator.h"

#include "input/RepeatedShortcut.h"
#include "platform/Log.h"

#include <utility>

namespace parlune {

void AppCoordinator::runCommand(InstanceCommand command)
{
    switch (command) {
    case InstanceCommand::press:
        // A desktop that repeats its binding while the keys stay down runs the same press again.
        if (!std::exchange(m_commandHeld, true))
            shortcutPressed();
        break;
    case InstanceCommand::release:
        if (std::exchange(m_commandHeld, false))
            shortcutReleased();
        break;
    case InstanceCommand::shortcut:
        repeatedShortcut().run();
        break;
    case InstanceCommand::cancel:
        escapePressed();
        break;
    case InstanceCommand::toggle:
        toggle();
        break;
    case InstanceCommand::reopen:
        break;
    }
}

RepeatedShortcut& AppCoordinator::repeatedShortcut()
{
    if (!m_repeatedShortcut) {
        QPointer<AppCoordinator> self(this);
        m_repeatedShortcut = std::make_unique<RepeatedShortcut>(
            *m_clock,
            [self] {
                if (self)
                    self->shortcutPressed();
            },
            [self](Clock::Instant releasedAt) {
                if (!self)
                    return;
                logLine("Parlune: shortcut released (no repeat for %.2f s)",
                        secondsBetween(releasedAt, self->m_clock->now()));
                self->shortcutReleased(releasedAt);
            });
    }
    return *m_repeatedShortcut;
}

} // namespace parlune
