// SPDX-License-Identifier: GPL-3.0-or-later
// The keyboard on a real X server: the global shortcut, with keys sent through XTest while the text
// field of another process has the focus.
#include "input/GlobalHotkeys.h"
#include "platform/KeyCodes.h"
#include "platform/x11/X11KeyboardTap.h"

#include <QProcess>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace parlune;
using Type = KeyboardTap::EventType;

namespace {

constexpr quint16 letterA = 0, space = 49, capsLock = 57, leftOption = 58, leftCtrl = 59, rightCtrl = 62;
constexpr quint16 noKey = KeyboardTap::unmappedKeyCode;

// Keys going down (true) or up, in order.
using Keys = QList<std::pair<quint16, bool>>;

// The real tap, noting every event it delivers: the test knows when the tap has seen all it sent.
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
    std::optional<bool> isKeyDown(quint16 keyCode) override { return real.isKeyDown(keyCode); }
};

} // namespace

Q_DECLARE_METATYPE(Keys)

class X11KeyboardTest : public QObject
{
    Q_OBJECT

    QProcess m_field;
    QStringList m_fieldLines;
    Display* m_xtest = nullptr;
    RecordingTap m_tap;
    std::unique_ptr<GlobalHotkeys> m_hotkeys;
    QStringList m_calls;
    QStringList m_heard;

    static unsigned x11Keycode(quint16 key) { return *KeyCodes::x11ForVirtual(key); }
    static QString fieldPress(quint16 key) { return QStringLiteral("press %1").arg(x11Keycode(key)); }

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

    // Toggles Caps Lock on and off (minded by nothing) and waits until the tap and the field have seen it;
    // returns what the field received before, m_heard the shortcut's callbacks.
    QStringList settle()
    {
        tap(capsLock);
        tap(capsLock);
        const auto isMarker = [](const QString& line) { return line.startsWith(fieldPress(capsLock)); };
        if (!QTest::qWaitFor(
                [&] {
                    return std::count_if(m_fieldLines.begin(), m_fieldLines.end(), isMarker) == 2 &&
                           m_tap.events.count(std::pair{Type::flagsChanged, capsLock}) == 4;
                },
                5000))
            qWarning("the marker key did not come through");
        const QStringList before(m_fieldLines.begin(),
                                 std::find_if(m_fieldLines.begin(), m_fieldLines.end(), isMarker));
        m_fieldLines.clear();
        m_tap.events.clear();
        m_heard = std::exchange(m_calls, {});
        return before;
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

        auto record = [this](const char* name) {
            return [this, name] { m_calls << QString::fromLatin1(name); };
        };
        m_hotkeys = std::make_unique<GlobalHotkeys>(m_tap, KeyCombo{rightCtrl, 0, true}, record("press"),
                                                    record("release"), record("other"), record("escape"));
        m_hotkeys->start();
        QVERIFY(m_hotkeys->tap() && m_tap.isEnabled());
    }

    void cleanupTestCase()
    {
        m_hotkeys.reset();
        m_field.kill();
        m_field.waitForFinished();
        if (m_xtest)
            XCloseDisplay(m_xtest);
    }

    void init() { settle(); }

    // Left and right keys have key codes of their own: the hold ends when the shortcut's own key comes
    // up, whatever the other key of the pair did.
    void holdEndsWhenItsOwnKeyComesUp_data()
    {
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<QStringList>("heard");
        QTest::addColumn<QStringList>("typed");

        QTest::newRow("left Control first, as xdotool sends it: its release interrupts nothing")
            << Keys{{leftCtrl, true}, {rightCtrl, true}, {leftCtrl, false}, {rightCtrl, false}}
            << QStringList{"press", "release"} << QStringList();
        QTest::newRow("left Control pressed during the hold abandons it")
            << Keys{{rightCtrl, true}, {leftCtrl, true}, {leftCtrl, false}, {rightCtrl, false}}
            << QStringList{"press", "other", "release"} << QStringList();
        QTest::newRow("the left key alone is no shortcut, and other keys still type")
            << Keys{{leftCtrl, true}, {leftCtrl, false}, {rightCtrl, true},
                    {letterA, true},  {letterA, false},  {rightCtrl, false}}
            << QStringList{"press", "other", "release"} << QStringList{fieldPress(letterA)};
    }

    void holdEndsWhenItsOwnKeyComesUp()
    {
        QFETCH(Keys, keys);
        QFETCH(QStringList, heard);
        QFETCH(QStringList, typed);
        for (const auto& [virtualKeyCode, down] : keys)
            key(virtualKeyCode, down);
        QCOMPARE(settle(), typed);
        QCOMPARE(m_heard, heard);
    }

    // The release came while the tap had lost its connection: the keymap, asked by the watch timer, tells.
    void aReleaseTheTapMissedIsFoundInTheKeymap()
    {
        key(rightCtrl, true);
        settle();
        QCOMPARE(m_heard, QStringList{"press"});
        XKillClient(m_xtest, m_tap.real.connectionId());
        key(rightCtrl, false);
        // The tap enables itself again at once, on a new connection.
        QTRY_VERIFY(m_tap.events.contains(std::pair{Type::disabledByTimeout, noKey}));
        settle();
        QVERIFY(m_heard.isEmpty() && m_hotkeys->pressed());
        m_hotkeys->checkPressedKey();
        QCOMPARE(m_calls, QStringList{"release"});
    }

    // Taken by another program, the shortcut disables the tap; once freed, it is swallowed with its
    // repeats: the field in front sees none of it.
    void ordinaryShortcutTakenByAnotherProgramThenFreed()
    {
        const int spaceKeycode = int(x11Keycode(space));
        const Window root = DefaultRootWindow(m_xtest);
        XGrabKey(m_xtest, spaceKeycode, ControlMask | Mod1Mask, root, False, GrabModeAsync, GrabModeAsync);
        XSync(m_xtest, False);
        m_hotkeys->setCombo({space, ModifierFlag::control | ModifierFlag::option, false});
        settle();
        QVERIFY(m_hotkeys->tap() && !m_tap.isEnabled());

        XUngrabKey(m_xtest, spaceKeycode, ControlMask | Mod1Mask, root);
        XSync(m_xtest, False);
        // What the watch timer does every two seconds.
        m_tap.setEnabled(true);
        settle();
        // Control, Alt, then Space three times (the later ones auto-repeats), and all released.
        for (const quint16 down : {leftCtrl, leftOption, space, space, space})
            key(down, true);
        for (const quint16 up : {space, leftOption, leftCtrl})
            key(up, false);
        QCOMPARE(settle(), QStringList());
        QCOMPARE(m_heard, (QStringList{"press", "release"}));
        m_hotkeys->setCombo({rightCtrl, 0, true});
    }
};

QTEST_GUILESS_MAIN(X11KeyboardTest)
#include "tst_x11_keyboard.moc"
