// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atspi/AccessibilitySwitch.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

namespace parlune::AccessibilitySwitch {

namespace {

QDBusMessage statusCall(const char* method)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
        QStringLiteral("org.freedesktop.DBus.Properties"), QLatin1String(method));
    call << QStringLiteral("org.a11y.Status") << QStringLiteral("IsEnabled");
    return call;
}

} // namespace

bool switchOn()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    // The launcher answers at once; a desktop without it is not worth waiting for.
    constexpr int limitMilliseconds = 500;
    const QDBusMessage state = bus.call(statusCall("Get"), QDBus::Block, limitMilliseconds);
    if (state.type() != QDBusMessage::ReplyMessage || state.arguments().isEmpty())
        return false;
    if (state.arguments().constFirst().value<QDBusVariant>().variant().toBool())
        return false;
    QDBusMessage set = statusCall("Set");
    set << QVariant::fromValue(QDBusVariant(true));
    return bus.call(set, QDBus::Block, limitMilliseconds).type() == QDBusMessage::ReplyMessage;
}

} // namespace parlune::AccessibilitySwitch
