// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parlune::AccessibilitySwitch {

// The desktop's switch for the accessibility bus. Qt programs (all of KDE's) show on the bus, and so can
// take a dictation straight into their fields and say what they are, only when it is on, and only those
// started after it was switched on. Switches it on when it is off; gives whether it had to. Does
// nothing without a session bus or the bus's launcher.
bool switchOn();

} // namespace parlune::AccessibilitySwitch
