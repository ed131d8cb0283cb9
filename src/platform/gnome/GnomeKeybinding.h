// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopKeybinding.h"
#include "platform/gnome/GnomeAccelerator.h"

#include <QStringList>

#include <memory>
#include <vector>

namespace parlune {

// A custom keybinding of GNOME's, the kind its keyboard settings list under "Custom Shortcuts": the
// settings daemon runs its command at every press of its keys (and again at each auto-repeat while they
// are held). GNOME keeps them in GSettings: the media-keys plugin's "custom-keybindings" lists their
// paths, and each path holds a "name", a "command" and a "binding".
//
// Ours lives at a path of its own, so that it is found again at the next start and never mistaken for
// one of the user's; the user's are read (to choose free keys) and written back untouched. Where GNOME's
// schemas are not installed, it is unavailable and does nothing.
class GnomeKeybinding final : public DesktopKeybinding
{
    Q_OBJECT

public:
    static inline const QString listSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
    static inline const QString entrySchema =
        QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
    static inline const QString ourPath =
        QStringLiteral("/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/parlune/");
    // The keys ours takes, the first that is free.
    static const QStringList candidates;
    // Where GNOME's own keybindings are, read so that ours takes none of their keys.
    static const QStringList desktopSchemas;

    // `command`: the program and its arguments, run by the desktop at each press. An existing one of
    // ours whose command is another (the program moved) is given this one.
    explicit GnomeKeybinding(QStringList command);
    ~GnomeKeybinding() override;

    bool isAvailable() const override;
    QString keys() const override;
    QString proposedKeys() const override;
    std::optional<QString> create() override;
    void remove() override;

    // The command line as GNOME keeps it: each argument quoted for its shell-like parser when needed.
    static QString commandLine(const QStringList& command);

private:
    struct Settings;
    // The keys every other keybinding holds, GNOME's and the user's.
    std::vector<GnomeAccelerator> takenKeys() const;
    std::optional<GnomeAccelerator> freeKeys() const;
    bool isListed() const;
    void sync();

    const QString m_commandLine;
    std::unique_ptr<Settings> m_settings;
};

} // namespace parlune
