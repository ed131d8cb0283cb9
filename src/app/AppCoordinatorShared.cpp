// SPDX-License-Identifier: GPL-3.0-or-later
// The one place that builds the program's real services.
#include "app/AppCoordinator.h"

#include "platform/InputAccess.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseLink.h"
#include "platform/pulse/PulseOutputMixer.h"
#include "platform/pulse/PulseSound.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11KeyboardTap.h"
#include "platform/x11/X11Workspace.h"
#include "platform/xdg/XdgAutostart.h"
#include "system/LoginItem.h"
#include "system/MediaController.h"
#include "system/SerialQueue.h"
#include "system/Sounds.h"

#include <QCoreApplication>
#include <QDir>
#include <QGuiApplication>
#include <QStandardPaths>

namespace parlune {

namespace {

// The desktop's services, alive for the whole run. Members are destroyed in reverse order: the
// worker queue before the media controller, the sounds and the mixer before their PulseAudio link.
struct DesktopServices
{
    PulseLink pulse;
    PulseOutputMixer mixer{pulse};
    MediaController media{mixer, mediaQueue()};
    Sounds sounds{[this](std::vector<float> samples) -> std::unique_ptr<Sound> {
        return std::make_unique<PulseSound>(pulse, std::move(samples));
    }};
    ClipboardPasteboard pasteboard{QGuiApplication::clipboard()};
    X11KeySynth keySynth;
    X11Workspace workspace;
    AtspiFocusedElement focusedElement;
    XdgAutostart autostart{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                           QCoreApplication::applicationFilePath(),
                           {LoginItem::launchArgument}};
    LoginItem loginItem{autostart};
    X11KeyboardTap keyboardTap;
    std::shared_ptr<Recognizer> recognizer = std::make_shared<PocketsphinxRecognizer>();

    static SerialQueue& mediaQueue()
    {
        // The "Parlune.media" worker lives as long as the process.
        static WorkerQueue queue(MediaController::queueLabel);
        return queue;
    }
};

bool isQuiet()
{
    // The self-check drives a dictation of its own; a test runner must not touch the user's files.
    return QCoreApplication::arguments().contains(QStringLiteral("--check-dictation")) ||
           qEnvironmentVariableIsSet("XCTestConfigurationFilePath") ||
           qEnvironmentVariableIsSet("PARLUNE_TEST_RUN");
}

} // namespace

AppCoordinator& AppCoordinator::shared()
{
    static DesktopServices* desktop = new DesktopServices;
    static AppCoordinator* coordinator = [] {
        AppCoordinatorServices services;
        services.recognizer = desktop->recognizer;
        services.audioInput = PulseAudioInput::create;
        services.inputAccess = &InputAccess::system();
        services.keyboardTap = &desktop->keyboardTap;
        services.workspace = &desktop->workspace;
        services.pasteboard = &desktop->pasteboard;
        services.keySynth = &desktop->keySynth;
        services.focusedElement = &desktop->focusedElement;
        services.media = &desktop->media;
        services.sounds = &desktop->sounds;
        services.loginItem = &desktop->loginItem;
        services.makeHud = sharedHudFactory();
        return new AppCoordinator(std::move(services), !isQuiet());
    }();
    return *coordinator;
}

std::function<std::unique_ptr<HudPresenter>(AppCoordinator&)>& AppCoordinator::sharedHudFactory()
{
    static std::function<std::unique_ptr<HudPresenter>(AppCoordinator&)> factory;
    return factory;
}

} // namespace parlune
