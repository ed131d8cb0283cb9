// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/PortalKeyboardTap.h"

#include "input/KeyCombo.h"
#include "platform/Log.h"
#include "platform/XkbKeyNames.h"
#include "platform/portal/PortalRequest.h"

#include <QCoreApplication>
#include <QCoroDBusPendingCall>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>

#include <utility>

namespace parlune {

namespace {

using Shortcut = std::pair<QString, QVariantMap>;
// The portal's shortcut list, a(sa{sv}): QtDBus writes a pair as a structure.
using Shortcuts = QList<Shortcut>;

void registerTypes()
{
    static const bool registered = [] {
        // WORKAROUND: QtDBus reads a slot's parameter types by name and finds only types Qt already
        // registered: without these, listening to the portal's signals fails whenever the tap is the
        // program's first D-Bus user.
        qRegisterMetaType<QDBusObjectPath>();
        qDBusRegisterMetaType<Shortcut>();
        qDBusRegisterMetaType<Shortcuts>();
        return true;
    }();
    (void)registered;
}

} // namespace

PortalKeyboardTap::PortalKeyboardTap(QDBusConnection bus, QString sessionToken)
    : m_bus(std::move(bus))
    , m_sessionToken(std::move(sessionToken))
    , m_watcher(Portal::service, m_bus,
                QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration)
{
    registerTypes();
    // The portal went away (restarted, crashed): its sessions went with it, and no Closed came.
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (hasSession())
            forgetSession(tr(
                "Le portail des raccourcis s'est arrêté : Parlune reprendra son raccourci dès son retour."));
    });
    // The portal is back (restarted after a crash or an update): bind again.
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, [this] {
        if (m_handler && m_enabled && !hasSession())
            connectToPortal();
    });
    const auto listen = [this](const char* signal, const char* slot) {
        if (!m_bus.connect(Portal::service, Portal::path, Portal::globalShortcuts,
                           QString::fromLatin1(signal), this, slot))
            logLine("Parlune: cannot listen to the global shortcuts portal's %s", signal);
    };
    listen("Activated", SLOT(onActivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    listen("Deactivated", SLOT(onDeactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    listen("ShortcutsChanged", SLOT(onShortcutsChanged(QDBusMessage)));
}

PortalKeyboardTap::~PortalKeyboardTap()
{
    if (hasSession())
        m_bus.call(QDBusMessage::createMethodCall(Portal::service, m_session, Portal::session,
                                                  QStringLiteral("Close")),
                   QDBus::NoBlock);
}

bool PortalKeyboardTap::install(Handler handler)
{
    m_handler = std::move(handler);
    m_enabled = true;
    if (!m_bus.isConnected()) {
        setState({}, tr("Le bus de session est injoignable : le raccourci ne peut pas être enregistré."));
        return false;
    }
    if (!hasSession())
        connectToPortal();
    return true;
}

void PortalKeyboardTap::remove()
{
    // A press in progress is kept: the session stays, and its release still comes to a tap installed
    // again meanwhile (the watch timer reinstalls it when typing is allowed).
    m_handler = nullptr;
    m_enabled = false;
}

bool PortalKeyboardTap::isEnabled() const
{
    return m_handler && m_enabled && hasSession();
}

void PortalKeyboardTap::setEnabled(bool enabled)
{
    if (!m_handler)
        return;
    m_enabled = enabled;
    if (enabled && !hasSession())
        connectToPortal();
}

void PortalKeyboardTap::setSwallowedKeys(std::vector<SwallowedKey> keys)
{
    // Escape comes and goes with each dictation: only the shortcut itself is asked of the desktop.
    for (const SwallowedKey& key : keys) {
        if (key.anyModifiers)
            continue;
        if (const QString trigger = portalTrigger(key); !trigger.isEmpty()) {
            m_preferredTrigger = trigger;
            return;
        }
    }
    m_preferredTrigger = defaultTrigger;
}

void PortalKeyboardTap::connectToPortal()
{
    if (m_binding)
        return;
    m_binding = true;
    bind(this);
}

QCoro::Task<> PortalKeyboardTap::bind(QPointer<PortalKeyboardTap> self)
{
    QDBusConnection bus = self->m_bus;
    // The interface is there at all: older portals and desktops without the backend lack it.
    QDBusMessage versionCall = QDBusMessage::createMethodCall(
        Portal::service, Portal::path, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    versionCall << Portal::globalShortcuts << QStringLiteral("version");
    const QDBusMessage version = co_await bus.asyncCall(versionCall, 30000);
    if (!self)
        co_return;
    if (version.type() == QDBusMessage::ErrorMessage) {
        self->m_binding = false;
        const bool noPortal =
            version.errorName() == QLatin1String("org.freedesktop.DBus.Error.ServiceUnknown") ||
            version.errorName() == QLatin1String("org.freedesktop.DBus.Error.NoReply");
        logLine("Parlune: global shortcuts portal unavailable (%s)", qPrintable(version.errorName()));
        self->setState({}, noPortal
                               ? tr("Le portail du bureau (xdg-desktop-portal) ne répond pas : Parlune ne "
                                    "peut pas recevoir son raccourci.")
                               : tr("Ce bureau ne prête pas de raccourcis globaux aux applications (portail "
                                    "GlobalShortcuts absent) : lancez les dictées depuis le menu de "
                                    "Parlune."));
        co_return;
    }

    const Shortcuts shortcuts{
        {dictateId,
         {{QStringLiteral("description"), tr("Dicter (maintenir pour parler, taper pour les mains libres)")},
          {QStringLiteral("preferred_trigger"), self->m_preferredTrigger}}},
        {cancelId,
         {{QStringLiteral("description"), tr("Annuler la dictée en cours")},
          {QStringLiteral("preferred_trigger"), cancelTrigger}}},
    };
    // WORKAROUND: KDE Plasma 5.27 binds only the shortcuts given in CreateSession's options and ignores
    // BindShortcuts; GNOME binds them through BindShortcuts (asking the user). Both are sent.
    // WORKAROUND: g++ 12 cannot build a coroutine whose co_await expression holds a braced list: the
    // arguments are made beforehand.
    QVariantMap sessionOptions;
    sessionOptions.insert(QStringLiteral("session_handle_token"), self->m_sessionToken);
    sessionOptions.insert(QStringLiteral("shortcuts"), QVariant::fromValue(shortcuts));
    const PortalResponse created = co_await portalRequest(
        bus, Portal::globalShortcuts, QStringLiteral("CreateSession"), {}, sessionOptions);
    if (!self)
        co_return;
    const QString session =
        created.results.value(QStringLiteral("session_handle")).toString().isEmpty()
            ? created.results.value(QStringLiteral("session_handle")).value<QDBusObjectPath>().path()
            : created.results.value(QStringLiteral("session_handle")).toString();
    if (!created.ok() || session.isEmpty()) {
        self->m_binding = false;
        logLine("Parlune: global shortcuts session refused (response %u)", created.code);
        self->setState({},
                       created.code == PortalResponse::cancelled
                           ? tr("Le raccourci de Parlune a été refusé. Autorisez-le dans les réglages des "
                                "raccourcis du bureau, puis relancez Parlune.")
                           : tr("Le bureau n'a pas pu enregistrer le raccourci de Parlune."));
        co_return;
    }
    self->m_session = session;
    self->m_bus.connect(Portal::service, session, Portal::session, QStringLiteral("Closed"), self.data(),
                        SLOT(onSessionClosed(QDBusMessage)));
    QVariantMap triggers = triggersFrom(created.results.value(QStringLiteral("shortcuts")));

    if (triggers.value(dictateId).toString().isEmpty()) {
        QVariantList bindArguments;
        bindArguments << QVariant::fromValue(QDBusObjectPath(session)) << QVariant::fromValue(shortcuts)
                      << QString();
        const PortalResponse bound = co_await portalRequest(
            bus, Portal::globalShortcuts, QStringLiteral("BindShortcuts"), bindArguments, {});
        if (!self)
            co_return;
        if (bound.code == PortalResponse::cancelled) {
            self->m_binding = false;
            self->setState({}, tr("Le raccourci de Parlune a été refusé. Autorisez-le dans les réglages des "
                                  "raccourcis du bureau, puis relancez Parlune."));
            co_return;
        }
        triggers = triggersFrom(bound.results.value(QStringLiteral("shortcuts")));
    }
    if (triggers.value(dictateId).toString().isEmpty()) {
        QVariantList listArguments;
        listArguments << QVariant::fromValue(QDBusObjectPath(session));
        const PortalResponse listed = co_await portalRequest(
            bus, Portal::globalShortcuts, QStringLiteral("ListShortcuts"), listArguments, {});
        if (!self)
            co_return;
        triggers = triggersFrom(listed.results.value(QStringLiteral("shortcuts")));
    }
    self->m_binding = false;
    self->shortcutsChanged(session, triggers);
    logLine("Parlune: global shortcuts bound through the portal");
}

void PortalKeyboardTap::onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                    const QVariantMap&)
{
    activated(session.path(), shortcutId);
}

void PortalKeyboardTap::onDeactivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong,
                                      const QVariantMap&)
{
    deactivated(session.path(), shortcutId);
}

void PortalKeyboardTap::onShortcutsChanged(const QDBusMessage& message)
{
    const QVariantList arguments = message.arguments();
    if (arguments.size() < 2)
        return;
    shortcutsChanged(arguments.at(0).value<QDBusObjectPath>().path(), triggersFrom(arguments.at(1)));
}

void PortalKeyboardTap::onSessionClosed(const QDBusMessage& message)
{
    sessionClosed(message.path());
}

void PortalKeyboardTap::activated(const QString& session, const QString& shortcutId)
{
    if (session != m_session)
        return;
    if (shortcutId == dictateId) {
        // The desktop repeats Activated while the keys stay down: the first one is the press.
        if (m_dictateDown)
            return;
        m_dictateDown = true;
        deliver(EventType::shortcutDown, {});
    } else if (shortcutId == cancelId) {
        deliver(EventType::keyDown, {53, 0, false});
    }
}

void PortalKeyboardTap::deactivated(const QString& session, const QString& shortcutId)
{
    if (session != m_session)
        return;
    if (shortcutId == dictateId) {
        if (!m_dictateDown)
            return;
        m_dictateDown = false;
        deliver(EventType::shortcutUp, {});
    } else if (shortcutId == cancelId) {
        deliver(EventType::keyUp, {53, 0, false});
    }
}

void PortalKeyboardTap::shortcutsChanged(const QString& session, const QVariantMap& triggers)
{
    if (session != m_session)
        return;
    const QString trigger = triggers.value(dictateId).toString();
    setState(trigger, trigger.isEmpty() ? tr("Le bureau n'a associé aucune touche au raccourci de Parlune : "
                                             "choisissez-en une dans les réglages des raccourcis du bureau.")
                                        : QString());
}

void PortalKeyboardTap::sessionClosed(const QString& session)
{
    if (session.isEmpty() || session != m_session)
        return;
    logLine("Parlune: global shortcuts session closed by the portal");
    forgetSession(
        tr("Le portail des raccourcis s'est arrêté : Parlune reprendra son raccourci dès son retour."));
    // A portal that closed the session but is still there: bind again at once.
    if (m_handler && m_enabled)
        connectToPortal();
}

void PortalKeyboardTap::forgetSession(const QString& problem)
{
    if (!m_session.isEmpty())
        m_bus.disconnect(Portal::service, m_session, Portal::session, QStringLiteral("Closed"), this,
                         SLOT(onSessionClosed(QDBusMessage)));
    m_session.clear();
    setState({}, problem);
    // A release the portal will never send: the gesture must not stay held.
    if (std::exchange(m_dictateDown, false))
        deliver(EventType::shortcutUp, {});
}

void PortalKeyboardTap::setState(const QString& trigger, const QString& problem)
{
    if (trigger == m_trigger && problem == m_problem)
        return;
    m_trigger = trigger;
    m_problem = problem;
    Q_EMIT changed();
}

void PortalKeyboardTap::deliver(EventType type, const Event& event)
{
    if (m_handler && m_enabled)
        m_handler(type, event);
}

QVariantMap PortalKeyboardTap::triggersFrom(const QVariant& shortcuts)
{
    Shortcuts list;
    if (shortcuts.canConvert<QDBusArgument>())
        shortcuts.value<QDBusArgument>() >> list;
    else
        list = shortcuts.value<Shortcuts>();
    QVariantMap triggers;
    for (const Shortcut& shortcut : std::as_const(list))
        triggers.insert(shortcut.first, shortcut.second.value(QStringLiteral("trigger_description")));
    return triggers;
}

QString PortalKeyboardTap::portalTrigger(const SwallowedKey& key)
{
    const QString name = XkbKeyNames::forKeyCode(key.keyCode);
    if (name.isEmpty())
        return {};
    QStringList parts;
    if (key.modifiers & ModifierFlag::control)
        parts << QStringLiteral("CTRL");
    if (key.modifiers & ModifierFlag::option)
        parts << QStringLiteral("ALT");
    if (key.modifiers & ModifierFlag::shift)
        parts << QStringLiteral("SHIFT");
    if (key.modifiers & ModifierFlag::command)
        parts << QStringLiteral("LOGO");
    parts << name;
    return parts.join(QLatin1Char('+'));
}

} // namespace parlune
