// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MainWindowView.h"

#include "input/KeyComboRecorder.h"
#include "platform/Log.h"
#include "ui/MainWindowModel.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>

namespace parlune {

void registerViewTypes()
{
    static const bool registered = [] {
        const char* uri = "Parlune.Views";
        qmlRegisterUncreatableType<MainWindowModel>(uri, 1, 0, "MainWindowModel",
                                                    QStringLiteral("Built by the window"));
        qmlRegisterUncreatableType<OnboardingModel>(uri, 1, 0, "OnboardingModel",
                                                    QStringLiteral("Built by MainWindowModel"));
        qmlRegisterType<KeyComboRecorder>(uri, 1, 0, "KeyComboRecorder");
        return true;
    }();
    Q_UNUSED(registered);
}

std::unique_ptr<QQuickItem> createMainWindowView(QQmlEngine& engine, MainWindowModel& model)
{
    registerViewTypes();
    QQmlComponent component(&engine, QUrl(QStringLiteral("qrc:/qt/qml/Parlune/Ui/MainWindowView.qml")));
    std::unique_ptr<QObject> object(
        component.createWithInitialProperties({{QStringLiteral("model"), QVariant::fromValue(&model)}}));
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
