// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland shortcut and paste keystroke against a portal the test plays on the session bus: what the
// program asks of the desktop, how it reads the portal's signals, and how it lives through a portal that
// refuses, lacks an interface or goes away.
#include "FakePortal.h"
#include "input/KeyCombo.h"
#include "platform/portal/PortalKeySynth.h"
#include "platform/portal/PortalKeyboardTap.h"
#include "store/AtomicFile.h"

#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

Q_DECLARE_METATYPE(parlune::PasteChord)

namespace {

using Type = KeyboardTap::EventType;

// What reaches the tap's handler, one word per event.
struct Recorder
{
    QStringList events;
    KeyboardTap::Handler handler()
    {
        return [this](Type type, const KeyboardTap::Event& event) {
            switch (type) {
            case Type::shortcutDown:
                events << QStringLiteral("down");
                break;
            case Type::shortcutUp:
                events << QStringLiteral("up");
                break;
            case Type::keyDown:
                events << QStringLiteral("key%1").arg(event.keyCode);
                break;
            case Type::keyUp:
                events << QStringLiteral("key%1-up").arg(event.keyCode);
                break;
            default:
                events << QStringLiteral("other");
            }
            return true;
        };
    }
};

const KeyboardTap::SwallowedKey controlOptionSpace{49, ModifierFlag::control | ModifierFlag::option, false};

} // namespace

class PortalShortcutTest : public QObject
{
    Q_OBJECT

    // Made before anything else of the program touches D-Bus, as in the program itself.
    std::unique_ptr<PortalKeyboardTap> m_firstTap;

private Q_SLOTS:
    void initTestCase() { m_firstTap = std::make_unique<PortalKeyboardTap>(); }

