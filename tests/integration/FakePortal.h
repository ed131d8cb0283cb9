// SPDX-License-Identifier: GPL-3.0-or-later
// A desktop portal played by the test on the session bus, under the portal's own name: it answers
// requests as the test tells it and records what it was asked.
#pragma once

#include "platform/portal/PortalRequest.h"

#include <QDBusAbstractAdaptor>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QObject>

#include <utility>

namespace parlune {

using PortalShortcut = std::pair<QString, QVariantMap>;
using PortalShortcuts = QList<PortalShortcut>;

// One interface of the portal. It answers every request at once with `code`, through a Response signal
// sent before the method's reply, to the one client it serves: this process's own session bus connection.
class FakePortalBase : public QDBusAbstractAdaptor
{
public:
    FakePortalBase(QObject* parent, QDBusConnection bus)
        : QDBusAbstractAdaptor(parent)
        , m_bus(std::move(bus))
    {}

    uint code = PortalResponse::success;

protected:
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
    static QString sessionPath(const QVariantMap& options)
    {
        return portalObjectPath(QDBusConnection::sessionBus(), QStringLiteral("session"),
                                options.value(QStringLiteral("session_handle_token")).toString());
    }
    void emitSignal(const QString& path, const QString& interface, const QString& name,
                    const QVariantList& arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(path, interface, name);
        signal.setArguments(arguments);
        m_bus.send(signal);
    }

    QDBusConnection m_bus;
};

class FakeGlobalShortcuts : public FakePortalBase
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.GlobalShortcuts")
    Q_PROPERTY(uint version READ version)

public:
    using FakePortalBase::FakePortalBase;

    uint version() const { return 1; }

    // What the desktop binds "dictate" to; empty: nothing.
    QString trigger = QStringLiteral("Ctrl+Alt+Space");
    QString session;
    int sessionsCreated = 0;
    // The keys the program asked for, by shortcut id.
    QVariantMap preferredTriggers;

    void send(const QString& name, const QString& shortcutId, const QString& toSession = {})
    {
        emitSignal(Portal::path, Portal::globalShortcuts, name,
                   {QVariant::fromValue(QDBusObjectPath(toSession.isEmpty() ? session : toSession)),
                    shortcutId, qulonglong(0), QVariantMap()});
    }
    void closeSession() { emitSignal(session, Portal::session, QStringLiteral("Closed"), {QVariantMap()}); }
    // The user chose other keys in the desktop's settings.
    void rebind(const QString& keys)
    {
        trigger = keys;
        emitSignal(Portal::path, Portal::globalShortcuts, QStringLiteral("ShortcutsChanged"),
                   {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(bound())});
    }

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options)
    {
        PortalShortcuts asked;
        options.value(QStringLiteral("shortcuts")).value<QDBusArgument>() >> asked;
        for (const auto& [id, properties] : std::as_const(asked))
            preferredTriggers.insert(id, properties.value(QStringLiteral("preferred_trigger")));
        ++sessionsCreated;
        session = sessionPath(options);
        QVariantMap results{{QStringLiteral("session_handle"), session}};
        if (code == PortalResponse::success)
            results.insert(QStringLiteral("shortcuts"), QVariant::fromValue(bound()));
        return respond(options, results);
    }
    QDBusObjectPath BindShortcuts(const QDBusObjectPath&, const QDBusArgument&, const QString&,
                                  const QVariantMap& options)
    {
        return respond(options, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound())}});
    }
    QDBusObjectPath ListShortcuts(const QDBusObjectPath&, const QVariantMap& options)
    {
        return respond(options, {{QStringLiteral("shortcuts"), QVariant::fromValue(bound())}});
    }

private:
    PortalShortcuts bound() const
    {
        return {{QStringLiteral("dictate"), {{QStringLiteral("trigger_description"), trigger}}},
                {QStringLiteral("cancel"),
                 {{QStringLiteral("trigger_description"), QStringLiteral("Ctrl+Alt+Backspace")}}}};
    }
};

class FakeRemoteDesktop : public FakePortalBase
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.RemoteDesktop")
    Q_PROPERTY(uint version READ version)

public:
    using FakePortalBase::FakePortalBase;

    uint version() const { return 2; }

    QString session;
    // The options of SelectDevices, and each key as "code down|up".
    QVariantMap selected;
    QStringList keys;

public Q_SLOTS:
    QDBusObjectPath CreateSession(const QVariantMap& options)
    {
        session = sessionPath(options);
        return respond(options, {{QStringLiteral("session_handle"), session}});
    }
    QDBusObjectPath SelectDevices(const QDBusObjectPath&, const QVariantMap& options)
    {
        selected = options;
        return respond(options, {});
    }
    QDBusObjectPath Start(const QDBusObjectPath&, const QString&, const QVariantMap& options)
    {
        return respond(options, {{QStringLiteral("devices"), 1u},
                                 {QStringLiteral("restore_token"), QStringLiteral("token-1")}});
    }
    void NotifyKeyboardKeycode(const QDBusObjectPath&, const QVariantMap&, int keycode, uint state)
    {
        keys << QStringLiteral("%1 %2").arg(keycode).arg(state ? QStringLiteral("down")
                                                               : QStringLiteral("up"));
    }
};

// The portal's objects on a connection of their own, under the portal's name while it is "running".
class FakePortal
{
public:
    // Without `withGlobalShortcuts` the portal lacks that interface, as on desktops without its backend.
    explicit FakePortal(bool withGlobalShortcuts = true)
        : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake-portal")))
        , remoteDesktop(*new FakeRemoteDesktop(&m_object, m_bus))
        , shortcuts(*new FakeGlobalShortcuts(withGlobalShortcuts ? &m_object : &m_hidden, m_bus))
    {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<PortalShortcuts>();
        m_bus.registerObject(Portal::path, &m_object, QDBusConnection::ExportAdaptors);
        start();
    }
    ~FakePortal()
    {
        stop();
        m_bus.unregisterObject(Portal::path);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake-portal"));
    }

    bool start() { return m_bus.registerService(Portal::service); }
    bool stop() { return m_bus.unregisterService(Portal::service); }

private:
    QDBusConnection m_bus;
    QObject m_object;
    // Holds the interface a portal lacks, unexported.
    QObject m_hidden;

public:
    FakeRemoteDesktop& remoteDesktop;
    FakeGlobalShortcuts& shortcuts;
};

} // namespace parlune
