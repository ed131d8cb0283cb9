// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/LoginItem.h"

#include "platform/Log.h"

namespace parlune {

LoginItem::LoginItem(Autostart& autostart)
    : m_autostart(autostart)
{}

void LoginItem::set(bool enabled)
{
    if (enabled == m_autostart.isRegistered())
        return;
    const auto error = enabled ? m_autostart.registerProgram() : m_autostart.unregisterProgram();
    if (error)
        logLine("Parlune LoginItem error: %s", qUtf8Printable(*error));
}

} // namespace parlune
