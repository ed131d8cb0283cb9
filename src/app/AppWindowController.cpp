// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppWindowController.h"

#include "app/AppCoordinator.h"
#include "platform/FreedMemory.h"
#include "platform/Log.h"
#include "ui/QmlSetup.h"
#include "ui/X11WindowHints.h"

#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

namespace parlune {

namespace {

// Shown only when the main view cannot be loaded, so that the window still says what it is.
const QByteArray fallbackView = R"(
import QtQuick
import Parlune.Ui
WindowMaterial {
    required property QtObject coordinator
    implicitWidth: 420
    implicitHeight: 120
    Text {
        anchors.centerIn: parent
        text: "Parlune"
        color: Theme.primary
        font.pixelSize: 20
        font.weight: Font.DemiBold
    }
}
)";

} // namespace

AppWindowController::AppWindowController(AppCoordinator& coordinator, QUrl viewUrl)
    : m_coordinator(coordinator)
    , m_viewUrl(std::move(viewUrl))
{}

AppWindowController::~AppWindowController()
{
    // The view goes before the engine that made it.
    m_window.reset();
}

void AppWindowController::build()
{
    m_engine = std::make_unique<QQmlEngine>();
    prepareQmlEngine(*m_engine);

    m_window = std::make_unique<QQuickWindow>();
    m_window->setTitle(QStringLiteral("Parlune"));
    m_window->setFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    // The view draws its own translucent background.
    m_window->setColor(Qt::transparent);

    const QVariantMap properties{{QStringLiteral("coordinator"), QVariant::fromValue(&m_coordinator)}};
    QQmlComponent component(m_engine.get(), m_viewUrl);
    QObject* view = component.isReady() ? component.createWithInitialProperties(properties) : nullptr;
    if (!view) {
        logLine("Main window view unavailable: %s", qPrintable(component.errorString()));
        QQmlComponent fallback(m_engine.get());
        fallback.setData(fallbackView, QUrl(QStringLiteral("qrc:/parlune/FallbackView.qml")));
        view = fallback.createWithInitialProperties(properties);
    }
    auto* item = qobject_cast<QQuickItem*>(view);
    if (!item) {
        delete view;
        return;
    }
    item->setParent(m_window.get());
    item->setParentItem(m_window->contentItem());

    // Sized by its content and not resizable: the window follows the view's preferred size.
    const auto fit = [window = m_window.get(), item] {
        const QSize size =
            QSizeF(item->implicitWidth(), item->implicitHeight()).toSize().expandedTo(QSize(1, 1));
        item->setSize(size);
        window->setMinimumSize(size);
        window->setMaximumSize(size);
        window->resize(size);
    };
    QObject::connect(item, &QQuickItem::implicitWidthChanged, m_window.get(), fit);
    QObject::connect(item, &QQuickItem::implicitHeightChanged, m_window.get(), fit);
    fit();

    if (QScreen* screen = QGuiApplication::primaryScreen())
        m_window->setPosition(screen->availableGeometry().center() -
                              QPoint(m_window->width(), m_window->height()) / 2);
    X11WindowHints::blurBehind(*m_window);

    // Closed by the user (or hidden by anyone): freed.
    QObject::connect(m_window.get(), &QWindow::visibleChanged, m_window.get(),
                     [this, window = m_window.get()](bool visible) {
                         if (!visible && m_window.get() == window)
                             release();
                     });
}

void AppWindowController::release()
{
    // From the event loop: the window is in the middle of telling that it was hidden.
    QQuickWindow* window = m_window.release();
    QQmlEngine* engine = m_engine.release();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [window, engine] {
            delete window;
            delete engine;
            returnFreedMemory();
        },
        Qt::QueuedConnection);
}

void AppWindowController::show()
{
    if (!m_window)
        build();
    if (!m_window)
        return;
    m_window->show();
    m_window->raise();
    m_window->requestActivate();
}

} // namespace parlune
