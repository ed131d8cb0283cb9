// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppCoordinator.h"
#include "app/AppDelegate.h"
#include "app/AppWindowController.h"
#include "app/DesktopServices.h"
#include "app/InstanceClient.h"
#include "app/ParluneApp.h"
#include "app/SingleInstance.h"
#include "diagnostics/DictationCheck.h"
#include "diagnostics/WindowSnapshot.h"
#include "platform/InputAccess.h"
#include "platform/Log.h"
#include "platform/appcast/AppcastUpdateController.h"
#include "platform/xdg/DesktopId.h"
#include "speech/SpeechEngine.h"
#include "system/Updater.h"
#include "ui/MainWindowView.h"
#include "ui/QmlSetup.h"
#include "ui/RecordingHUD.h"
#include "ui/TextCatalogue.h"
#include "ui/WindowPlatform.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <utility>

using namespace parlune;

namespace {

// The self-check and the window snapshot live in their own part of the program; a build without them
// says so and ends.
void modeUnavailable(const char* mode)
{
    logLine("%s is not available in this build", mode);
    QCoreApplication::exit(2);
}

// Launches and commands that came while the program started wait in the socket until the recogniser of
// the language is ready (or a few seconds have passed, should it be downloading): the press of a
// shortcut that started Parlune then records.
QCoro::Task<> listenOnceReady(QPointer<SingleInstance> instance, int listeningSocket,
                              AppCoordinator& coordinator)
{
    const auto listen = [instance, listeningSocket, done = std::make_shared<bool>(false)] {
        if (instance && !std::exchange(*done, true))
            instance->listen(listeningSocket);
    };
    QTimer::singleShot(std::chrono::seconds(5), instance, listen);
    co_await coordinator.engine().prepare(coordinator.language());
    listen();
}

QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

// The program, once the launcher (main.cpp) has found that it is not a command for the running one.
extern "C" __attribute__((visibility("default"))) int parlune_run_program(int argc, char** argv)
{
    // One interactive Parlune per user: a second launch brings the first one's window forward. The
    // socket is taken before the interface loads, so that the commands of a shortcut held during the
    // start wait for this instance instead of starting another.
    int listeningSocket = InstanceClient::inheritedSocket();
    if (listeningSocket < 0 &&
        AppDelegate::modeFor(argumentList(argc, argv)) == AppDelegate::Mode::Interactive) {
        const InstanceClient::Launch launch = InstanceClient().claim();
        if (!launch.error.empty())
            std::fprintf(stderr, "%s\n", launch.error.c_str());
        if (launch.handedOver)
            return launch.error.empty() ? 0 : 1;
        listeningSocket = launch.listeningSocket;
    }

    // Decided before the application object exists: a snapshot renders offscreen, with no display.
    const std::optional<QString> snapshotPath = WindowSnapshot::prepare(argc, argv);
    // In a Wayland session the windows go through Xwayland, so that the panel keeps its place.
    WindowPlatform::chooseBeforeApplication();
    QApplication application(argc, argv);
    WindowPlatform::restoreEnvironment();
    QApplication::setApplicationName(QStringLiteral("Parlune"));
    QApplication::setApplicationDisplayName(QStringLiteral("Parlune"));
    // The desktop matches the program's windows to its launcher entry by this name.
    QGuiApplication::setDesktopFileName(desktopId());
    // The program lives in the tray: closing its window does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    // Before any text: the few that name another system's things read as on this desktop.
    TextCatalogue::install();

    const QStringList arguments = QCoreApplication::arguments();
    const AppDelegate::Mode mode = AppDelegate::modeFor(arguments);
    // The self-check drives a dictation of its own on the desktop's services, and ends the program.
    if (mode == AppDelegate::Mode::DictationCheck)
        return DictationCheck::runAndExit();
    if (mode == AppDelegate::Mode::Snapshot && snapshotPath) {
        // The window's content from the stored settings and history, without the desktop's services.
        const std::unique_ptr<AppCoordinator> coordinator = WindowSnapshot::storedState();
        WindowSnapshot::run(*snapshotPath, *coordinator, ViewServices{});
        return QApplication::exec();
    }

    SingleInstance instance;

    chooseQuickRenderer();
    AppCoordinator::sharedHudFactory() = [](AppCoordinator& coordinator) {
        return std::make_unique<RecordingHUD>(coordinator);
    };
    AppCoordinator& coordinator = AppCoordinator::shared();
    // The window's and the walkthrough's buttons open the desktop's settings; the window and the menu
    // copy through the clipboard the dictations are delivered with.
    ViewServices& viewServices = ViewFactory::programServices();
    viewServices = DesktopServices::program().viewServices();

    Updater updater([] {
        return std::make_unique<AppcastUpdateController>(AppcastUpdateController::defaultFeedUrl(),
                                                         AppcastUpdateController::currentVersion());
    });
    AppWindowController windows(coordinator);
    ParluneApp parlune(coordinator, windows, updater, *viewServices.pasteboard);

    LaunchServices services;
    services.runDictationCheck = [] { modeUnavailable("The dictation self-check"); };
    services.runSnapshot = [](const QString&) { modeUnavailable("The window snapshot"); };
    services.startUpdater = [&parlune] { parlune.startUpdater(); };
    services.inputAccessTrusted = [] { return InputAccess::system().isTrusted(); };
    services.microphoneStatus = [] { return MicrophoneAccess::status(); };
    services.onboardingDone = [&coordinator] { return coordinator.onboardingDone(); };
    services.showMainWindow = [&windows] { windows.show(); };
    AppDelegate delegate(std::move(services));
    QObject::connect(&instance, &SingleInstance::reopenRequested, &instance,
                     [&delegate] { delegate.applicationShouldHandleReopen(); });
    QObject::connect(&instance, &SingleInstance::commandReceived, &coordinator, &AppCoordinator::runCommand);
    if (listeningSocket >= 0)
        listenOnceReady(&instance, listeningSocket, coordinator);
    delegate.applicationDidFinishLaunching(arguments);

    return QApplication::exec();
}
