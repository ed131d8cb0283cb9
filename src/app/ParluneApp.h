// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "system/Updater.h"

#include <QObject>

#include <memory>

class QSystemTrayIcon;

namespace parlune {

class AppCoordinator;
class AppWindowController;
class MenuContent;
class Pasteboard;

// The program in the tray: the icon (its recording shape while a dictation records), its menu, the
// main window and the update notifications.
class ParluneApp : public QObject
{
    Q_OBJECT

public:
    ParluneApp(AppCoordinator& coordinator, AppWindowController& windows, Updater& updater,
               Pasteboard& pasteboard, QObject* parent = nullptr);
    ~ParluneApp() override;

    // Creates the update controller if needed, and tells the user what its checks find.
    void startUpdater();

    QSystemTrayIcon* trayIcon() const { return m_tray.get(); }
    MenuContent* menu() const { return m_menu.get(); }

private:
    void updateIcon();
    void connectUpdater();

    AppCoordinator& m_coordinator;
    AppWindowController& m_windows;
    Updater& m_updater;
    std::unique_ptr<MenuContent> m_menu;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    bool m_updaterConnected = false;
};

} // namespace parlune
