// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppCoordinator.h"
#include "diagnostics/WindowSnapshot.h"

#include <QGuiApplication>

int main(int argc, char** argv)
{
    // Decided before the application object exists: a snapshot renders offscreen, with no display.
    const std::optional<QString> snapshotPath = parlune::WindowSnapshot::prepare(argc, argv);
    QGuiApplication application(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Parlune"));
    if (snapshotPath) {
        const std::unique_ptr<parlune::AppCoordinator> coordinator = parlune::WindowSnapshot::storedState();
        parlune::WindowSnapshot::run(*snapshotPath, *coordinator, parlune::ViewServices{});
        return application.exec();
    }
    return 0;
}
