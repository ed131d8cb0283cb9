// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopServices.h"

#include "platform/DisplaySession.h"
#include "platform/InputAccess.h"
#include "platform/Log.h"
#include "platform/atspi/AccessibilitySwitch.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/atspi/AtspiWorkspace.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseLink.h"
#include "platform/pulse/PulseOutputMixer.h"
#include "platform/pulse/PulseSound.h"
#include "platform/vosk/RecognizerChoice.h"
#include "platform/vosk/VoskLibrary.h"
#include "platform/wayland/DataControlPasteboard.h"
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

namespace {

// Vosk where its library is installed beside the program, pocketsphinx for what it can do otherwise.
std::shared_ptr<Recognizer> makeRecognizer()
{
    std::shared_ptr<VoskRecognizer> vosk;
    auto library = VoskLibrary::load(VoskLibrary::installedPath());
    if (library)
        vosk = std::make_shared<VoskRecognizer>(library.value());
    else
        logLine("Parlune: no Vosk library (%s), recognising with pocketsphinx only",
                library.error().toUtf8().constData());
    return std::make_shared<RecognizerChoice>(std::move(vosk), std::make_shared<PocketsphinxRecognizer>());
}

} // namespace

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
    // A Wayland session: text through the accessibility bus, else the clipboard through the compositor's
    // data-control protocol; the application in front from the accessibility bus.
    const bool wayland = displaySession() == DisplaySession::wayland;
    std::unique_ptr<DataControlPasteboard> dataControl = wayland ? DataControlPasteboard::connect() : nullptr;
    AtspiWorkspace atspiWorkspace{workspace};
    Pasteboard& clipboard() { return dataControl ? *dataControl : static_cast<Pasteboard&>(pasteboard); }
    Workspace& frontWorkspace() { return wayland ? static_cast<Workspace&>(atspiWorkspace) : workspace; }
    XdgAutostart autostart{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                           QCoreApplication::applicationFilePath(),
                           {LoginItem::launchArgument}};
    LoginItem loginItem{autostart};
    Permissions permissions{focusedElement, frontWorkspace(), qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                            qEnvironmentVariable("DESKTOP_SESSION")};
    X11KeyboardTap keyboardTap{&syntheticKeys};
    std::shared_ptr<Recognizer> recognizer = makeRecognizer();
};

DesktopServices::DesktopServices()
    : m_parts(std::make_unique<Parts>())
{
    if (!m_parts->wayland)
        return;
    if (AccessibilitySwitch::switchOn())
        logLine("Parlune: switched the desktop's accessibility bus on, so that programs started from now on "
                "take dictations straight into their fields");
    if (m_parts->dataControl)
        logLine("Parlune: Wayland session: text through the accessibility bus, else pasted from the "
                "compositor's clipboard (data-control)");
    else
        logLine("Parlune: Wayland session: text through the accessibility bus, else pasted from the Xwayland "
                "clipboard (the compositor offers no data-control)");
}

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
    services.workspace = &m_parts->frontWorkspace();
    services.pasteboard = &m_parts->clipboard();
    services.keySynth = &m_parts->keySynth;
    services.focusedElement = &m_parts->focusedElement;
    if (m_parts->wayland)
        services.directInsertion = &m_parts->focusedElement;
    services.media = &m_parts->media;
    services.sounds = &m_parts->sounds;
    services.loginItem = &m_parts->loginItem;
    return services;
}

ViewServices DesktopServices::viewServices()
{
    return desktopViewServices(m_parts->permissions, m_parts->clipboard());
}

} // namespace parlune
