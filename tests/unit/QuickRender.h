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
// renderer. The pictures are kept in $PARLUNE_RENDER_DIR (default: "renders" beside the test) so that a
// person can look at them.
class QuickRender
{
public:
    // Call before the application object exists.
    static void useSoftwareRenderer() { QQuickWindow::setGraphicsApi(QSGRendererInterface::Software); }

    QuickRender() { prepareQmlEngine(m_engine); }

    QQmlEngine& engine() { return m_engine; }

    // A new item from QML source importing QtQuick and Parlune.Ui; null (with a test failure message)
    // when the source does not build.
    QQuickItem* create(const QByteArray& body, const QVariantMap& properties = {})
    {
        QQmlComponent component(&m_engine);
        component.setData("import QtQuick\nimport QtQuick.Controls\nimport Parlune.Ui\nimport Parlune.App\n" +
                              body,
                          QUrl(QStringLiteral("qrc:/parlune-test/view.qml")));
        if (!component.isReady()) {
            qWarning("%s", qPrintable(component.errorString()));
            return nullptr;
        }
        std::unique_ptr<QObject> object(component.createWithInitialProperties(properties));
        auto* item = qobject_cast<QQuickItem*>(object.get());
        if (!item) {
            qWarning("%s", qPrintable(component.errorString()));
            return nullptr;
        }
        object.release();
        return item;
    }

    // Puts `item` alone in a window of the item's implicit size (or of `size`), shows it and
    // renders it. The window takes ownership of the item.
    QImage render(QQuickItem* item, const QString& name, QSize size = {}, QColor background = Qt::transparent)
    {
        m_window = std::make_unique<QQuickWindow>();
        m_window->setColor(background);
        if (size.isEmpty())
            size = QSizeF(item->implicitWidth(), item->implicitHeight()).toSize();
        m_window->resize(size);
        item->setParentItem(m_window->contentItem());
        // The item keeps its own size (its implicit one unless the QML set another).
        if (item->size().isEmpty())
            item->setSize(size);
        m_window->show();
        if (!QTest::qWaitForWindowExposed(m_window.get()))
            return {};
        QImage image = m_window->grabWindow();
        save(image, name);
        return image;
    }

    // Renders the window again, after the test changed what it shows.
    QImage rerender(const QString& name)
    {
        QImage image = m_window->grabWindow();
        save(image, name);
        return image;
    }

    QQuickWindow* window() { return m_window.get(); }

    static QSize logicalSize(const QImage& image)
    {
        return (QSizeF(image.size()) / image.devicePixelRatio()).toSize();
    }

private:
public:
    static void save(const QImage& image, const QString& name)
    {
        QString folder = qEnvironmentVariable("PARLUNE_RENDER_DIR");
        if (folder.isEmpty())
            folder = QDir::currentPath() + QStringLiteral("/renders");
        QDir().mkpath(folder);
        image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

private:
    QQmlEngine m_engine;
    std::unique_ptr<QQuickWindow> m_window;
};

} // namespace parlune
