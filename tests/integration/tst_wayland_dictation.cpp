// SPDX-License-Identifier: GPL-3.0-or-later
// Whole dictations on the private Wayland desktop (KWin, Xwayland, its portals) with the program's real
// services and panel: the test holds the desktop's shortcut on its own portal keyboard while recorded
// speech plays; a native Wayland field takes the words from the accessibility bus, a terminal gets them
// pasted and the clipboard copied before comes back whole.
#include "PortalKeyboard.h"
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "app/DesktopServices.h"
#include "platform/DisplaySession.h"
#include "platform/Pasteboard.h"
#include "platform/atspi/AtspiFocusedElement.h"
#include "speech/SpeechEngine.h"
#include "system/TextInjector.h"
#include "ui/QmlSetup.h"
#include "ui/RecordingHUD.h"
#include "ui/WindowPlatform.h"

#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QTemporaryDir>

using namespace parlune;
using K = PortalKeyboard;

namespace {

const QString goForward = QStringLiteral("/usr/share/pocketsphinx/test/data/goforward.raw");
const QString spoken = QStringLiteral("Go forward ten meters");

} // namespace

class WaylandDictationTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<PortalKeyboard> m_keyboard;
    std::unique_ptr<DesktopServices> m_desktop;
    std::unique_ptr<AppCoordinator> m_coordinator;
    QList<RecordingStatus> m_statuses;

    // Holds the desktop's dictation shortcut while the recording plays into the microphone, then lets go.
    bool dictate(const QString& recording)
    {
        m_statuses.clear();
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, true);
        const bool started = waitUntil([&] { return m_coordinator->isRecording(); }, 5000);
        const bool played = started && speakIntoMicrophone(recording);
        m_keyboard->chord({K::leftControl, K::leftAlt, K::space}, false);
        return played;
    }

private Q_SLOTS:
    void initTestCase()
    {
        PARLUNE_REQUIRE_WAYLAND_DESKTOP(
            displaySession() == DisplaySession::wayland &&
                QDBusConnection::sessionBus().interface()->isServiceRegistered(Portal::service),
            "a Wayland session and its portals");
        QVERIFY(writeDictationSettings());
        chooseQuickRenderer();
        m_keyboard = std::make_unique<PortalKeyboard>();
        QVERIFY(m_keyboard->isReady());

        m_desktop = std::make_unique<DesktopServices>();
        AppCoordinatorServices services = m_desktop->services();
        services.makeHud = [](AppCoordinator& coordinator) {
            return std::make_unique<RecordingHUD>(coordinator);
        };
        m_coordinator = std::make_unique<AppCoordinator>(std::move(services), true);
        connect(m_coordinator.get(), &AppCoordinator::statusChanged, this,
                [this] { m_statuses << m_coordinator->status(); });
        QTRY_VERIFY_WITH_TIMEOUT(m_coordinator->engine().readyFormat(Language::en), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(m_coordinator->shortcutReady(), 10000);
    }

    // No clipboard and no permission to type: the field takes the words at its caret, says so on the
    // bus, and the panel that showed meanwhile left it the focus.
    void nativeFieldTakesTheWordsStraight()
    {
        TestField field("line", {}, QStringLiteral("wayland"));
        QVERIFY(field.isReady());
        QVERIFY(!m_coordinator->accessibilityGranted());
        Pasteboard& clipboard = *m_desktop->services().pasteboard;
        const int changes = clipboard.changeCount();

        QVERIFY(dictate(goForward));
        QCOMPARE(field.waitForText(20000), spoken);
        QCOMPARE(AtspiFocusedElement().textBeforeCaret(64), spoken);
        QTRY_COMPARE_WITH_TIMEOUT(m_coordinator->status(), RecordingStatus::idle(), 5000);
        QCOMPARE(m_statuses,
                 (QList<RecordingStatus>{RecordingStatus::recording(), RecordingStatus::transcribing(),
                                         RecordingStatus::inserted(4), RecordingStatus::idle()}));
        QCOMPARE(m_coordinator->history().first().text, spoken);
        QCOMPARE(clipboard.changeCount(), changes);
    }

    // A terminal shows no editable text: once typing is allowed (the walkthrough's button), the words go
    // through the clipboard and Control+Shift+V, and every type copied before comes back byte for byte.
    void terminalGetsThePasteAndTheClipboardComesBack()
    {
        m_desktop->viewServices().requestAccessibility();
        QTRY_VERIFY_WITH_TIMEOUT(m_coordinator->accessibilityGranted(), 10000);
        SessionChild owner(QStringLiteral(PARLUNE_TEST_FIELD), {"copyfocused", "avant"},
                           TestField::onPlatform(QStringLiteral("wayland")));
        QVERIFY(owner.waitForLine("ready"));
        std::map<QString, QByteArray> before;
        QTRY_VERIFY_WITH_TIMEOUT((before = waylandClipboard()).count(QStringLiteral("image/png")), 10000);
        QVERIFY(before.size() >= 4);

        TestField terminal("terminal", {}, QStringLiteral("wayland"));
        QVERIFY(terminal.isReady());
        QVERIFY(dictate(goForward));
        QCOMPARE(terminal.waitForText(20000), spoken);
        QTRY_VERIFY_WITH_TIMEOUT(!waylandClipboard().count(TextInjector::transientType), 5000);
        QCOMPARE(waylandClipboard(), before);
    }
};

int main(int argc, char** argv)
{
    // The settings and the consent to type given here stay this test's: the tests that follow in the same
    // desktop start as a new user would.
    QTemporaryDir data;
    qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
    // As the program does: its windows (the panel) through Xwayland.
    WindowPlatform::chooseBeforeApplication();
    QGuiApplication application(argc, argv);
    WindowPlatform::restoreEnvironment();
    WaylandDictationTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_wayland_dictation.moc"
