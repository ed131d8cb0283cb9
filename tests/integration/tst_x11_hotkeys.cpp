// SPDX-License-Identifier: GPL-3.0-or-later
// The global shortcut on a real X server, with keys sent through XTest while the text field of
// another process has the focus.
#include "input/GlobalHotkeys.h"
#include "platform/InputAccess.h"
#include "platform/KeyCodes.h"
#include "platform/x11/X11KeyboardTap.h"

#include <QProcess>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

using namespace parlune;
using Type = KeyboardTap::EventType;

namespace {

constexpr quint16 space = 49, escape = 53, letterA = 0, letterX = 7;
constexpr quint16 leftCtrl = 59, leftOption = 58, rightCtrl = 62;

unsigned x11Keycode(quint16 virtualKeyCode)
{
    return *KeyCodes::x11ForVirtual(virtualKeyCode);
}

// Passes the real tap through and writes down every event it delivers, so that the test knows when
// the tap has seen everything it sent.
class RecordingTap final : public KeyboardTap
{
public:
    X11KeyboardTap real;
    QList<std::pair<Type, quint16>> events;

    bool install(Handler handler) override
    {
        return real.install([this, handler](Type type, const Event& event) {
            events.append({type, event.keyCode});
            return handler(type, event);
        });
    }
    void remove() override { real.remove(); }
    bool isEnabled() const override { return real.isEnabled(); }
    void setEnabled(bool enabled) override { real.setEnabled(enabled); }
    void setSwallowedKeys(std::vector<SwallowedKey> keys) override { real.setSwallowedKeys(std::move(keys)); }
};

} // namespace

class TestX11Hotkeys : public QObject
{
    Q_OBJECT

private:
    QProcess m_field;
    QStringList m_fieldLines;
    Display* m_xtest = nullptr;
    RecordingTap m_tap;
    std::unique_ptr<GlobalHotkeys> m_hotkeys;
    QStringList m_calls;

    void key(quint16 virtualKeyCode, bool down)
    {
        XTestFakeKeyEvent(m_xtest, x11Keycode(virtualKeyCode), down, CurrentTime);
        XFlush(m_xtest);
    }
    void tap(quint16 virtualKeyCode)
    {
        key(virtualKeyCode, true);
        key(virtualKeyCode, false);
    }
    QString fieldPress(quint16 virtualKeyCode) const
    {
        return QStringLiteral("press %1").arg(x11Keycode(virtualKeyCode));
    }

    // Types a marker key and waits until both the tap and the field have seen it: everything sent
    // before has then been handled. Returns what the field received before the marker.
    QStringList settle()
    {
        tap(letterX);
        const bool seen = QTest::qWaitFor(
            [this] {
                return m_fieldLines.contains(fieldPress(letterX)) &&
                       m_tap.events.contains(std::pair{Type::keyUp, letterX});
            },
            5000);
        if (!seen)
            qWarning("the marker key did not come through");
        QStringList before = m_fieldLines.mid(0, m_fieldLines.indexOf(fieldPress(letterX)));
        m_fieldLines.clear();
        m_tap.events.clear();
        return before;
    }

    void useShortcut(const KeyCombo& combo)
    {
        m_hotkeys->setCombo(combo);
        settle();
        m_calls.clear();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "run inside scripts/session");
        m_xtest = XOpenDisplay(nullptr);
        QVERIFY(m_xtest);

        connect(&m_field, &QProcess::readyReadStandardOutput, this, [this] {
            while (m_field.canReadLine())
                m_fieldLines << QString::fromUtf8(m_field.readLine()).trimmed();
        });
        m_field.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_field.start(QStringLiteral(TEXT_FIELD_PATH), {});
        QTRY_VERIFY_WITH_TIMEOUT(m_fieldLines.contains(QStringLiteral("ready")), 10000);
        m_fieldLines.clear();

