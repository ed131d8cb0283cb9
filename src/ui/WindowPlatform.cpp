// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowPlatform.h"

#include <QtGlobal>

namespace parlune::WindowPlatform {

namespace {

constexpr const char* variable = "QT_QPA_PLATFORM";

struct Saved
{
    bool changed = false;
    bool wasSet = false;
    QByteArray value;
};

Saved& saved()
{
    static Saved environment;
    return environment;
}

} // namespace

std::optional<QByteArray> chosen(DisplaySession session, const QByteArray& requested, bool xwaylandAvailable)
{
    if (session != DisplaySession::wayland || !xwaylandAvailable)
        return std::nullopt;
    // "wayland", or a list of preferences that starts with it: the desktop's default for Qt programs.
    if (requested.isEmpty() || requested.startsWith("wayland"))
        return QByteArray("xcb");
    return std::nullopt;
}

void chooseBeforeApplication()
{
    Saved& environment = saved();
    environment.wasSet = qEnvironmentVariableIsSet(variable);
    environment.value = qgetenv(variable);
    const std::optional<QByteArray> platform =
        chosen(displaySession(), environment.value, !qEnvironmentVariableIsEmpty("DISPLAY"));
    if (!platform)
        return;
    qputenv(variable, *platform);
    environment.changed = true;
}

void restoreEnvironment()
{
    Saved& environment = saved();
    if (!environment.changed)
        return;
    if (environment.wasSet)
        qputenv(variable, environment.value);
    else
        qunsetenv(variable);
    environment.changed = false;
}

} // namespace parlune::WindowPlatform
