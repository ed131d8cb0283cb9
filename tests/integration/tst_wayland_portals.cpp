// SPDX-License-Identifier: GPL-3.0-or-later
// The desktop's shortcuts on a real Wayland desktop (KWin and its portals, scripts/session --wayland),
// typed on the test's own portal keyboard; a held dictation is in tst_wayland_dictation.
#include "FakeDesktop.h"
#include "PortalKeyboard.h"
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "platform/DisplaySession.h"
#include "platform/portal/PortalKeySynth.h"
#include "platform/portal/PortalKeyboardTap.h"

#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace parlune;
using K = PortalKeyboard;

namespace {

bool running(const QString& name)
{
    return QDBusConnection::sessionBus().interface()->isServiceRegistered(name);
}

// Starts the portal again as the desktop would after a crash: KDE's backend, then the portal.
bool restartPortal()
{
    const auto start = [](const QString& program, const QString& name) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("wayland"));
        process.setProcessEnvironment(environment);
        process.setProgram(program);
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        return process.startDetached() && QTest::qWaitFor([&] { return running(name); }, 20000);
    };
    return start(QStringLiteral("/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"),
                 QStringLiteral("org.freedesktop.impl.portal.desktop.kde")) &&
           start(QStringLiteral("/usr/libexec/xdg-desktop-portal"), Portal::service);
}

} // namespace

class WaylandPortalsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PortalKeyboard> m_keyboard;

    void dictationKeys(bool down) { m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, down); }

private Q_SLOTS:
    void initTestCase()
    {
        PARLUNE_REQUIRE_WAYLAND_DESKTOP(displaySession() == DisplaySession::wayland &&
                                            running(Portal::service),
                                        "a Wayland session and its portals");
        m_keyboard = std::make_unique<PortalKeyboard>();
        QVERIFY(m_keyboard->isReady());
    }

    void aTapRecordsHandsFreeUntilTheDesktopsCancelShortcut()
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
        dictationKeys(true);
        QTRY_VERIFY(coordinator.isRecording());
        desktop.clock.advance(Seconds(0.1));
        dictationKeys(false);
        QTRY_VERIFY(coordinator.handsFree());
        // The desktop's cancel shortcut abandons it: nothing is transcribed (no "transcribing" status).
        m_keyboard->chord({K::leftControl, K::leftAlt, K::z}, true);
        m_keyboard->chord({K::leftControl, K::leftAlt, K::z}, false);
        QTRY_VERIFY(!coordinator.isRecording());
        QCOMPARE(coordinator.status(), RecordingStatus::idle());
    }

    void aRestartedPortalIsToldAndRecovered()
    {
        const QStringList pids = qEnvironmentVariable("PARLUNE_PORTAL_PIDS").split(u' ', Qt::SkipEmptyParts);
        QCOMPARE(pids.size(), 2);
        QTemporaryDir folder;
        PortalKeyboardTap tap;
        QStringList events;
        tap.install([&](KeyboardTap::EventType type, const KeyboardTap::Event&) {
            events << (type == KeyboardTap::EventType::shortcutDown ? "down" : "up");
            return true;
        });
        PortalKeySynth keys(folder.filePath(QStringLiteral("keyboard-consent")));
        keys.requestAccess();
        QTRY_VERIFY(tap.isEnabled() && keys.isTrusted());
        dictationKeys(true);
        QTRY_COMPARE(events, QStringList{"down"});

        // The portal stops, as after a crash, while the shortcut is held: both say so, and the release
        // the portal will never send is made up, so the gesture does not stay held.
        for (const QString& pid : pids)
            QCOMPARE(::kill(pid.toInt(), SIGTERM), 0);
        QTRY_VERIFY(!tap.problem().isEmpty() && !keys.isTrusted());
        QCOMPARE(events, (QStringList{"down", "up"}));
        QVERIFY(!keys.problem().isEmpty());
        dictationKeys(false);

        // Back: bound again, typing again, without asking.
        QVERIFY(restartPortal());
        QTRY_VERIFY_WITH_TIMEOUT(tap.isEnabled() && keys.isTrusted(), 10000);
        QCOMPARE(tap.problem(), QString());
        m_keyboard = std::make_unique<PortalKeyboard>(); // the old one went with the portal
        dictationKeys(true);
        dictationKeys(false);
        QTRY_COMPARE(events.size(), 4);
    }
};

QTEST_MAIN(WaylandPortalsTest)
#include "tst_wayland_portals.moc"
