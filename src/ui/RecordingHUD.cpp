// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/RecordingHUD.h"

#include "app/AppCoordinator.h"
#include "platform/FreedMemory.h"
#include "platform/Log.h"
#include "ui/QmlSetup.h"
#include "ui/X11WindowHints.h"

#include <QCursor>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>

namespace parlune {

RecordingHUD::RecordingHUD(AppCoordinator& coordinator)
    : m_coordinator(coordinator)
{}

RecordingHUD::~RecordingHUD()
{
    // The view goes before the engine that made it.
    m_panel.reset();
}

void RecordingHUD::build()
{
    m_engine = std::make_unique<QQmlEngine>();
    prepareQmlEngine(*m_engine);

    m_panel = std::make_unique<QQuickWindow>();
    // A tool window that never takes the keyboard focus: the application being dictated into keeps it,
    // even when the stop button is clicked.
    // WORKAROUND: KWin hides the utility windows of an application that is not active (its "hide utility
    // windows for inactive applications", on by default), which Parlune never is while the user
    // dictates into another program, and sets a new window on the current desktop whatever it asked
    // for. The window manager is therefore bypassed: the panel is placed exactly where it is put, above
    // the managed windows, on every desktop, and the window manager never gives it the focus. This also
    // holds on Wayland, where it goes through Xwayland.
    m_panel->setFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                      Qt::WindowDoesNotAcceptFocus | Qt::NoDropShadowWindowHint |
                      Qt::X11BypassWindowManagerHint);
    m_panel->setColor(Qt::transparent);
    m_panel->resize(panelWidth, panelHeight);

    QQmlComponent component(m_engine.get(), QUrl(QStringLiteral("qrc:/qt/qml/Parlune/Ui/HUDView.qml")));
    // Qt 6.4 crashes creating a component that failed to load.
    QObject* view = component.isReady()
                        ? component.createWithInitialProperties(
                              {{QStringLiteral("coordinator"), QVariant::fromValue(&m_coordinator)}})
                        : nullptr;
    if (auto* item = qobject_cast<QQuickItem*>(view)) {
        item->setParentItem(m_panel->contentItem());
        item->setParent(m_panel.get());
    } else {
        logLine("Recording panel could not be built: %s", qPrintable(component.errorString()));
        delete view;
    }
    X11WindowHints::showOnAllDesktops(*m_panel);
}

void RecordingHUD::show()
{
    if (!m_panel)
        build();
    // A panel already on screen stays where it is, even if the pointer moved to another screen.
    if (!m_panel->isVisible())
        position();
    m_panel->show();
    m_panel->raise();
}

void RecordingHUD::hide()
{
    if (!m_panel || !m_panel->isVisible())
        return;
    m_panel->hide();
    // The dictation is over: what it used (its audio, the decoder's working memory, the panel's
    // frames) has been freed and can go back to the system.
    returnFreedMemory();
}

void RecordingHUD::position()
{
    QList<ScreenArea> areas;
    const QList<QScreen*> screens = QGuiApplication::screens();
    for (QScreen* screen : screens)
        areas.append({screen->geometry(), screen->availableGeometry()});
    std::optional<int> primary;
    if (QScreen* screen = QGuiApplication::primaryScreen())
        primary = int(screens.indexOf(screen));
    const std::optional<QPoint> origin = placement(areas, primary, QCursor::pos(), m_panel->size());
    if (!origin)
        return;
    // The screen first, so that Qt does not move the window back to the one it knew.
    for (QScreen* screen : screens) {
        if (screen->geometry().contains(QCursor::pos())) {
            m_panel->setScreen(screen);
            break;
        }
    }
    m_panel->setPosition(*origin);
}

std::optional<QPoint> RecordingHUD::placement(const QList<ScreenArea>& screens, std::optional<int> primary,
                                              QPoint pointer, QSize size)
{
    const ScreenArea* chosen = nullptr;
    for (const ScreenArea& screen : screens) {
        if (screen.geometry.contains(pointer)) {
            chosen = &screen;
            break;
        }
    }
    if (!chosen && primary && *primary >= 0 && *primary < screens.size())
        chosen = &screens[*primary];
    if (!chosen)
        return std::nullopt;
    const QRectF area = chosen->availableGeometry;
    // Screen y grows downwards: the panel's bottom edge sits `bottomMargin` above the area's bottom.
    return QPointF(area.center().x() - size.width() / 2.0,
                   area.y() + area.height() - bottomMargin - size.height())
        .toPoint();
}

} // namespace parlune
