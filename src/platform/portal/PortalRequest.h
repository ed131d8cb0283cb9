// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoroTask>
#include <QDBusConnection>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

namespace parlune {

// The desktop portal on the session bus: the services a Wayland desktop grants programs outside its
// own, after asking the user where it must.
namespace Portal {
inline const QString service = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString path = QStringLiteral("/org/freedesktop/portal/desktop");
inline const QString globalShortcuts = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
inline const QString remoteDesktop = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
inline const QString session = QStringLiteral("org.freedesktop.portal.Session");
} // namespace Portal

// How a portal request ended.
struct PortalResponse
{
    // The portal's own codes, then ours for a call that never got an answer.
    enum Code : uint { success = 0, cancelled = 1, ended = 2, unanswered = 3 };
    uint code = unanswered;
    QVariantMap results;
    // For `unanswered`: the D-Bus error name of the call ("org.freedesktop.DBus.Error.UnknownMethod"...),
    // or empty when the portal went away before it answered.
    QString error;

    bool ok() const { return code == success; }
};

// Calls a portal method that answers later, through the Response signal of a request object, and waits
// for that answer. `options` (the last argument of every such method) gets a fresh handle_token. A
// portal that leaves the bus before answering ends the wait with `unanswered`. Main thread only.
QCoro::Task<PortalResponse> portalRequest(QDBusConnection bus, QString interface, QString method,
                                          QVariantList arguments, QVariantMap options);

// A plain portal method call, waited for; its D-Bus error name, empty on success.
QCoro::Task<QString> portalCall(QDBusConnection bus, QString interface, QString method,
                                QVariantList arguments);

// The object path the portal gives a request or session of ours made with `token`.
QString portalObjectPath(const QDBusConnection& bus, const QString& kind, const QString& token);

} // namespace parlune
