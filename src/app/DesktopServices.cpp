// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopServices.h"

#include "platform/InputAccess.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseLink.h"
#include "platform/pulse/PulseOutputMixer.h"
#include "platform/pulse/PulseSound.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/SyntheticKeys.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11KeyboardTap.h"
#include "platform/x11/X11Workspace.h"
#include "platform/xdg/XdgAutostart.h"
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
    // The paste's keys, announced to the keyboard tap so that they never count as the user's.
    SyntheticKeys syntheticKeys;
    X11KeySynth keySynth{&syntheticKeys};
    X11Workspace workspace;
    AtspiFocusedElement focusedElement;
    XdgAutostart autostart{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                           QCoreApplication::applicationFilePath(),
                           {LoginItem::launchArgument}};
    LoginItem loginItem{autostart};
    Permissions permissions{focusedElement, workspace, qEnvironmentVariable("XDG_CURRENT_DESKTOP")};
    X11KeyboardTap keyboardTap{&syntheticKeys};
    std::shared_ptr<Recognizer> recognizer = std::make_shared<PocketsphinxRecognizer>();
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
    services.inputAccess = &InputAccess::system();
    services.keyboardTap = &m_parts->keyboardTap;
    services.workspace = &m_parts->workspace;
    services.pasteboard = &m_parts->pasteboard;
    services.keySynth = &m_parts->keySynth;
    services.focusedElement = &m_parts->focusedElement;
    services.media = &m_parts->media;
    services.sounds = &m_parts->sounds;
    services.loginItem = &m_parts->loginItem;
    return services;
}

ViewServices DesktopServices::viewServices()
{
    return desktopViewServices(m_parts->permissions, m_parts->pasteboard);
}

} // namespace parlune
