// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/AppCoordinator.h"
#include "ui/ViewServices.h"

#include <memory>

namespace parlune {

// The real services of the Linux desktop the coordinator works with: X11 for keys (on Wayland the
// desktop's portals), windows and the clipboard, PulseAudio for the microphone, the output and the
// sounds, the accessibility bus, Vosk and pocketsphinx, the XDG autostart folder. They live as long as
// they are needed by a coordinator built on them. Needs a QGuiApplication.
class DesktopServices
{
public:
    DesktopServices();
    ~DesktopServices();
    DesktopServices(const DesktopServices&) = delete;
    DesktopServices& operator=(const DesktopServices&) = delete;

    // The program's own, made on first use and kept to the end of the run.
    static DesktopServices& program();

    // Services for a coordinator; the stores default to the files of the support folder.
    AppCoordinatorServices services();
    // Services for the windows: the desktop's accessibility and keyboard settings, and the same clipboard
    // as the coordinator's.
    ViewServices viewServices();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace parlune
