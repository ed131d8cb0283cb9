// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/ViewServices.h"

namespace parlune {

ViewServices desktopViewServices(Permissions& permissions, Pasteboard& pasteboard)
{
    ViewServices services;
    services.pasteboard = &pasteboard;
    services.canRequestAccessibility = [&permissions] { return permissions.canRequestAccessibility(); };
    services.requestAccessibility = [&permissions] { permissions.requestAccessibility(); };
    services.canOpenShortcutSettings = [&permissions] { return permissions.canOpenShortcutSettings(); };
    services.openShortcutSettings = [&permissions] { permissions.openShortcutSettings(); };
    return services;
}

} // namespace parlune
