// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/DesktopShortcut.h"
#include "platform/KeyboardTap.h"

#include <QCoroTask>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QPointer>
#include <QVariantMap>

#include <optional>

namespace parlune {

// The keyboard shortcut on Wayland, through the desktop's GlobalShortcuts portal. No program sees the
// keyboard there: the desktop binds two shortcuts of ours and tells when they go down and up.
//
// - "dictate": held to dictate, tapped for hands-free. Its first Activated is the press (the desktop
//   repeats Activated while the keys are held, and those repeats are dropped), its Deactivated the
//   release; they reach the handler as shortcutDown and shortcutUp.
// - "cancel": abandons a dictation. Escape cannot be bound only while recording (a binding holds at all
//   times and would take Escape from every application), so it is a shortcut of its own, and it reaches
//   the handler as Escape, which the handler heeds only while a dictation records.
//
// The session keeps one handle token, so the desktop finds the user's own choice of keys again at the
// next start. When the portal goes away (restarted, crashed) the tap says why and binds again as soon
// as it is back.
class PortalKeyboardTap final : public DesktopShortcut, public KeyboardTap
{
    Q_OBJECT

public:
    static inline const QString dictateId = QStringLiteral("dictate");
    static inline const QString cancelId = QStringLiteral("cancel");
    // Asked of the desktop when the settings hold a shortcut it cannot bind (a modifier held alone).
    static inline const QString defaultTrigger = QStringLiteral("CTRL+ALT+space");
    static inline const QString cancelTrigger = QStringLiteral("CTRL+ALT+z");

    explicit PortalKeyboardTap(QDBusConnection bus = QDBusConnection::sessionBus(),
                               QString sessionToken = QStringLiteral("parlune"));
    ~PortalKeyboardTap() override;

    // KeyboardTap. Installing asks the portal for a session; the tap is enabled once the desktop has
    // bound the shortcuts. Removing only stops delivering: the session, and the keys the desktop keeps
    // for us, stay until the tap is destroyed.
    bool install(Handler handler) override;
    void remove() override;
    bool isEnabled() const override;
    void setEnabled(bool enabled) override;
    // The dictation key among them is the one the desktop is asked to bind at the next session.
    void setSwallowedKeys(std::vector<SwallowedKey> keys) override;

    // DesktopShortcut.
    QString trigger() const override { return m_trigger; }
    QString problem() const override { return m_problem; }

    // The keys asked of the desktop for a shortcut of ours, in the portal's notation ("CTRL+ALT+space").
    QString preferredTrigger() const { return m_preferredTrigger; }
    bool hasSession() const { return !m_session.isEmpty(); }

    // What the portal's signals do, for the session `session`.
    void activated(const QString& session, const QString& shortcutId);
    void deactivated(const QString& session, const QString& shortcutId);
    void shortcutsChanged(const QString& session, const QVariantMap& triggers);
    void sessionClosed(const QString& session);

    // {id: trigger description} of a portal answer's "shortcuts" (a(sa{sv})).
    static QVariantMap triggersFrom(const QVariant& shortcuts);
    // The portal's notation of a key combination, or empty when the combination is a modifier alone.
    static QString portalTrigger(const SwallowedKey& key);

private Q_SLOTS:
    void onActivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                     const QVariantMap& options);
    void onDeactivated(const QDBusObjectPath& session, const QString& shortcutId, qulonglong timestamp,
                       const QVariantMap& options);
    void onShortcutsChanged(const QDBusMessage& message);
    void onSessionClosed(const QDBusMessage& message);

private:
    static QCoro::Task<> bind(QPointer<PortalKeyboardTap> self);
    void connectToPortal();
    void forgetSession(const QString& problem);
    void setState(const QString& trigger, const QString& problem);
    void deliver(EventType type, const Event& event);

    QDBusConnection m_bus;
    const QString m_sessionToken;
    QDBusServiceWatcher m_watcher;
    Handler m_handler;
    bool m_enabled = false;
    bool m_binding = false;
    QString m_session;
    QString m_preferredTrigger = defaultTrigger;
    QString m_trigger;
    QString m_problem;
    bool m_dictateDown = false;
};

} // namespace parlune
