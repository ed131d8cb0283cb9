// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parlune {

// Keys by the names desktops write in their key bindings, which are XKB's key symbol names: "space",
// "Return", "F1" for the keys that type nothing readable, the character's own name ("d", "eacute") for
// the others.
namespace XkbKeyNames {

// The name of a key (a virtual key code) in the current layout; empty when it has none.
QString forKeyCode(quint16 keyCode);

// How the program labels a key named so: "space" is "Espace", "d" is "D", "eacute" is "É"; a name it
// cannot read is shown as it is.
QString label(const QString& name);

} // namespace XkbKeyNames
} // namespace parlune
