// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/Permissions.h"

#include <utility>

namespace parlune {

const QStringList Permissions::textRoles{
    QStringLiteral("text"),           QStringLiteral("entry"),        QStringLiteral("password text"),
    QStringLiteral("terminal"),       QStringLiteral("document web"), QStringLiteral("document text"),
    QStringLiteral("document frame"), QStringLiteral("editbar"),
};

Permissions::Permissions(FocusedElement& focusedElement, Workspace& workspace, QString desktop)
    : m_focusedElement(focusedElement)
    , m_workspace(workspace)
    , m_desktops(desktop.toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts))
{}

std::optional<bool> Permissions::focusedElementAcceptsText()
{
    const auto facts = m_focusedElement.focused();
    if (!facts)
        return std::nullopt;
    // An editable combo box has no role of its own: its EDITABLE state says it takes text.
    return textRoles.contains(facts->role) || facts->editable;
}

QCoro::Task<bool> Permissions::requestMicrophone()
{
    co_return true;
}

void Permissions::requestAccessibility()
{
    open(Page::accessibility);
}

void Permissions::openKeyboardSettings()
{
    open(Page::keyboard);
}

void Permissions::openShortcutSettings()
{
    if (m_desktops.contains(QStringLiteral("kde"))) {
        m_workspace.launch(QStringLiteral("systemsettings"), {QStringLiteral("kcm_keys")});
        return;
    }
    open(Page::keyboard);
}

void Permissions::open(Page page)
{
    // The settings program of each desktop and its arguments, first for the accessibility page, then
    // for the keyboard page. GNOME's relatives (Unity, Budgie, Pantheon) say "GNOME" in their list too.
    struct Panels
    {
        QString desktop;
        QStringList accessibility;
        QStringList keyboard;
    };
    static const Panels panels[] = {
        {QStringLiteral("kde"),
         {QStringLiteral("systemsettings"), QStringLiteral("kcm_access")},
         {QStringLiteral("systemsettings"), QStringLiteral("kcm_keyboard")}},
        {QStringLiteral("x-cinnamon"),
         {QStringLiteral("cinnamon-settings"), QStringLiteral("universal-access")},
         {QStringLiteral("cinnamon-settings"), QStringLiteral("keyboard")}},
        {QStringLiteral("gnome"),
         {QStringLiteral("gnome-control-center"), QStringLiteral("universal-access")},
         {QStringLiteral("gnome-control-center"), QStringLiteral("keyboard")}},
        {QStringLiteral("xfce"),
         {QStringLiteral("xfce4-accessibility-settings")},
         {QStringLiteral("xfce4-keyboard-settings")}},
        {QStringLiteral("mate"),
         {QStringLiteral("mate-at-properties")},
         {QStringLiteral("mate-keyboard-properties")}},
        {QStringLiteral("lxqt"),
         {QStringLiteral("lxqt-config-accessibility")},
         {QStringLiteral("lxqt-config-input")}},
    };

    for (const QString& desktop : std::as_const(m_desktops)) {
        for (const Panels& entry : panels) {
            if (entry.desktop != desktop)
                continue;
            const QStringList& command = page == Page::keyboard ? entry.keyboard : entry.accessibility;
            m_workspace.launch(command.first(), command.mid(1));
            return;
        }
    }
    // An unknown desktop: there is no page we could open, and guessing a program might start the wrong
    // one, so nothing happens.
}

} // namespace parlune
