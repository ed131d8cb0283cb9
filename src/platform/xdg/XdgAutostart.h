// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Autostart.h"

#include <QStringList>

namespace parlune {

// The per-user XDG autostart entry, `<config home>/autostart/parlune.desktop`, which every desktop
// that follows the freedesktop.org rules starts at login.
class XdgAutostart final : public Autostart
{
public:
    // `configHome` is $XDG_CONFIG_HOME (or ~/.config); the entry runs `executable` with `arguments`.
    XdgAutostart(QString configHome, QString executable, QStringList arguments);

    bool isRegistered() override;
    std::optional<QString> registerProgram() override;
    std::optional<QString> unregisterProgram() override;

    QString entryPath() const;
    // The Exec line's command, quoted as desktop entries require.
    QString execLine() const;

private:
    QString m_configHome;
    QString m_executable;
    QStringList m_arguments;
};

} // namespace parlune
