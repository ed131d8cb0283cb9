// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

#include <memory>

class QQmlEngine;
class QQuickWindow;

namespace parlune {

class AppCoordinator;

// The main window: status, history and settings, or the walkthrough while it is not done. Built when it
// is shown and freed, with its view and the engine that made it, when the user closes it: the program
// stays in the tray, where a window kept hidden would only hold memory. The next show() builds it anew.
class AppWindowController
{
public:
    // The window's content, given the coordinator as its `coordinator` property.
    static inline const QUrl mainViewUrl{QStringLiteral("qrc:/qt/qml/Parlune/Ui/MainWindowView.qml")};

    explicit AppWindowController(AppCoordinator& coordinator, QUrl viewUrl = mainViewUrl);
    ~AppWindowController();

    // Builds the window if it is not open, then brings it to the front and gives it the focus.
    void show();

    // The open window; none before show() and once it has been closed.
    QQuickWindow* window() const { return m_window.get(); }

private:
    void build();
    void release();

    AppCoordinator& m_coordinator;
    QUrl m_viewUrl;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
};

} // namespace parlune
