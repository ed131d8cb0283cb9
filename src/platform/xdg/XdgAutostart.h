// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Autostart.h"

#include <QStringList>

namespace parlune {

// The per-user XDG autostart entry, `<config home>/autostart/<desktop id>.desktop`, which every
// desktop that follows the freedesktop.org rules starts at login. An entry left under the program's
// earlier name, `parlune.desktop`, is taken over as it is (switched off by the desktop or not).
class XdgAutostart final : public Autostart
{
public:
    // `configHome` is $XDG_CONFIG_HOME (or ~/.config); the entry runs `executable` with `arguments`.
    XdgAutostart(QString configHome, QString executable, QStringList arguments);

    bool isRegistered() override;
    std::optional<QString> registerProgram() override;
    std::optional<QString> unregisterProgram() override;

    QString entryPath() const;
    QString legacyEntryPath() const;
    // The Exec line's command, quoted as desktop entries require.
    QString execLine() const;

private:
    void adoptLegacyEntry() const;

    QString m_configHome;
    QString m_executable;
    QStringList m_arguments;
};

} // namespace parlune
