// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/DesktopServices.h"

#include "platform/DesktopShortcutChoice.h"
#include "platform/DisplaySession.h"
#include "platform/InputAccess.h"
#include "platform/Log.h"
#include "platform/RecognizerChoice.h"
#include "platform/atspi/AccessibilitySwitch.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "platform/atspi/AtspiWorkspace.h"
#include "platform/gnome/GnomeKeybinding.h"
#include "platform/models/ModelGuard.h"
#include "platform/models/ModelInstallation.h"
#include "platform/parakeet/ParakeetRecognizer.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "platform/portal/PortalKeySynth.h"
#include "platform/portal/PortalKeyboardTap.h"
#include "platform/pulse/PulseAudioInput.h"
#include "platform/pulse/PulseLink.h"
#include "platform/pulse/PulseOutputMixer.h"
#include "platform/pulse/PulseSound.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"
#include "platform/vosk/VoskLibrary.h"
#include "platform/vosk/VoskRecognizer.h"
#include "platform/wayland/DataControlPasteboard.h"
#include "platform/x11/ClipboardPasteboard.h"
#include "platform/x11/SyntheticKeys.h"
#include "platform/x11/X11KeySynth.h"
#include "platform/x11/X11KeyboardTap.h"
#include "platform/x11/X11Workspace.h"
#include "platform/xdg/GnomeKeyboardRepeat.h"
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

