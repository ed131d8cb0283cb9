// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

class QQmlEngine;
class QQuickItem;

namespace parlune {

class MainWindowModel;

// The main window's content (MainWindowView.qml) on its model: the walkthrough until it has been
// completed, then the hero, the permissions, the settings and the recent transcripts. The engine must
// have been prepared with prepareQmlEngine(). Null when the view cannot be built.
std::unique_ptr<QQuickItem> createMainWindowView(QQmlEngine& engine, MainWindowModel& model);

// Makes the window's own types known to QML ("import Parlune.Views"): the models and the shortcut
// recorder. Done by createMainWindowView(); needed before loading any of these views another way.
void registerViewTypes();

} // namespace parlune
