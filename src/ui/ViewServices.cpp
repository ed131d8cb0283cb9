// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ViewServices.h"

namespace parlune {

ViewServices desktopViewServices(Permissions& permissions, Pasteboard& pasteboard)
{
    ViewServices services;
    services.pasteboard = &pasteboard;
    services.requestAccessibility = [&permissions] { permissions.requestAccessibility(); };
    services.openKeyboardSettings = [&permissions] { permissions.openKeyboardSettings(); };
    services.openShortcutSettings = [&permissions] { permissions.openShortcutSettings(); };
    return services;
}

} // namespace parlune
