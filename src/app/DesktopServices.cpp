// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopServices.h"

#include "platform/DisplaySession.h"
#include "platform/InputAccess.h"
#include "platform/Log.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "platform/portal/PortalKeySynth.h"
#include "platform/portal/PortalKeyboardTap.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseLink.h"
#include "platform/pulse/PulseOutputMixer.h"
#include "platform/pulse/PulseSound.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11KeyboardTap.h"
#include "platform/x11/X11Workspace.h"
#include "platform/xdg/XdgAutostart.h"
#include "store/AppPaths.h"
#include "system/LoginItem.h"
#include "system/MediaController.h"
#include "system/Permissions.h"
#include "system/SerialQueue.h"
#include "system/Sounds.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>

namespace parlune {

// Members are destroyed in reverse order: the worker queue before the media controller, the sounds
// and the mixer before their PulseAudio link.
struct DesktopServices::Parts
{
    PulseLink pulse;
    PulseOutputMixer mixer{pulse};
    WorkerQueue mediaQueue{MediaController::queueLabel};
    MediaController media{mixer, mediaQueue};
    Sounds sounds{[this](std::vector<float> samples) -> std::unique_ptr<Sound> {
        return std::make_unique<PulseSound>(pulse, std::move(samples));
    }};
    ClipboardPasteboard pasteboard{QGuiApplication::clipboard()};
    X11Workspace workspace;
    AtspiFocusedElement focusedElement;
    XdgAutostart autostart{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                           QCoreApplication::applicationFilePath(),
                           {LoginItem::launchArgument}};
    LoginItem loginItem{autostart};
    Permissions permissions{focusedElement, workspace, qEnvironmentVariable("XDG_CURRENT_DESKTOP")};
    std::shared_ptr<Recognizer> recognizer = std::make_shared<PocketsphinxRecognizer>();

    // The shortcut and the paste keystroke: X11's own on X11; on Wayland, where no program sees or
    // types on the keyboard, the desktop's portals.
    const DisplaySession session = displaySession();
    std::unique_ptr<KeyboardTap> keyboardTap;
    std::unique_ptr<KeySynth> keySynth;
    InputAccess* inputAccess = &InputAccess::system();
    DesktopShortcut* desktopShortcut = nullptr;
    PortalKeySynth* portalKeys = nullptr;

    Parts()
    {
        if (session == DisplaySession::wayland) {
            auto tap = std::make_unique<PortalKeyboardTap>();
            desktopShortcut = tap.get();
            keyboardTap = std::move(tap);
            auto keys =
                std::make_unique<PortalKeySynth>(AppPaths::support() + QStringLiteral("/keyboard-consent"));
            portalKeys = keys.get();
            inputAccess = keys.get();
            keySynth = std::move(keys);
            // Typing was allowed at an earlier start: the keyboard is borrowed again without asking.
            portalKeys->resume();
        } else {
            keyboardTap = std::make_unique<X11KeyboardTap>();
            keySynth = std::make_unique<X11KeySynth>();
        }
        const bool portals = session == DisplaySession::wayland;
        logLine("Parlune: %s session; shortcut through %s, paste keystroke through %s",
                displaySessionName(session),
                portals ? "the GlobalShortcuts portal" : "X11 (XInput2 and grabs)",
                portals ? "the RemoteDesktop portal" : "XTest");
    }
};

DesktopServices::DesktopServices()
    : m_parts(std::make_unique<Parts>())
{}

DesktopServices::~DesktopServices() = default;

DesktopServices& DesktopServices::program()
{
    // The program ends without tearing it down: a coordinator and windows built on it live as long.
    static DesktopServices* services = new DesktopServices;
    return *services;
}

AppCoordinatorServices DesktopServices::services()
{
    AppCoordinatorServices services;
    services.recognizer = m_parts->recognizer;
    services.audioInput = PulseAudioInput::create;
    services.inputAccess = m_parts->inputAccess;
    services.keyboardTap = m_parts->keyboardTap.get();
    services.desktopShortcut = m_parts->desktopShortcut;
    services.workspace = &m_parts->workspace;
    services.pasteboard = &m_parts->pasteboard;
    services.keySynth = m_parts->keySynth.get();
    services.focusedElement = &m_parts->focusedElement;
    services.media = &m_parts->media;
    services.sounds = &m_parts->sounds;
    services.loginItem = &m_parts->loginItem;
    return services;
}

ViewServices DesktopServices::viewServices()
{
    ViewServices services = desktopViewServices(m_parts->permissions, m_parts->pasteboard);
    // On Wayland, "accessibility" is the desktop lending its keyboard for the paste.
    if (PortalKeySynth* keys = m_parts->portalKeys)
        services.requestAccessibility = [keys] { keys->requestAccess(); };
    return services;
}

} // namespace parlune
