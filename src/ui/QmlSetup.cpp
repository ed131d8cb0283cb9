// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/QmlSetup.h"

#include "app/RecordingStatus.h"
#include "ui/MainWindowView.h"

#include <QQmlEngine>
#include <QQuickWindow>
#include <QtQml>

namespace parlune {

void prepareQmlEngine(QQmlEngine& engine)
{
    // The views are compiled into the program's resources under this folder.
    engine.addImportPath(QStringLiteral("qrc:/qt/qml"));
    static const bool registered = [] {
        qmlRegisterUncreatableMetaObject(RecordingStatus::staticMetaObject, "Parlune.App", 1, 0,
                                         "RecordingStatus",
                                         QStringLiteral("A status comes from the coordinator"));
        return true;
    }();
    Q_UNUSED(registered);
    registerViewTypes();
}

void chooseQuickRenderer()
{
    if (qEnvironmentVariableIsEmpty("QT_QUICK_BACKEND"))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}

} // namespace parlune
