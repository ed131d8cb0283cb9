// SPDX-License-Identifier: GPL-3.0-or-later
// The test's own keyboard in GNOME: a remote desktop session of GNOME's compositor itself, whose keys
// the shell takes as typed on a real keyboard, without asking anyone (GNOME's portal would ask first).
#pragma once

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

#include <algorithm>
#include <vector>

namespace parlune {

class MutterKeyboard
{
public:
    // Linux key codes.
    static constexpr int leftControl = 29, leftAlt = 56, space = 57, leftSuper = 125, f9 = 67;

    MutterKeyboard()
    {
        QDBusInterface remoteDesktop(QStringLiteral("org.gnome.Mutter.RemoteDesktop"),
                                     QStringLiteral("/org/gnome/Mutter/RemoteDesktop"),
                                     QStringLiteral("org.gnome.Mutter.RemoteDesktop"));
        const QDBusReply<QDBusObjectPath> session = remoteDesktop.call(QStringLiteral("CreateSession"));
        if (!session.isValid())
            return;
        m_session = session.value().path();
        if (call(QStringLiteral("Start")).type() == QDBusMessage::ErrorMessage)
            m_session.clear();
    }
    ~MutterKeyboard()
    {
        if (isReady())
            call(QStringLiteral("Stop"));
    }

    bool isReady() const { return !m_session.isEmpty(); }

    void key(int code, bool down) { call(QStringLiteral("NotifyKeyboardKeycode"), uint(code), down); }
    // Presses the keys in order, or releases them in the reverse order.
    void chord(std::vector<int> keys, bool down)
    {
        if (!down)
            std::reverse(keys.begin(), keys.end());
        for (int code : keys)
            key(code, down);
    }

private:
    // Waited for, so that the keys reach the shell in order.
    template <typename... Arguments> QDBusMessage call(const QString& method, Arguments... arguments)
    {
        QDBusMessage message =
            QDBusMessage::createMethodCall(QStringLiteral("org.gnome.Mutter.RemoteDesktop"), m_session,
                                           QStringLiteral("org.gnome.Mutter.RemoteDesktop.Session"), method);
        ((message << QVariant::fromValue(arguments)), ...);
        return QDBusConnection::sessionBus().call(message);
    }

    QString m_session;
};

} // namespace parlune