        auto record = [this](const char* name) {
            return [this, name] { m_calls << QString::fromLatin1(name); };
        };
        m_hotkeys = std::make_unique<GlobalHotkeys>(m_tap, KeyCombo{rightCtrl, 0, true}, record("press"),
                                                    record("release"), record("other"), record("escape"));
        m_hotkeys->start();
        QVERIFY(m_hotkeys->tap());
        QVERIFY(m_tap.isEnabled());
    }

    void cleanupTestCase()
    {
        m_hotkeys.reset();
        m_field.kill();
        m_field.waitForFinished();
        if (m_xtest)
            XCloseDisplay(m_xtest);
    }

    void init()
    {
        m_hotkeys->setCapturesEscape(false);
        useShortcut({rightCtrl, 0, true});
    }

    void accessNeedsTheDisplay()
    {
        QVERIFY(InputAccess::system().isTrusted());
        const QByteArray display = qgetenv("DISPLAY");
        qputenv("DISPLAY", ":4093");
        const bool trustedWithoutDisplay = InputAccess::system().isTrusted();
        qputenv("DISPLAY", display);
        QVERIFY(!trustedWithoutDisplay);
    }

    void rightControlAloneIsPressAndRelease()
    {
        key(rightCtrl, true);
        key(rightCtrl, false);
        QCOMPARE(settle(), QStringList());
        QCOMPARE(m_calls, (QStringList{"press", "release"}));
    }

    void otherKeyDuringModifierHoldStillTypes()
    {
        key(rightCtrl, true);
        tap(letterA);
        key(rightCtrl, false);
        QCOMPARE(settle(), QStringList{fieldPress(letterA)});
        QCOMPARE(m_calls, (QStringList{"press", "other", "release"}));
    }

    void ordinaryShortcutIsSwallowedWithItsRepeats()
    {
        useShortcut({space, ModifierFlag::control | ModifierFlag::option, false});
        key(leftCtrl, true);
        key(leftOption, true);
        key(space, true);
        key(space, true);
        key(space, true);
        key(space, false);
        key(leftOption, false);
        key(leftCtrl, false);
        QCOMPARE(settle(), QStringList());
        QCOMPARE(m_calls, (QStringList{"press", "release"}));

        // Space with Control only is not the shortcut: the field gets it.
        key(leftCtrl, true);
        tap(space);
        key(leftCtrl, false);
        QCOMPARE(settle(), QStringList{fieldPress(space)});
        QVERIFY(m_calls == (QStringList{"press", "release"}));
    }

    void shortcutSurvivesKeyboardMappingChange()
    {
        useShortcut({space, ModifierFlag::control | ModifierFlag::option, false});
        // Give a spare key code a new symbol: every client hears of a keyboard mapping change.
        KeySym symbol = XK_F35;
        XChangeKeyboardMapping(m_xtest, 250, 1, &symbol, 1);
        XSync(m_xtest, False);
        settle();

        key(leftCtrl, true);
        key(leftOption, true);
        tap(space);
        key(leftOption, false);
        key(leftCtrl, false);
        QCOMPARE(settle(), QStringList());
        QCOMPARE(m_calls, (QStringList{"press", "release"}));
        QVERIFY(m_tap.isEnabled());
    }

    void shortcutTakenByAnotherProgramDisablesTheTapUntilFreed()
    {
        const unsigned spaceKeycode = x11Keycode(space);
        const Window root = DefaultRootWindow(m_xtest);
        XGrabKey(m_xtest, int(spaceKeycode), ControlMask | Mod1Mask, root, False, GrabModeAsync,
                 GrabModeAsync);
        XSync(m_xtest, False);

        useShortcut({space, ModifierFlag::control | ModifierFlag::option, false});
        QVERIFY(m_hotkeys->tap());
        QVERIFY(!m_tap.isEnabled());

        XUngrabKey(m_xtest, int(spaceKeycode), ControlMask | Mod1Mask, root);
        XSync(m_xtest, False);
        // What the watch timer does every two seconds.
        m_tap.setEnabled(true);
        QVERIFY(m_tap.isEnabled());

        key(leftCtrl, true);
        key(leftOption, true);
        tap(space);
        key(leftOption, false);
        key(leftCtrl, false);
        QCOMPARE(settle(), QStringList());
        QCOMPARE(m_calls, (QStringList{"press", "release"}));
    }

    void escapeReachesFieldUnlessCaptured_data()
    {
        QTest::addColumn<bool>("captured");
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("fieldSeesEscape");
        QTest::addRow("not captured") << false << QStringList() << true;
        QTest::addRow("captured") << true << QStringList{"escape"} << false;
    }

    void escapeReachesFieldUnlessCaptured()
    {
        QFETCH(bool, captured);
        QFETCH(QStringList, calls);
        QFETCH(bool, fieldSeesEscape);

        m_hotkeys->setCapturesEscape(captured);
        tap(escape);
        // With Shift too: a captured Escape is swallowed whatever the modifiers.
        key(56, true);
        tap(escape);
        key(56, false);
        const QStringList field = settle();
        QCOMPARE(field.count(fieldPress(escape)), fieldSeesEscape ? 2 : 0);
        QCOMPARE(m_calls, calls + calls);
    }

    void lostConnectionComesBack()
    {
        const unsigned long connection = m_tap.real.connectionId();
        QVERIFY(connection);
        XKillClient(m_xtest, connection);
        XSync(m_xtest, False);
        // The tap hears of the loss, reports itself disabled, and the hotkeys enable it again at once.
        QTRY_VERIFY_WITH_TIMEOUT(
            m_tap.events.contains(std::pair{Type::disabledByTimeout, KeyboardTap::unmappedKeyCode}), 5000);
        QVERIFY(m_tap.isEnabled());
        settle();

        key(rightCtrl, true);
        key(rightCtrl, false);
        QCOMPARE(settle(), QStringList());
        QCOMPARE(m_calls, (QStringList{"press", "release"}));
    }
};

QTEST_GUILESS_MAIN(TestX11Hotkeys)
#include "tst_x11_hotkeys.moc"
