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

#include <memory>

namespace parlune {

// Builds views from a few lines of QML and renders them in an offscreen window with the software
// renderer. One engine serves a whole test; every item made here belongs to the current window, which
// the next render() replaces, and everything goes before the engine does. The pictures are kept in
// "renders" beside the test so that a person can look at them.
class QuickRender
{
public:
    // Call before the application object exists.
    static void useSoftwareRenderer() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }

    QuickRender() { prepareQmlEngine(m_engine); }

    QQmlEngine& engine() { return m_engine; }
    QQuickWindow* window() { return m_window.get(); }
    // Puts away the window and every item made for it.
    void clear() { m_window = std::make_unique<QQuickWindow>(); }

    // A new item from QML source importing QtQuick and Parlune.Ui; null (with a warning) when the
    // source does not build.
    QQuickItem* create(const QByteArray& body, const QVariantMap& properties = {})
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

    // Puts `item` alone in a new window of the item's implicit size (or of `size`), shows it and renders
    // it. The new window takes the item; the previous one goes, with the other items it held.
    QImage render(QQuickItem* item, const QString& name, QSize size = {}, QColor background = Qt::transparent)
    {
        auto window = std::make_unique<QQuickWindow>();
        window->setColor(background);
        if (size.isEmpty())
            size = QSizeF(item->implicitWidth(), item->implicitHeight()).toSize();
        window->resize(size);
        item->setParent(window->contentItem());
        item->setParentItem(window->contentItem());
        // The item keeps its own size (its implicit one unless the QML set another).
        if (item->size().isEmpty())
            item->setSize(size);
        m_window = std::move(window);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return {};
        return rerender(name);
    }

    // Renders the window again, after the test changed what it shows.
    QImage rerender(const QString& name)
    {
        QImage image = m_window->grabWindow();
        image.setDevicePixelRatio(m_window->effectiveDevicePixelRatio());
        save(image, name);
        return image;
    }

    static void save(const QImage& image, const QString& name)
    {
        QDir().mkpath(QStringLiteral("renders"));
        image.save(QStringLiteral("renders/") + name + QStringLiteral(".png"));
    }

private:
    QQmlEngine m_engine;
    // Declared after the engine, so it goes first.
    std::unique_ptr<QQuickWindow> m_window = std::make_unique<QQuickWindow>();
};

} // namespace parlune
