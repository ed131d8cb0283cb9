// SPDX-License-Identifier: GPL-3.0-or-later
// The program's one coordinator, on the desktop's real services.
#include "app/AppCoordinator.h"
#include "app/AppDelegate.h"
#include "app/DesktopServices.h"

#include <QCoreApplication>

namespace parlune {

namespace {

bool isQuiet()
{
    // The self-check drives a dictation of its own; a test runner must not touch the user's files.
    return QCoreApplication::arguments().contains(AppDelegate::dictationCheckArgument) ||
           AppDelegate::runsUnderTestRunner();
}

} // namespace

AppCoordinator& AppCoordinator::shared()
{
    // It lives for the whole run, like the services it is built on: the program ends without tearing
    // them down.
    static AppCoordinator* coordinator = [] {
        AppCoordinatorServices services = DesktopServices::program().services();
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
