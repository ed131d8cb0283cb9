// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FocusedElement.h"
#include "platform/Workspace.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <optional>

namespace parlune {

// The program's questions to the system about what it may do, and the ways it sends the user to the
// right page of the desktop's settings.
class Permissions
{
public:
    // Accessibility roles that take text without further question.
    static const QStringList textRoles;

    // `desktop` is the desktop's name list as in XDG_CURRENT_DESKTOP ("GNOME", "ubuntu:GNOME", "KDE").
    Permissions(FocusedElement& focusedElement, Workspace& workspace, QString desktop);

    // Whether the focused widget of the application in front takes text: true for a text-entry role
    // or an editable widget, false for any other focused widget, none when nothing can be read.
    std::optional<bool> focusedElementAcceptsText();

    // The X server never shows the fn key to programs: it cannot be the shortcut, so it is never free.
    static constexpr bool fnKeyIsFree = false;

    // Linux grants every desktop program the microphone; sandboxes decide on their own.
    static QCoro::Task<bool> requestMicrophone();
    // Opens the desktop's accessibility settings, when the desktop is one we know.
    void requestAccessibility();
    // Opens the desktop's keyboard settings, when the desktop is one we know.
    void openKeyboardSettings();
    // Opens the desktop's page of global shortcuts, where a desktop that binds the shortcut itself
    // (Wayland) lets the user change it; the keyboard settings where we know no such page.
    void openShortcutSettings();

private:
    enum class Page { accessibility, keyboard };
    void open(Page page);

    FocusedElement& m_focusedElement;
    Workspace& m_workspace;
    QStringList m_desktops;
};

} // namespace parlune
