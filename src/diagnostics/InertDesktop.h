// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppCoordinator.h"

#include <memory>

namespace parlune {

// Stand-ins for the desktop's services, for a coordinator that only shows the stored state (the window
// snapshot): no microphone, no recogniser for any language, an empty clipboard that keeps nothing, no
// keystrokes, no windows and no focused widget. Whatever the coordinator is asked to do, it reaches one
// of these and nothing happens on the desktop. No display or sound server is needed.
class InertDesktop
{
public:
    InertDesktop();
    ~InertDesktop();
    InertDesktop(const InertDesktop&) = delete;
    InertDesktop& operator=(const InertDesktop&) = delete;

    // Services for a quiet coordinator, which must not outlive this; the stores are the files of the
    // support folder.
    AppCoordinatorServices services();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace parlune
