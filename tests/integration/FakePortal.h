// SPDX-License-Identifier: GPL-3.0-or-later
// The GlobalShortcuts portal played by the test on the session bus, under the portal's own name: it
// answers as the test tells it and records what it was asked.
#pragma once

#include "platform/portal/PortalRequest.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>

#include <utility>

namespace parlune {

using PortalShortcuts = QList<std::pair<QString, QVariantMap>>;

// Answers each request at once with `code`, through a Response sent before the method's reply, to this
// process's own session bus connection.
class FakeGlobalShortcuts : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    // Read by the program to learn whether the desktop has the interface at all.
    Q_PROPERTY(uint version READ version)

public:
    FakeGlobalShortcuts(QObject* parent, QDBusConnection bus)
        : QDBusAbstractAdaptor(parent)
        , m_bus(std::move(bus))
    {}
    uint version() const { return 1; }

    uint code = PortalResponse::success;
    // What the desktop binds "dictate" to; empty: nothing.
    QString trigger = QStringLiteral("Ctrl+Alt+Space");
    QString session;
    int sessionsCreated = 0;
    // The keys the program asked for, by shortcut id.
    QVariantMap preferredTriggers;

    // "Activated" or "Deactivated" of a shortcut, for our session or another one.
    void send(const QString& name, const QString& shortcutId, const QString& toSession = {})
    {
        QDBusMessage signal = QDBusMessage::createSignal(Portal::path, Portal::globalShortcuts, name);
        signal << QVariant::fromValue(QDBusObjectPath(toSession.isEmpty() ? session : toSession))
               << shortcutId << qulonglong(0) << QVariantMap();
        m_bus.send(signal);
    }

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options)
    {
        PortalShortcuts asked;
        options.value(QStringLiteral("shortcuts")).value<QDBusArgument>() >> asked;
        for (const auto& [id, properties] : std::as_const(asked))
            preferredTriggers.insert(id, properties.value(QStringLiteral("preferred_trigger")));
        ++sessionsCreated;
        session = portalObjectPath(QDBusConnection::sessionBus(), QStringLiteral("session"),
                                   options.value(QStringLiteral("session_handle_token")).toString());
        const PortalShortcuts bound{
            {QStringLiteral("dictate"), {{QStringLiteral("trigger_description"), trigger}}}};
        return respond(options, {{QStringLiteral("session_handle"), session},
                                 {QStringLiteral("shortcuts"), QVariant::fromValue(bound)}});
    }
    // No BindShortcuts nor ListShortcuts, as on KDE Plasma 5.27 where they add nothing.

private:
    QDBusObjectPath respond(const QVariantMap& options, const QVariantMap& results)
    {
        const QString path = portalObjectPath(QDBusConnection::sessionBus(), QStringLiteral("request"),
                                              options.value(QStringLiteral("handle_token")).toString());
        QDBusMessage response = QDBusMessage::createSignal(
            path, QStringLiteral("org.freedesktop.portal.Request"), QStringLiteral("Response"));
        response << code << results;
        m_bus.send(response);
        return QDBusObjectPath(path);
    }

    QDBusConnection m_bus;
};

// The portal on a connection of its own, owning the portal's name while it "runs". Without
// `withGlobalShortcuts` it lacks that interface, as on desktops without its backend.
class FakePortal
{
public:
    explicit FakePortal(bool withGlobalShortcuts = true)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
        , shortcuts(*new FakeGlobalShortcuts(&m_object, m_bus))
    {
        qDBusRegisterMetaType<std::pair<QString, QVariantMap>>();
        qDBusRegisterMetaType<PortalShortcuts>();
        if (withGlobalShortcuts)
            m_bus.registerObject(Portal::path, &m_object, QDBusConnection::ExportAdaptors);
        else
            m_bus.registerObject(Portal::path, &m_object, QDBusConnection::ExportAllProperties);
        m_bus.registerService(Portal::service);
    }
    ~FakePortal()
    {
        m_bus.unregisterService(Portal::service);
        m_bus.unregisterObject(Portal::path);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }

private:
    QDBusConnection m_bus;
    QObject m_object;

public:
    FakeGlobalShortcuts& shortcuts;
};

} // namespace parlune
