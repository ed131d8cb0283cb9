// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/QmlSetup.h"

#include <QDir>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <algorithm>
#include <memory>

namespace parlune {

// Renders views in an offscreen window with the software renderer. One engine serves a whole test; the
// current window holds every item made for it until the next render() or clear(), and goes before the
// engine does. The pictures are kept in "renders" beside the test for a person to look at.
class QuickRender
{
public:
    // Call before the application object exists.
    static void useSoftwareRenderer() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }

    QuickRender() { prepareQmlEngine(m_engine); }

    QQmlEngine& engine() { return m_engine; }
    QQuickWindow* window() { return m_window.get(); }
    void clear() { m_window = std::make_unique<QQuickWindow>(); }

    // A new item from QML importing QtQuick and Parlune.Ui; null (with a warning) when it does not build.
    QQuickItem* create(const QByteArray& body, const QVariantMap& properties)
    {
        QQmlComponent component(&m_engine);
        component.setData("import QtQuick\nimport Parlune.Ui\n" + body,
                          QUrl(QStringLiteral("qrc:/test.qml")));
        std::unique_ptr<QObject> object(component.createWithInitialProperties(properties));
        auto* item = qobject_cast<QQuickItem*>(object.get());
        if (!item) {
            qWarning("%s", qPrintable(component.errorString()));
            return nullptr;
        }
        object.release()->setParent(m_window->contentItem());
        return item;
    }

    // Puts `item` alone in a new window of the item's implicit size, shows it and renders it.
    QImage render(QQuickItem* item, const QString& name, QColor background)
    {
        auto window = std::make_unique<QQuickWindow>();
        window->setColor(background);
        window->resize(QSizeF(item->implicitWidth(), item->implicitHeight()).toSize());
        item->setParent(window->contentItem());
        item->setParentItem(window->contentItem());
        // The item keeps its own size (its implicit one unless the QML set another).
        if (item->size().isEmpty())
            item->setSize(window->size());
        m_window = std::move(window); // the previous window goes, with the items it held
        m_window->show();
        return QTest::qWaitForWindowExposed(m_window.get()) ? rerender(name) : QImage();
    }

    // Renders the window again, after the test changed what it shows.
    QImage rerender(const QString& name)
    {
        QImage image = m_window->grabWindow();
        image.setDevicePixelRatio(m_window->effectiveDevicePixelRatio());
        QDir().mkpath(QStringLiteral("renders"));
        image.save(QStringLiteral("renders/") + name + QStringLiteral(".png"));
        return image;
    }

private:
    QQmlEngine m_engine;
    // Declared after the engine, so it goes first.
    std::unique_ptr<QQuickWindow> m_window = std::make_unique<QQuickWindow>();
};

// The items named `name` under `root`, through the visual tree (repeated rows have no QObject parent to
// search), and the first of them that is visible.
inline QList<QQuickItem*> items(QQuickItem* root, const char* name)
{
    QList<QQuickItem*> found;
    for (QQuickItem* item : root->childItems())
        found << (item->objectName() == QLatin1String(name) ? QList{item} : QList<QQuickItem*>())
              << items(item, name);
    return found;
}
inline QQuickItem* shown(QQuickItem* root, const char* name)
{
    const QList<QQuickItem*> found = items(root, name);
    const auto visible =
        std::find_if(found.begin(), found.end(), [](QQuickItem* item) { return item->isVisible(); });
    return visible == found.end() ? nullptr : *visible;
}

} // namespace parlune
