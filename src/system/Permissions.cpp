// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/Permissions.h"

#include <QStandardPaths>

#include <utility>

namespace parlune {

const QStringList Permissions::textRoles{
    QStringLiteral("text"),           QStringLiteral("entry"),        QStringLiteral("password text"),
    QStringLiteral("terminal"),       QStringLiteral("document web"), QStringLiteral("document text"),
    QStringLiteral("document frame"), QStringLiteral("editbar"),
};

namespace {

// The settings program of a desktop, with the arguments that open one of its pages. GNOME's relatives
// (Unity, Budgie, Pantheon) say "GNOME" in their list too.
struct SettingsPanel
{
    QLatin1String desktop;
    QStringList command;
};

const SettingsPanel accessibilityPanels[] = {
    {QLatin1String("kde"), {QStringLiteral("systemsettings"), QStringLiteral("kcm_access")}},
    {QLatin1String("x-cinnamon"), {QStringLiteral("cinnamon-settings"), QStringLiteral("universal-access")}},
    {QLatin1String("gnome"), {QStringLiteral("gnome-control-center"), QStringLiteral("universal-access")}},
    {QLatin1String("xfce"), {QStringLiteral("xfce4-accessibility-settings")}},
    {QLatin1String("mate"), {QStringLiteral("mate-at-properties")}},
    {QLatin1String("lxqt"), {QStringLiteral("lxqt-config-accessibility")}},
};

// The pages where a desktop that binds the shortcut itself (through its portal, on Wayland) lists the
// shortcuts programs asked for.
const SettingsPanel shortcutPanels[] = {
    {QLatin1String("kde"), {QStringLiteral("systemsettings"), QStringLiteral("kcm_keys")}},
    {QLatin1String("gnome"), {QStringLiteral("gnome-control-center"), QStringLiteral("keyboard")}},
};

// Session names as display managers write them, for a session started without XDG_CURRENT_DESKTOP:
// "plasma" and "plasmawayland" are KDE, "gnome-xorg" and "ubuntu" GNOME, "cinnamon" Cinnamon.
QStringList desktopsOfSession(const QString& session)
{
    static const std::pair<QLatin1String, QLatin1String> aliases[] = {
        {QLatin1String("plasma"), QLatin1String("kde")},
        {QLatin1String("kde"), QLatin1String("kde")},
        {QLatin1String("ubuntu"), QLatin1String("gnome")},
        {QLatin1String("gnome"), QLatin1String("gnome")},
        {QLatin1String("cinnamon"), QLatin1String("x-cinnamon")},
        {QLatin1String("xfce"), QLatin1String("xfce")},
        {QLatin1String("mate"), QLatin1String("mate")},
        {QLatin1String("lxqt"), QLatin1String("lxqt")},
    };
    const QString name = session.toLower();
    for (const auto& [prefix, desktop] : aliases) {
        if (name.startsWith(prefix))
            return {desktop};
    }
    return {};
}

// The desktop's own page among `panels`, when its program is installed. Only the desktop's own: another
// desktop's program, even installed, may not start outside its desktop, or may change settings this
// desktop does not read.
template <std::size_t N>
std::optional<QStringList> settingsPage(const SettingsPanel (&panels)[N], const QStringList& desktops,
                                        const Permissions::InstalledCheck& isInstalled)
{
    for (const QString& desktop : desktops) {
        for (const SettingsPanel& panel : panels) {
            if (panel.desktop == desktop && isInstalled(panel.command.first()))
                return panel.command;
        }
    }
    return std::nullopt;
}

} // namespace

Permissions::Permissions(FocusedElement& focusedElement, Workspace& workspace, QString desktop,
                         QString session, InstalledCheck isInstalled)
    : m_focusedElement(focusedElement)
    , m_workspace(workspace)
    , m_desktops(desktop.toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts))
    , m_isInstalled(std::move(isInstalled))
{
    if (m_desktops.isEmpty())
        m_desktops = desktopsOfSession(session);
}

bool Permissions::programIsInstalled(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

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
    if (const auto command = accessibilitySettings())
        m_workspace.launch(command->first(), command->mid(1));
}

void Permissions::openShortcutSettings()
{
    if (const auto command = shortcutSettings())
        m_workspace.launch(command->first(), command->mid(1));
}

std::optional<QStringList> Permissions::accessibilitySettings() const
{
    return settingsPage(accessibilityPanels, m_desktops, m_isInstalled);
}

std::optional<QStringList> Permissions::shortcutSettings() const
{
    return settingsPage(shortcutPanels, m_desktops, m_isInstalled);
}

} // namespace parlune
