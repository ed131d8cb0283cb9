// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/PortalKeySynth.h"

#include "platform/KeyCodes.h"
#include "platform/KeyboardLayout.h"
#include "platform/Log.h"
#include "platform/portal/PortalRequest.h"
#include "store/AtomicFile.h"

#include <QCoreApplication>
#include <QCoroDBusPendingCall>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QFileInfo>

namespace parlune {

namespace {

// The portal's device types: keyboard alone.
constexpr uint keyboardDevice = 1;
// Ask the portal to remember the consent until it is revoked.
constexpr uint persistUntilRevoked = 2;

} // namespace

PortalKeySynth::PortalKeySynth(QString consentPath, QDBusConnection bus)
    : m_consentPath(std::move(consentPath))
    , m_bus(std::move(bus))
    , m_watcher(Portal::service, m_bus,
                QDBusServiceWatcher::WatchForRegistration | QDBusServiceWatcher::WatchForUnregistration)
{
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
        if (!m_session.isEmpty())
            setState(
                {},
                tr("Le portail du bureau s'est arrêté : Parlune pourra de nouveau écrire dès son retour."));
    });
    // The portal is back: the session it lost is opened again, without asking (the user allowed it).
    connect(&m_watcher, &QDBusServiceWatcher::serviceRegistered, this, &PortalKeySynth::resume);
}

PortalKeySynth::~PortalKeySynth()
{
    if (!m_session.isEmpty())
        m_bus.call(QDBusMessage::createMethodCall(Portal::service, m_session, Portal::session,
                                                  QStringLiteral("Close")),
                   QDBus::NoBlock);
}

bool PortalKeySynth::hasConsent() const
{
    return QFileInfo::exists(m_consentPath);
}

void PortalKeySynth::requestAccess()
{
    if (!m_session.isEmpty() || m_starting)
        return;
    m_starting = true;
    start(this);
}

void PortalKeySynth::resume()
{
    if (hasConsent())
        requestAccess();
}

