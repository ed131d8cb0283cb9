// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

#include <memory>

class QQmlEngine;
class QQuickWindow;

namespace parlune {

class AppCoordinator;

// The main window: status, history and settings, or the walkthrough while it is not done. Built by the
// first show() and kept for the whole run; closing it only hides it, the program stays in the tray.
class AppWindowController
{
public:
    // The window's content, given the coordinator as its `coordinator` property.
    static inline const QUrl mainViewUrl{QStringLiteral("qrc:/qt/qml/Parlune/Ui/MainWindowView.qml")};

    explicit AppWindowController(AppCoordinator& coordinator, QUrl viewUrl = mainViewUrl);
    ~AppWindowController();

    // Builds the window on first use, then brings it to the front and gives it the focus.
    void show();

    // None before the first show().
    QQuickWindow* window() const { return m_window.get(); }

private:
    void build();

    AppCoordinator& m_coordinator;
    QUrl m_viewUrl;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
};

} // namespace parlune