namespace {

// Parakeet on sherpa-onnx where its library is installed beside the program; none otherwise.
std::shared_ptr<Recognizer> makeAccurateRecognizer()
{
    auto library = SherpaOnnxLibrary::load(SherpaOnnxLibrary::installedPath());
    if (!library) {
        logLine("Parlune: no sherpa-onnx library (%s), no accurate recognition",
                library.error().toUtf8().constData());
        return nullptr;
    }
    ParakeetRecognizer::Loaders loaders = ParakeetRecognizer::onSherpaOnnx(
        library.value(), SherpaOnnxLibrary::installedVoiceActivityModelPath());
    // Downloaded into the models folder, resumable, each file checked; a model installed otherwise is
    // loaded in a child process first.
    loaders.installation = [download = ModelInstallation::parakeetFactory(AppPaths::models())](
                               const QString&) { return download(); };
    loaders.guard = ModelGuard::program();
    return std::make_shared<ParakeetRecognizer>(std::move(loaders));
}

// Vosk where its library is installed beside the program, pocketsphinx for what it can do otherwise,
// and the accurate engine for the user who chooses it.
std::shared_ptr<RecognizerChoice> makeRecognizer()
{
    std::shared_ptr<VoskRecognizer> vosk;
    auto library = VoskLibrary::load(VoskLibrary::installedPath());
    if (library)
        // A model not verified by its download is loaded in a child process first.
        vosk = std::make_shared<VoskRecognizer>(library.value(), ModelCatalogue::shipped(), QString(),
                                                ModelGuard::program());
    else
        logLine("Parlune: no Vosk library (%s), recognising with pocketsphinx only",
                library.error().toUtf8().constData());
    return std::make_shared<RecognizerChoice>(std::move(vosk), std::make_shared<PocketsphinxRecognizer>(),
                                              makeAccurateRecognizer());
}

// GNOME and the desktops built on it ("ubuntu:GNOME", "GNOME-Flashback:GNOME") run GNOME's keybindings.
bool isGnome()
{
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
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
    // PRIMARY, for the terminals that paste it on Shift+Insert; through Xwayland in a Wayland session.
    std::unique_ptr<ClipboardPasteboard> primarySelection =
        QGuiApplication::clipboard()->supportsSelection()
            ? std::make_unique<ClipboardPasteboard>(QGuiApplication::clipboard(), QClipboard::Selection)
            : nullptr;
    // The paste's keys, announced to the keyboard tap so that they never count as the user's.
    SyntheticKeys syntheticKeys;
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
    GnomeKeyboardRepeat keyboardRepeat;
    Permissions permissions{focusedElement, frontWorkspace(), qEnvironmentVariable("XDG_CURRENT_DESKTOP"),
                            qEnvironmentVariable("DESKTOP_SESSION")};
    std::shared_ptr<RecognizerChoice> recognizer = makeRecognizer();

    // The shortcut and the paste keystroke: X11's own on X11; on Wayland, where no program sees or
    // types on the keyboard, the desktop's portals.
    std::unique_ptr<KeyboardTap> keyboardTap;
    std::unique_ptr<KeySynth> keySynth;
    InputAccess* inputAccess = &InputAccess::system();
    DesktopShortcut* desktopShortcut = nullptr;
    PortalKeySynth* portalKeys = nullptr;
    // GNOME before 48 lends no shortcut through its portal: a keybinding of GNOME's own runs the program
    // instead ("parlune --shortcut" at each press and auto-repeat), once the user has asked for it.
    std::unique_ptr<GnomeKeybinding> keybinding;
    std::unique_ptr<DesktopShortcutChoice> shortcutChoice;

    Parts()
    {
        if (wayland) {
            auto tap = std::make_unique<PortalKeyboardTap>();
            desktopShortcut = tap.get();
            if (isGnome()) {
                keybinding = std::make_unique<GnomeKeybinding>(
                    QStringList{QCoreApplication::applicationFilePath(), QStringLiteral("--shortcut")});
                if (keybinding->isAvailable()) {
                    shortcutChoice = std::make_unique<DesktopShortcutChoice>(*tap, *keybinding);
                    desktopShortcut = shortcutChoice.get();
                } else {
                    keybinding.reset();
                }
            }
            keyboardTap = std::move(tap);
            auto keys =
                std::make_unique<PortalKeySynth>(AppPaths::support() + QStringLiteral("/keyboard-consent"));
            portalKeys = keys.get();
            inputAccess = keys.get();
            keySynth = std::move(keys);
            // Typing was allowed at an earlier start: the keyboard is borrowed again without asking.
            portalKeys->resume();
        } else {
            keyboardTap = std::make_unique<X11KeyboardTap>(&syntheticKeys);
            keySynth = std::make_unique<X11KeySynth>(&syntheticKeys);
        }
    }
};

DesktopServices::DesktopServices()
    : m_parts(std::make_unique<Parts>())
{
    const bool wayland = m_parts->wayland;
    logLine(
        "Parlune: %s session; shortcut through %s, paste keystroke through %s, text %s, clipboard through %s",
        displaySessionName(displaySession()),
        !wayland                  ? "X11 (XInput2 and grabs)"
        : m_parts->shortcutChoice ? "the GlobalShortcuts portal, else GNOME's keybinding"
                                  : "the GlobalShortcuts portal",
        wayland ? "the RemoteDesktop portal" : "XTest",
        wayland ? "through the accessibility bus where the field takes it, else pasted" : "pasted",
        !wayland               ? "X11"
        : m_parts->dataControl ? "data-control"
                               : "Xwayland (the compositor offers no data-control)");
    if (wayland && AccessibilitySwitch::switchOn())
        logLine("Parlune: switched the desktop's accessibility bus on, so that programs started from now on "
                "take dictations straight into their fields");
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
    services.recognizerChoice = m_parts->recognizer.get();
    services.audioInput = PulseAudioInput::create;
    services.inputAccess = m_parts->inputAccess;
    services.keyboardTap = m_parts->keyboardTap.get();
    services.desktopShortcut = m_parts->desktopShortcut;
    services.workspace = &m_parts->frontWorkspace();
    services.pasteboard = &m_parts->clipboard();
    services.primarySelection = m_parts->primarySelection.get();
    services.keySynth = m_parts->keySynth.get();
    services.focusedElement = &m_parts->focusedElement;
    if (m_parts->wayland)
        services.directInsertion = &m_parts->focusedElement;
    services.media = &m_parts->media;
    services.sounds = &m_parts->sounds;
    services.loginItem = &m_parts->loginItem;
    services.keyboardRepeat = [this] { return m_parts->keyboardRepeat.current(); };
    return services;
}

ViewServices DesktopServices::viewServices()
{
    ViewServices services = desktopViewServices(m_parts->permissions, m_parts->clipboard());
    services.keybinding = m_parts->keybinding.get();
    // On Wayland, "accessibility" is the desktop lending its keyboard for the paste.
    if (PortalKeySynth* keys = m_parts->portalKeys) {
        services.canRequestAccessibility = [] { return true; };
        services.requestAccessibility = [keys] { keys->requestAccess(); };
    }
    return services;
}

} // namespace parlune
