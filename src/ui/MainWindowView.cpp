// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MainWindowView.h"

#include "input/KeyComboRecorder.h"
#include "platform/Log.h"
#include "ui/MainWindowModel.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>

namespace parlune {

ViewServices& ViewFactory::programServices()
{
    static ViewServices services;
    return services;
}

MainWindowModel* ViewFactory::mainWindowModel(QObject* coordinator, QObject* owner) const
{
    auto* appCoordinator = qobject_cast<AppCoordinator*>(coordinator);
    return appCoordinator ? new MainWindowModel(*appCoordinator, programServices(), owner) : nullptr;
}

void registerViewTypes()
{
    static const bool registered = [] {
        const char* uri = "Parlune.Views";
        qmlRegisterUncreatableType<MainWindowModel>(uri, 1, 0, "MainWindowModel",
                                                    QStringLiteral("Built by the window"));
        qmlRegisterUncreatableType<OnboardingModel>(uri, 1, 0, "OnboardingModel",
                                                    QStringLiteral("Built by MainWindowModel"));
        qmlRegisterUncreatableType<RecognitionModel>(uri, 1, 0, "RecognitionModel",
                                                     QStringLiteral("Built by MainWindowModel"));
        qmlRegisterType<KeyComboRecorder>(uri, 1, 0, "KeyComboRecorder");
        qmlRegisterSingletonType<ViewFactory>(
            uri, 1, 0, "ViewFactory", [](QQmlEngine*, QJSEngine*) -> QObject* { return new ViewFactory; });
        return true;
    }();
    Q_UNUSED(registered);
}

std::unique_ptr<QQuickItem> createMainWindowView(QQmlEngine& engine, MainWindowModel& model)
{
    registerViewTypes();
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Parlune/Ui/MainWindowView.qml")));
    // Qt 6.4 crashes creating a component that failed to load: its errors are told first.
    std::unique_ptr<QObject> object;
    if (component.isReady())
        object.reset(component.createWithInitialProperties(
            {{QStringLiteral("coordinator"), QVariant::fromValue(model.coordinator())},
             {QStringLiteral("model"), QVariant::fromValue(&model)}}));
    if (!object) {
        for (const QQmlError& error : component.errors())
            logLine("MainWindowView: %s", qPrintable(error.toString()));
        return nullptr;
    }
    auto* item = qobject_cast<QQuickItem*>(object.get());
    if (!item)
        return nullptr;
    object.release();
    return std::unique_ptr<QQuickItem>(item);
}

} // namespace parlune
