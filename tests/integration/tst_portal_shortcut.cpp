// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland shortcut against a GlobalShortcuts portal the test plays on the session bus: which signals
// it heeds, and a portal that refuses or lacks the interface (the real desktop's part: tst_wayland_portals).
#include "FakePortal.h"
#include "input/KeyCombo.h"
#include "platform/portal/PortalKeyboardTap.h"

#include <QTest>

using namespace parlune;

namespace {

using Type = KeyboardTap::EventType;

// Records what reaches the tap's handler: "down" and "up".
KeyboardTap::Handler recorder(QStringList& events)
{
    return [&events](Type type, const KeyboardTap::Event&) {
        events << (type == Type::shortcutDown ? "down" : type == Type::shortcutUp ? "up" : "other");
        return true;
    };
}

} // namespace

class PortalShortcutTest : public QObject
{
    Q_OBJECT

    // Made before anything else touches D-Bus, as in the program, where it may be the first to.
    std::unique_ptr<PortalKeyboardTap> m_firstTap;

private Q_SLOTS:
    void initTestCase()
    {
        m_firstTap = std::make_unique<PortalKeyboardTap>();
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run inside scripts/session");
    }

    void bindsWhatItAsksAndHeedsOnlyItsSession()
    {
        FakePortal portal;
        PortalKeyboardTap& tap = *m_firstTap;
        tap.setSwallowedKeys({{49, ModifierFlag::control | ModifierFlag::option, false}, {53, 0, true}});
        QStringList events, after;
        QVERIFY(tap.install(recorder(events)));
        QTRY_VERIFY(tap.isEnabled());
        QCOMPARE(tap.trigger(), QStringLiteral("Ctrl+Alt+Space"));
        QCOMPARE(portal.shortcuts.preferredTriggers.value(QStringLiteral("dictate")), "CTRL+ALT+space");
        // One token from one start to the next: the desktop finds the user's own keys again.
        QVERIFY(portal.shortcuts.session.endsWith(QStringLiteral("/parlune")));

        // Another program's session, and a release without its press, do nothing.
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("dictate"),
                              Portal::path + "/session/1_1/x");
        portal.shortcuts.send(QStringLiteral("Deactivated"), QStringLiteral("dictate"));
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("dictate"));
        QTRY_COMPARE(events, QStringList{"down"});
        // Installed again mid-press (the watch timer does so when typing becomes allowed): the release
        // still arrives, on the same session.
        tap.remove();
        tap.install(recorder(after));
        portal.shortcuts.send(QStringLiteral("Deactivated"), QStringLiteral("dictate"));
        QTRY_COMPARE(after, QStringList{"up"});
        QCOMPARE(portal.shortcuts.sessionsCreated, 1);
        m_firstTap.reset();
    }

    void aPortalThatCannotBindSaysWhy_data()
    {
        QTest::addColumn<bool>("withGlobalShortcuts");
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("problemMentions");
        QTest::newRow("no GlobalShortcuts interface") << false << 0u << "Ctrl+Alt+Space"
                                                      << "GlobalShortcuts";
        QTest::newRow("the user refused") << true << uint(PortalResponse::cancelled) << "Ctrl+Alt+Space"
                                          << "refusé";
        QTest::newRow("no keys bound") << true << 0u << ""
                                       << "aucune touche";
    }

    void aPortalThatCannotBindSaysWhy()
    {
        QFETCH(bool, withGlobalShortcuts);
        QFETCH(uint, code);
        QFETCH(QString, trigger);
        QFETCH(QString, problemMentions);
        FakePortal portal(withGlobalShortcuts);
        portal.shortcuts.code = code;
        portal.shortcuts.trigger = trigger;
        PortalKeyboardTap tap;
        QStringList events;
        tap.install(recorder(events));
        QTRY_VERIFY(!tap.problem().isEmpty());
        QVERIFY2(tap.problem().contains(problemMentions), qPrintable(tap.problem()));
        QCOMPARE(tap.trigger(), QString());
    }
};

QTEST_GUILESS_MAIN(PortalShortcutTest)
#include "tst_portal_shortcut.moc"
