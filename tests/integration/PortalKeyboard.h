// SPDX-License-Identifier: GPL-3.0-or-later
// The test's own keyboard on a Wayland desktop: a RemoteDesktop portal session whose keys the
// compositor takes as typed on a real keyboard, so that the desktop's shortcuts see them.
#pragma once

#include "platform/portal/PortalRequest.h"

#include <QCoroTask>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QTest>

#include <algorithm>
#include <vector>

namespace parlune {

class PortalKeyboard
{
public:
    // Linux key codes.
    static constexpr int leftControl = 29, leftAlt = 56, space = 57, z = 44;

    PortalKeyboard()
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        // WORKAROUND: g++ 12 cannot build a coroutine whose co_await expression holds a braced list.
        const auto open = [](QDBusConnection bus) -> QCoro::Task<QString> {
            QVariantMap options;
            options.insert(QStringLiteral("session_handle_token"), QStringLiteral("test_keyboard"));
            const PortalResponse created = co_await portalRequest(
                bus, Portal::remoteDesktop, QStringLiteral("CreateSession"), {}, options);
            const QString handle = created.results.value(QStringLiteral("session_handle")).toString();
            QVariantList arguments;
            arguments << QVariant::fromValue(QDBusObjectPath(handle));
            QVariantMap devices;
            devices.insert(QStringLiteral("types"), 1u);
            const PortalResponse selected = co_await portalRequest(
                bus, Portal::remoteDesktop, QStringLiteral("SelectDevices"), arguments, devices);
            arguments << QString();
            const PortalResponse started =
                co_await portalRequest(bus, Portal::remoteDesktop, QStringLiteral("Start"), arguments, {});
            co_return created.ok() && selected.ok() && started.ok() ? handle : QString();
        };
        m_session = QCoro::waitFor(open(bus));
    }

    bool isReady() const { return !m_session.isEmpty(); }

    void key(int code, bool down)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(
            Portal::service, Portal::path, Portal::remoteDesktop, QStringLiteral("NotifyKeyboardKeycode"));
        message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << code << uint(down);
        // Waited for: the portal handles calls on threads of its own and could reorder calls sent at once.
        QDBusConnection::sessionBus().call(message);
    }
    // Presses the keys in order, or releases them in the reverse order.
    void chord(std::vector<int> keys, bool down)
    {
        if (!down)
            std::reverse(keys.begin(), keys.end());
        for (int code : keys)
            key(code, down);
    }

private:
    QString m_session;
};

} // namespace parlune
