// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FocusedElement.h"
#include "platform/Workspace.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace parlune {

// The program's questions to the system about what it may do, and the ways it sends the user to the
// right page of the desktop's settings.
class Permissions
{
public:
    // Accessibility roles that take text without further question.
    static const QStringList textRoles;

    // Whether a program is installed, by the name it is started with.
    using InstalledCheck = std::function<bool(const QString& program)>;

    // `desktop` is the desktop's name list as in XDG_CURRENT_DESKTOP ("GNOME", "ubuntu:GNOME", "KDE").
    // When that is empty, `session` (DESKTOP_SESSION: "plasma", "xfce", "gnome-xorg") names it.
    Permissions(FocusedElement& focusedElement, Workspace& workspace, QString desktop, QString session = {},
                InstalledCheck isInstalled = programIsInstalled);

    static bool programIsInstalled(const QString& program);

    // Whether the focused widget of the application in front takes text: true for a text-entry role
    // or an editable widget, false for any other focused widget, none when nothing can be read.
    std::optional<bool> focusedElementAcceptsText();

    // The X server never shows the fn key to programs: it cannot be the shortcut, so it is never free.
    static constexpr bool fnKeyIsFree = false;

    // Linux grants every desktop program the microphone; sandboxes decide on their own.
    static QCoro::Task<bool> requestMicrophone();
    // Whether the desktop's accessibility settings can be opened: the desktop is one we know and its
    // settings program is installed. When not, no button offers to open them.
    bool canRequestAccessibility() const { return accessibilitySettings().has_value(); }
    // Opens the desktop's accessibility settings, when they can be.
    void requestAccessibility();
    // Whether the desktop's page of global shortcuts can be opened: where a desktop binds the shortcut
    // itself (Wayland), the user changes it there.
    bool canOpenShortcutSettings() const { return shortcutSettings().has_value(); }
    void openShortcutSettings();

private:
    // The settings program and its arguments, or none.
    std::optional<QStringList> accessibilitySettings() const;
    std::optional<QStringList> shortcutSettings() const;

    FocusedElement& m_focusedElement;
    Workspace& m_workspace;
    QStringList m_desktops;
    InstalledCheck m_isInstalled;
};

} // namespace parlune