    void init()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus: run inside scripts/session");
    }

    void asksForTheShortcutAndTheCancelKeys()
    {
        FakePortal portal;
        PortalKeyboardTap& tap = *m_firstTap;
        tap.setSwallowedKeys({controlOptionSpace, {53, 0, true}});
        Recorder recorder;
        QVERIFY(tap.install(recorder.handler()));
        QTRY_COMPARE(tap.trigger(), QStringLiteral("Ctrl+Alt+Space"));
        QCOMPARE(tap.problem(), QString());
        QVERIFY(tap.isEnabled());
        QCOMPARE(portal.shortcuts.preferredTriggers.value(QStringLiteral("dictate")).toString(),
                 QStringLiteral("CTRL+ALT+space"));
        QCOMPARE(portal.shortcuts.preferredTriggers.value(QStringLiteral("cancel")).toString(),
                 PortalKeyboardTap::cancelTrigger);
        // The session keeps its token from one start to the next: the desktop finds the user's keys again.
        QVERIFY(portal.shortcuts.session.endsWith(QStringLiteral("/parlune")));
        // The user picks other keys in the desktop's settings: they are shown at once.
        portal.shortcuts.rebind(QStringLiteral("Meta+D"));
        QTRY_COMPARE(tap.trigger(), QStringLiteral("Meta+D"));
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("dictate"));
        QTRY_COMPARE(recorder.events, QStringList{"down"});
        m_firstTap.reset();
    }

    void portalSignalsBecomePressAndRelease_data()
    {
        QTest::addColumn<QStringList>("signals");
        QTest::addColumn<QStringList>("events");
        // "A:id" Activated, "D:id" Deactivated, a trailing "!" for another program's session.
        QTest::newRow("held: the repeats are dropped")
            << QStringList{"A:dictate", "A:dictate", "A:dictate", "D:dictate"} << QStringList{"down", "up"};
        QTest::newRow("two taps") << QStringList{"A:dictate", "D:dictate", "A:dictate", "D:dictate"}
                                  << QStringList{"down", "up", "down", "up"};
        QTest::newRow("a release without its press") << QStringList{"D:dictate"} << QStringList{};
        QTest::newRow("another session's shortcut")
            << QStringList{"A:dictate!", "D:dictate!"} << QStringList{};
        QTest::newRow("cancel arrives as Escape")
            << QStringList{"A:cancel", "D:cancel"} << QStringList{"key53", "key53-up"};
        QTest::newRow("an id of no shortcut of ours") << QStringList{"A:other", "D:other"} << QStringList{};
    }

    void portalSignalsBecomePressAndRelease()
    {
        QFETCH(QStringList, signals);
        QFETCH(QStringList, events);
        FakePortal portal;
        PortalKeyboardTap tap;
        Recorder recorder;
        tap.install(recorder.handler());
        QTRY_VERIFY(tap.isEnabled());
        for (QString signal : signals) {
            const bool foreign = signal.endsWith(QLatin1Char('!'));
            signal.remove(QLatin1Char('!'));
            portal.shortcuts.send(signal.startsWith(QLatin1Char('A')) ? QStringLiteral("Activated")
                                                                      : QStringLiteral("Deactivated"),
                                  signal.mid(2),
                                  foreign ? Portal::path + QStringLiteral("/session/1_1/theirs") : QString());
        }
        // A marker after them, so that every signal above has been read.
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("cancel"));
        QTRY_VERIFY(recorder.events.contains(QStringLiteral("key53")) &&
                    recorder.events.last() == QStringLiteral("key53"));
        recorder.events.removeLast();
        QCOMPARE(recorder.events, events);
    }

    void aTapInstalledAgainDuringAPressStillHearsItsRelease()
    {
        FakePortal portal;
        PortalKeyboardTap tap;
        Recorder before, after;
        tap.install(before.handler());
        QTRY_VERIFY(tap.isEnabled());
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("dictate"));
        QTRY_COMPARE(before.events, QStringList{"down"});
        // The watch timer installs the tap again when typing becomes allowed, maybe mid-press.
        tap.remove();
        tap.install(after.handler());
        QVERIFY(tap.isEnabled());
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("dictate"));
        portal.shortcuts.send(QStringLiteral("Deactivated"), QStringLiteral("dictate"));
        QTRY_COMPARE(after.events, QStringList{"up"});
        QCOMPARE(portal.shortcuts.sessionsCreated, 1);
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
        QTest::newRow("the desktop failed") << true << uint(PortalResponse::ended) << "Ctrl+Alt+Space"
                                            << "pas pu";
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
        Recorder recorder;
        tap.install(recorder.handler());
        QTRY_VERIFY(!tap.problem().isEmpty());
        QVERIFY2(tap.problem().contains(problemMentions), qPrintable(tap.problem()));
        QCOMPARE(tap.trigger(), QString());
    }

    void bindsAgainWhenThePortalComesBack()
    {
        FakePortal portal;
        PortalKeyboardTap tap;
        Recorder recorder;
        tap.install(recorder.handler());
        QTRY_VERIFY(tap.isEnabled());
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("dictate"));
        QTRY_COMPARE(recorder.events, QStringList{"down"});

        // Gone while the shortcut is held: the release it will never send is made up, so the gesture
        // does not stay held.
        QVERIFY(portal.stop());
        QTRY_VERIFY(!tap.problem().isEmpty());
        QVERIFY(!tap.isEnabled());
        QCOMPARE(recorder.events, (QStringList{"down", "up"}));

        QVERIFY(portal.start());
        QTRY_COMPARE(portal.shortcuts.sessionsCreated, 2);
        QTRY_VERIFY(tap.isEnabled());
        QCOMPARE(tap.problem(), QString());
        portal.shortcuts.send(QStringLiteral("Activated"), QStringLiteral("dictate"));
        QTRY_COMPARE(recorder.events.size(), 3);

        // A session the portal closes by itself is opened again at once.
        portal.shortcuts.closeSession();
        QTRY_COMPARE(portal.shortcuts.sessionsCreated, 3);
        QTRY_VERIFY(tap.isEnabled());
    }

    void pasteChordThroughTheKeyboardDevice_data()
    {
        QTest::addColumn<PasteChord>("chord");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("Control+V") << PasteChord::controlV
                                   << QStringList{"29 down", "47 down", "47 up", "29 up"};
        QTest::newRow("Control+Shift+V for terminals")
            << PasteChord::controlShiftV
            << QStringList{"29 down", "42 down", "47 down", "47 up", "42 up", "29 up"};
    }

    void pasteChordThroughTheKeyboardDevice()
    {
        QFETCH(PasteChord, chord);
        QFETCH(QStringList, keys);
        QTemporaryDir folder;
        const QString consent = folder.filePath(QStringLiteral("keyboard-consent"));
        FakePortal portal;
        PortalKeySynth synth(consent);
        // Nobody asked yet: nothing is opened, and nothing can be typed.
        synth.resume();
        QVERIFY(!synth.isTrusted());
        QVERIFY(!synth.postPaste(chord));

        synth.requestAccess();
        QTRY_VERIFY(synth.isTrusted());
        QCOMPARE(portal.remoteDesktop.selected.value(QStringLiteral("types")).toUInt(), 1u);
        QCOMPARE(portal.remoteDesktop.selected.value(QStringLiteral("persist_mode")).toUInt(), 2u);
        QVERIFY(synth.postPaste(chord));
        QTRY_COMPARE(portal.remoteDesktop.keys, keys);

        // The consent is remembered with the portal's token: the next start opens the session by itself,
        // and hands the token back so that the desktop need not ask again.
        QCOMPARE(readWholeFile(consent).value_or(QByteArray()), QByteArray("token-1"));
        PortalKeySynth nextStart(consent);
        portal.remoteDesktop.selected.clear();
        nextStart.resume();
        QTRY_VERIFY(nextStart.isTrusted());
        QCOMPARE(portal.remoteDesktop.selected.value(QStringLiteral("restore_token")).toString(),
                 QStringLiteral("token-1"));
    }

    void refusedTypingIsToldAndNotRemembered()
    {
        QTemporaryDir folder;
        const QString consent = folder.filePath(QStringLiteral("keyboard-consent"));
        FakePortal portal;
        portal.remoteDesktop.code = PortalResponse::cancelled;
        PortalKeySynth synth(consent);
        synth.requestAccess();
        QTRY_VERIFY(!synth.problem().isEmpty());
        QVERIFY(synth.problem().contains(QStringLiteral("refusé")));
        QVERIFY(!synth.isTrusted());
        QVERIFY(!synth.hasConsent());

        // Asked again, and allowed this time.
        portal.remoteDesktop.code = PortalResponse::success;
        synth.requestAccess();
        QTRY_VERIFY(synth.isTrusted());
        QCOMPARE(synth.problem(), QString());
    }
};

QTEST_GUILESS_MAIN(PortalShortcutTest)
#include "tst_portal_shortcut.moc"
