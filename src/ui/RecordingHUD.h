// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/HudPresenter.h"

#include <QList>
#include <QPoint>
#include <QRect>

#include <memory>
#include <optional>

class QQmlEngine;
class QQuickWindow;
class QScreen;

namespace parlune {

class AppCoordinator;

// The floating panel that shows the dictation's state over whatever the user works in. It never takes
// the keyboard focus, stays above other windows on every desktop, and is built once and reused.
class RecordingHUD final : public HudPresenter
{
public:
    static constexpr int panelWidth = 420;
    static constexpr int panelHeight = 60;
    // Gap between the panel's bottom edge and the bottom of the screen's available area.
    static constexpr int bottomMargin = 12;

    // What placing the panel needs to know of one screen.
    struct ScreenArea
    {
        QRect geometry;
        QRect availableGeometry;
    };

    explicit RecordingHUD(AppCoordinator& coordinator);
    ~RecordingHUD() override;

    void show() override;
    void hide() override;

    // Top-left corner of a panel `size` for a pointer at `pointer`: centred on the available area of the
    // first screen that contains the pointer (else of the primary screen), `bottomMargin` above its bottom.
    // None without any screen: the panel stays where it was.
    static std::optional<QPoint> placement(const QList<ScreenArea>& screens, std::optional<int> primary,
                                           QPoint pointer, QSize size);

    // The panel window, once the first show() built it.
    QQuickWindow* panel() const { return m_panel.get(); }

private:
    void build();
    void position();

    AppCoordinator& m_coordinator;
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_panel;
};

} // namespace parlune