QCoro::Task<> PortalKeySynth::start(QPointer<PortalKeySynth> self)
{
    QDBusConnection bus = self->m_bus;
    const auto fail = [&](const QString& problem) {
        self->m_starting = false;
        self->setState({}, problem);
    };

    // WORKAROUND: g++ 12 cannot build a coroutine whose co_await expression holds a braced list: the
    // arguments are made beforehand.
    QVariantMap sessionOptions;
    sessionOptions.insert(QStringLiteral("session_handle_token"), QStringLiteral("parlune_keys"));
    const PortalResponse created = co_await portalRequest(
        bus, Portal::remoteDesktop, QStringLiteral("CreateSession"), {}, sessionOptions);
    if (!self)
        co_return;
    const QString session = created.results.value(QStringLiteral("session_handle")).toString();
    if (!created.ok() || session.isEmpty()) {
        logLine("Parlune: remote desktop portal unavailable (%s, response %u)", qPrintable(created.error),
                created.code);
        fail(refusal(created));
        co_return;
    }
    const QVariantList sessionArguments{QVariant::fromValue(QDBusObjectPath(session))};
    const QVariantList startArguments{QVariant::fromValue(QDBusObjectPath(session)), QString()};

    QVariantMap devices;
    devices.insert(QStringLiteral("types"), keyboardDevice);
    // Portals from the second version of the interface on remember a consent through a restore token.
    QDBusMessage versionCall = QDBusMessage::createMethodCall(
        Portal::service, Portal::path, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    versionCall << Portal::remoteDesktop << QStringLiteral("version");
    const QDBusMessage version = co_await bus.asyncCall(versionCall, 30000);
    if (!self)
        co_return;
    if (version.type() == QDBusMessage::ReplyMessage && !version.arguments().isEmpty() &&
        version.arguments().constFirst().value<QDBusVariant>().variant().toUInt() >= 2) {
        devices.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
        const QByteArray token = readWholeFile(self->m_consentPath).value_or(QByteArray()).trimmed();
        if (!token.isEmpty())
            devices.insert(QStringLiteral("restore_token"), QString::fromUtf8(token));
    }
    const PortalResponse selected = co_await portalRequest(
        bus, Portal::remoteDesktop, QStringLiteral("SelectDevices"), sessionArguments, devices);
    if (!self)
        co_return;
    PortalResponse started = selected;
    if (selected.ok()) {
        started =
            co_await portalRequest(bus, Portal::remoteDesktop, QStringLiteral("Start"), startArguments, {});
        if (!self)
            co_return;
    }
    if (!started.ok() || !(started.results.value(QStringLiteral("devices")).toUInt() & keyboardDevice)) {
        logLine("Parlune: remote desktop session refused (response %u)", started.code);
        bus.call(QDBusMessage::createMethodCall(Portal::service, session, Portal::session,
                                                QStringLiteral("Close")),
                 QDBus::NoBlock);
        fail(refusal(started));
        co_return;
    }

    // Remembered, with the token when the portal gave one: the next start opens the session by itself.
    writeFileAtomically(self->m_consentPath,
                        started.results.value(QStringLiteral("restore_token")).toString().toUtf8());
    self->m_bus.connect(Portal::service, session, Portal::session, QStringLiteral("Closed"), self.data(),
                        SLOT(onSessionClosed()));
    self->m_starting = false;
    self->setState(session, {});
    logLine("Parlune: keyboard lent by the remote desktop portal");
}

QString PortalKeySynth::refusal(const PortalResponse& response)
{
    if (!response.error.isEmpty())
        return tr(
            "Ce bureau ne permet pas aux applications de taper au clavier (portail RemoteDesktop absent) : "
            "le texte sera copié, à coller vous-même.");
    if (response.code == PortalResponse::cancelled)
        return tr("Vous avez refusé que Parlune tape au clavier : le texte sera copié, à coller vous-même.");
    return tr("Le bureau n'a pas ouvert l'accès au clavier de Parlune.");
}

void PortalKeySynth::onSessionClosed()
{
    setState({}, tr("Le bureau a repris l'accès au clavier : autorisez de nouveau Parlune à écrire."));
}

void PortalKeySynth::setState(const QString& session, const QString& problem)
{
    if (!m_session.isEmpty() && session != m_session)
        m_bus.disconnect(Portal::service, m_session, Portal::session, QStringLiteral("Closed"), this,
                         SLOT(onSessionClosed()));
    if (session == m_session && problem == m_problem)
        return;
    m_session = session;
    m_problem = problem;
    Q_EMIT changed();
}

void PortalKeySynth::key(quint32 code, bool down)
{
    m_pendingKeys.push_back({code, down});
    if (m_pendingKeys.size() == 1)
        sendNextKey();
}

void PortalKeySynth::sendNextKey()
{
    if (m_pendingKeys.empty())
        return;
    if (m_session.isEmpty()) {
        m_pendingKeys.clear();
        return;
    }
    const auto [code, down] = m_pendingKeys.front();
    QDBusMessage message = QDBusMessage::createMethodCall(
        Portal::service, Portal::path, Portal::remoteDesktop, QStringLiteral("NotifyKeyboardKeycode"));
    message << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << int(code)
            << uint(down ? 1 : 0);
    // WORKAROUND: xdg-desktop-portal handles each call on a thread of its own, so calls sent back to back
    // can reach the compositor in another order (V before Control). Each key waits for the previous
    // one's answer, a millisecond or so.
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(message), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        call->deleteLater();
        if (!m_pendingKeys.empty())
            m_pendingKeys.pop_front();
        sendNextKey();
    });
}

quint32 PortalKeySynth::keyCodeForV()
{
    // The key that types "v" in the layout in use (on Dvorak it is not where the QWERTY V is), read
    // through Xwayland, which has the compositor's layout.
    if (const auto layout = KeyboardLayout::current()) {
        for (quint16 code = 0; code < 128; ++code) {
            if (layout->character(code) == QStringLiteral("v")) {
                if (const auto evdev = KeyCodes::evdevForVirtual(code))
                    return *evdev;
            }
        }
    }
    return qwertyV;
}

bool PortalKeySynth::postPaste(PasteChord chord)
{
    // A chord still on its way goes first; a second paste never interleaves with it.
    if (m_session.isEmpty())
        return false;
    const bool withControl = chord != PasteChord::shiftInsert;
    const bool withShift = chord != PasteChord::controlV;
    const quint32 main = chord == PasteChord::shiftInsert ? insertKey : keyCodeForV();
    if (withControl)
        key(leftControl, true);
    if (withShift)
        key(leftShift, true);
    key(main, true);
    key(main, false);
    if (withShift)
        key(leftShift, false);
    if (withControl)
        key(leftControl, false);
    return true;
}

} // namespace parlune
