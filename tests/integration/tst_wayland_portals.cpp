// SPDX-License-Identifier: GPL-3.0-or-later
// The shortcut and the paste keystroke on a real Wayland desktop (KWin and its portals, inside
// scripts/session --wayland): the test types on its own portal keyboard, so the compositor sees real
// key events and the desktop's shortcuts fire as they would for a user.
#include "FakeDesktop.h"
#include "PortalKeyboard.h"
#include "SessionChild.h"
#include "app/DesktopServices.h"
#include "platform/DisplaySession.h"
#include "platform/portal/PortalKeySynth.h"
#include "platform/portal/PortalKeyboardTap.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace parlune;

namespace {

using Type = KeyboardTap::EventType;
using K = PortalKeyboard;

// How long a user holds the shortcut: long enough for the desktop to start repeating it.
constexpr int holdMilliseconds = 1000;

bool portalRunning()
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(Portal::service);
}

// Starts the two portal processes again, as the desktop would after a crash: KDE's backend first.
bool restartPortal()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
    QProcess backend;
    backend.setProcessEnvironment(environment);
    backend.setProgram(QStringLiteral("/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"));
    backend.setStandardOutputFile(QProcess::nullDevice());
    backend.setStandardErrorFile(QProcess::nullDevice());
    if (!backend.startDetached())
        return false;
    if (!QTest::qWaitFor(
            [] {
                return QDBusConnection::sessionBus().interface()->isServiceRegistered(
                    QStringLiteral("org.freedesktop.impl.portal.desktop.kde"));
            },
            20000))
        return false;
    QProcess portal;
    portal.setProgram(QStringLiteral("/usr/libexec/xdg-desktop-portal"));
    portal.setStandardOutputFile(QProcess::nullDevice());
    portal.setStandardErrorFile(QProcess::nullDevice());
    return portal.startDetached() && QTest::qWaitFor(portalRunning, 20000);
}

} // namespace

class WaylandPortalsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PortalKeyboard> m_keyboard;

    void holdShortcut(int milliseconds)
    {
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, true);
        QTest::qWait(milliseconds);
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, false);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (displaySession() != DisplaySession::wayland || !portalRunning())
            QSKIP("needs the Wayland desktop of scripts/session --wayland");
        m_keyboard = std::make_unique<PortalKeyboard>();
        QVERIFY(m_keyboard->isReady());
    }

    void theProgramChoosesThePortals()
    {
        DesktopServices desktop;
        const AppCoordinatorServices services = desktop.services();
        QVERIFY(dynamic_cast<PortalKeyboardTap*>(services.keyboardTap));
        QVERIFY(dynamic_cast<PortalKeySynth*>(services.keySynth));
        QVERIFY(services.desktopShortcut);
        QCOMPARE(KeyCombo::defaultCombo(),
                 (KeyCombo{49, ModifierFlag::control | ModifierFlag::option, false}));
    }

    void aHeldShortcutIsOnePressAndOneRelease()
    {
        PortalKeyboardTap tap;
        QStringList events;
        tap.install([&](Type type, const KeyboardTap::Event&) {
            events << (type == Type::shortcutDown ? QStringLiteral("down")
                       : type == Type::shortcutUp ? QStringLiteral("up")
                                                  : QStringLiteral("other"));
            return true;
        });
        QTRY_VERIFY(tap.isEnabled());
        QCOMPARE(tap.trigger(), QStringLiteral("Ctrl+Alt+Space"));

        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, true);
        QTRY_COMPARE(events, QStringList{"down"});
        // The desktop repeats the shortcut while it is held; none of that reaches the handler.
        QTest::qWait(holdMilliseconds);
        QCOMPARE(events, QStringList{"down"});
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, false);
        QTRY_COMPARE(events, (QStringList{"down", "up"}));
    }

    void tapAndHoldThroughTheGesture()
    {
        QTemporaryDir folder;
        FakeDesktop desktop(folder.path());
        PortalKeyboardTap tap;
        AppCoordinatorServices services = desktop.services();
        services.keyboardTap = &tap;
        services.desktopShortcut = &tap;
        AppCoordinator coordinator(std::move(services), true);
        QTRY_VERIFY(coordinator.shortcutReady());
        QCOMPARE(coordinator.shortcutLabel(), QStringLiteral("Ctrl+Alt+Space"));

        // A tap shorter than 0.3 s keeps recording hands-free.
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, true);
        QTRY_VERIFY(coordinator.isRecording());
        desktop.clock.advance(Seconds(0.1));
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, false);
        QTRY_VERIFY(coordinator.handsFree());
        QVERIFY(coordinator.isRecording());

        // The desktop's cancel shortcut abandons it.
        m_keyboard->chord({K::leftControl, K::leftAlt, K::z}, true);
        m_keyboard->chord({K::leftControl, K::leftAlt, K::z}, false);
        QTRY_VERIFY(!coordinator.isRecording());
        QCOMPARE(coordinator.status().kind(), RecordingStatus::Idle);

        // Held 0.3 s or longer: the release finishes the dictation.
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, true);
        QTRY_VERIFY(coordinator.isRecording());
        desktop.clock.advance(Seconds(0.5));
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, false);
        QTRY_VERIFY(!coordinator.isRecording());
        QVERIFY(!coordinator.handsFree());
    }

    void thePasteChordReachesANativeWaylandField()
    {
        const QString copied = QStringLiteral("collé depuis le presse-papier");
        qputenv("QT_QPA_PLATFORM", "wayland");
        // The field puts the text on the clipboard itself: a Wayland desktop takes a copy only from the
        // application in front.
        SessionChild owner(QStringLiteral(PARLUNE_TEST_FIELD), {QStringLiteral("line"), copied});
        QVERIFY(owner.waitForLine("ready").has_value());

        QTemporaryDir folder;
        PortalKeySynth keys(folder.filePath(QStringLiteral("keyboard-consent")));
        keys.requestAccess();
        QTRY_VERIFY(keys.isTrusted());
        QVERIFY(keys.postPaste(PasteChord::controlV));
        QCOMPARE(QString::fromUtf8(QByteArray::fromBase64(owner.waitForLine("text ").value_or(""))), copied);
    }

    void aRestartedPortalIsToldAndRecovered()
    {
        const QStringList pids =
            qEnvironmentVariable("PARLUNE_PORTAL_PIDS").split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (pids.size() != 2)
            QSKIP("the portals' PIDs are not known");
        QTemporaryDir folder;
        PortalKeyboardTap tap;
        QStringList events;
        tap.install([&](Type type, const KeyboardTap::Event&) {
            events << (type == Type::shortcutDown ? QStringLiteral("down") : QStringLiteral("up"));
            return true;
        });
        PortalKeySynth keys(folder.filePath(QStringLiteral("keyboard-consent")));
        keys.requestAccess();
        QTRY_VERIFY(tap.isEnabled() && keys.isTrusted());

        // The portal and its backend stop, as after a crash: both say so, nothing breaks.
        for (const QString& pid : pids)
            QCOMPARE(::kill(pid.toInt(), SIGTERM), 0);
        QTRY_VERIFY_WITH_TIMEOUT(!portalRunning(), 10000);
        QTRY_VERIFY(!tap.problem().isEmpty());
        QTRY_VERIFY(!keys.isTrusted());
        QVERIFY(!keys.problem().isEmpty());
        QVERIFY(!keys.postPaste(PasteChord::controlV));

        // Back: the shortcut is bound again and typing resumes, without asking.
        QVERIFY(restartPortal());
        QTRY_VERIFY_WITH_TIMEOUT(tap.isEnabled(), 10000);
        QCOMPARE(tap.problem(), QString());
        QTRY_VERIFY(keys.isTrusted());
        // The test's own keyboard went with the old portal.
        m_keyboard = std::make_unique<PortalKeyboard>();
        QVERIFY(m_keyboard->isReady());
        holdShortcut(100);
        QTRY_COMPARE(events, (QStringList{"down", "up"}));
    }
};

QTEST_MAIN(WaylandPortalsTest)
#include "tst_wayland_portals.moc"
