// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/ViewServices.h"

#include <QObject>

#include <memory>

class QQmlEngine;
class QQuickItem;

namespace parlune {

class AppCoordinator;
class MainWindowModel;

// What the window's QML uses to build its model when the window is given only the coordinator
// ("ViewFactory" in "import Parlune.Views").
class ViewFactory : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The services the views of this run use; the system's defaults until the program sets them.
    static ViewServices& programServices();

    // A model for `coordinator`, owned by `owner` (the view).
    Q_INVOKABLE parlune::MainWindowModel* mainWindowModel(QObject* coordinator, QObject* owner) const;
};

// The main window's content (MainWindowView.qml) on its model: the walkthrough until it has been
// completed, then the hero, the permissions, the settings and the recent transcripts. The engine must
// have been prepared with prepareQmlEngine(). Null when the view cannot be built.
std::unique_ptr<QQuickItem> createMainWindowView(QQmlEngine& engine, MainWindowModel& model);

// Makes the window's own types known to QML ("import Parlune.Views"): the models and the shortcut
// recorder. Done by createMainWindowView(); needed before loading any of these views another way.
void registerViewTypes();

} // namespace parlune
