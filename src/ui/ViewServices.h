// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/MicrophoneAccess.h"
#include "system/MachineResources.h"
#include "system/Permissions.h"

#include <QCoroTask>

#include <functional>

namespace parlune {

class DesktopKeybinding;
class Pasteboard;

// What the main window and the walkthrough ask of the system, beside the coordinator. The defaults are
// the system's answers; the program adds the clipboard and the settings pages, tests put fakes.
struct ViewServices
{
    Clock* clock = &SystemClock::instance();
    // None: the application's clipboard, written directly.
    Pasteboard* pasteboard = nullptr;
    // The microphone authorisation status is "authorised".
    std::function<bool()> microphoneAuthorized = [] {
        return MicrophoneAccess::status() == MicrophoneAuthorization::Authorized;
    };
    std::function<QCoro::Task<bool>()> requestMicrophone = &Permissions::requestMicrophone;
    // Whether the accessibility settings can be opened here; when not, no button offers it.
    std::function<bool()> canRequestAccessibility = [] { return false; };
    std::function<void()> requestAccessibility = [] {};
    // The desktop's shortcut settings, where the desktop binds the shortcut itself (Wayland); when they
    // cannot be opened, nothing offers to.
    std::function<bool()> canOpenShortcutSettings = [] { return false; };
    std::function<void()> openShortcutSettings = [] {};
    // Where the desktop lends no shortcut to programs but has keybindings of its own (GNOME before 48):
    // the one the window and the walkthrough offer to add. None elsewhere.
    DesktopKeybinding* keybinding = nullptr;
    // The fn key does nothing else on this computer, so it can be held for dictation.
    std::function<bool()> fnKeyIsFree = [] { return Permissions::fnKeyIsFree; };
    // The processors and memory the choice of recognition is recommended by.
    std::function<MachineResources()> machineResources = &MachineResources::current;
};

// The program's services: the accessibility settings open through `permissions`, and copies
// go through `pasteboard`, the clipboard the dictations are delivered with.
ViewServices desktopViewServices(Permissions& permissions, Pasteboard& pasteboard);

} // namespace parlune
