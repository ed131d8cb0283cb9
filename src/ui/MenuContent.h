// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <functional>

class QMenu;

namespace parlune {

class AppCoordinator;
class Pasteboard;

// What the tray menu's fixed commands do, supplied by the program (or by a test).
struct MenuCommands
{
    std::function<void()> showMainWindow;
    std::function<void()> checkForUpdates;
    std::function<void()> quit;
    Pasteboard* pasteboard = nullptr;
};

// The tray icon's menu: the status line, the hands-free dictation, the language, a copy of the last
// text and the program's commands. It holds no state of its own: it is rebuilt from the coordinator
// each time the state it shows changes.
class MenuContent : public QObject
{
    Q_OBJECT

public:
    MenuContent(AppCoordinator& coordinator, MenuCommands commands, QObject* parent = nullptr);
    ~MenuContent() override;

    QMenu* menu() const { return m_menu; }

    // Builds the menu again from the coordinator's current state. Changes of the coordinator do it by
    // themselves, from the event loop.
    void rebuild();

private:
    void scheduleRebuild();

    AppCoordinator& m_coordinator;
    MenuCommands m_commands;
    QMenu* m_menu;
    bool m_rebuildPending = false;
};

} // namespace parlune
