// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parlune {

// The program's name among the desktop's applications, in reverse-domain form: its launcher entry is
// `<id>.desktop`, its AppStream metadata `<id>.metainfo.xml`, its login autostart entry `<id>.desktop`
// too, and the desktop matches its windows to the launcher by it. The build reads it from this line.
inline constexpr char desktopIdText[] = "org.parlune.Parlune";

inline QString desktopId()
{
    return QString::fromLatin1(desktopIdText);
}

} // namespace parlune
