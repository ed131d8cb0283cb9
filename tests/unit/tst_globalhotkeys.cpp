// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardTap.h"
#include "input/GlobalHotkeys.h"

#include <QTest>

using namespace parlune;
using Type = KeyboardTap::EventType;

namespace {

constexpr quint64 shift = ModifierFlag::shift;
constexpr quint64 ctrl = ModifierFlag::control;
constexpr quint64 opt = ModifierFlag::option;
constexpr quint64 cmd = ModifierFlag::command;
constexpr quint64 fn = ModifierFlag::function;
constexpr quint64 capsLock = 0x10000;
constexpr quint64 deviceBits = 0x2001; // left/right bits some keyboards add; not relevant

constexpr quint16 space = 49, escape = 53, letterA = 0, capsLockKey = 57;
constexpr quint16 rightCmd = 54, leftShift = 56, leftCtrl = 59, rightCtrl = 62, fnKey = 63;

// One event sent to the tap, with what must come of it: the callback it fires ("" for none) and
// whether the focused application is kept from seeing it.
struct Step
{
    Type type;
    KeyboardTap::Event event;
    QString callback;
    bool swallowed;
};
using Steps = QList<Step>;

Step down(quint16 key, quint64 flags, QString callback = {}, bool swallowed = false)
{
    return {Type::keyDown, {key, flags, false}, callback, swallowed};
}
Step repeat(quint16 key, quint64 flags, QString callback = {}, bool swallowed = false)
{
    return {Type::keyDown, {key, flags, true}, callback, swallowed};
}
Step up(quint16 key, quint64 flags, QString callback = {}, bool swallowed = false)
{
    return {Type::keyUp, {key, flags, false}, callback, swallowed};
}
Step flags(quint16 key, quint64 flags, QString callback = {})
{
    return {Type::flagsChanged, {key, flags, false}, callback, false};
}

// A shortcut as a test column. (KeyCombo itself would drag its label code into this test.)
struct Combo
{
    KeyCombo value;
    operator KeyCombo() const { return value; }
};

Combo modifierOnly(quint16 key)
{
    return {{key, 0, true}};
}
Combo ordinary(quint16 key, quint64 modifiers)
{
    return {{key, modifiers, false}};
}

} // namespace

using SwallowedKeys = std::vector<KeyboardTap::SwallowedKey>;
Q_DECLARE_METATYPE(Combo)
Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(SwallowedKeys)

class TestGlobalHotkeys : public QObject
{
    Q_OBJECT

private:
    FakeKeyboardTap m_tap;
    QStringList m_calls;

    std::unique_ptr<GlobalHotkeys> makeHotkeys(const KeyCombo& combo)
    {
        m_calls.clear();
        m_tap = FakeKeyboardTap();
        auto record = [this](const char* name) {
            return [this, name] { m_calls << QString::fromLatin1(name); };
        };
        return std::make_unique<GlobalHotkeys>(m_tap, combo, record("press"), record("release"),
                                               record("other"), record("escape"));
    }

private Q_SLOTS:
    void eventsGiveCallbacksAndSwallowing_data()
    {
        QTest::addColumn<Combo>("combo");
        QTest::addColumn<bool>("capturesEscape");
        QTest::addColumn<Steps>("steps");

        QTest::addRow("modifier alone: down and up pass through")
            << modifierOnly(rightCtrl) << false
            << Steps{flags(rightCtrl, ctrl, "press"), flags(rightCtrl, 0, "release")};
        QTest::addRow("fn alone: another key while held is reported and still typed")
            << modifierOnly(fnKey) << false
            << Steps{flags(fnKey, fn, "press"), down(letterA, fn, "other"), up(letterA, fn),
                     flags(fnKey, 0, "release")};
        QTest::addRow("a key without a code of ours is another key too")
            << modifierOnly(rightCtrl) << false
            << Steps{flags(rightCtrl, ctrl, "press"), down(KeyboardTap::unmappedKeyCode, ctrl, "other")};
        QTest::addRow("another key after the release is nothing")
            << modifierOnly(rightCtrl) << false
            << Steps{flags(rightCtrl, ctrl, "press"), flags(rightCtrl, 0, "release"), down(letterA, 0)};
        QTest::addRow("left key pressed during a right-hand hold")
            << modifierOnly(rightCtrl) << false
            << Steps{flags(rightCtrl, ctrl, "press"), flags(leftCtrl, ctrl, "other"),
                     // The right key goes up, but the left one still holds the shared flag.
                     flags(rightCtrl, ctrl), flags(leftCtrl, 0, "other"), flags(rightCtrl, ctrl),
                     flags(rightCtrl, 0, "release")};
        QTest::addRow("left key of the pair alone is not the shortcut")
            << modifierOnly(rightCmd) << false << Steps{flags(55, cmd), flags(55, 0)};
        QTest::addRow("other modifier during a hold, Caps Lock ignored")
            << modifierOnly(rightCtrl) << false
            << Steps{flags(rightCtrl, ctrl, "press"), flags(capsLockKey, ctrl | capsLock),
                     flags(leftShift, ctrl | shift, "other"), flags(leftShift, ctrl, "other"),
                     flags(rightCtrl, 0, "release")};
        QTest::addRow("a modifier-only shortcut on Caps Lock never fires")
            << modifierOnly(capsLockKey) << false
            << Steps{flags(capsLockKey, capsLock), down(letterA, capsLock), flags(capsLockKey, 0)};

        const Combo ctrlOptSpace = ordinary(space, ctrl | opt);
        QTest::addRow("ordinary: press, repeats and release are swallowed")
            << ctrlOptSpace << false
            << Steps{flags(leftCtrl, ctrl),
                     flags(58, ctrl | opt),
                     down(space, ctrl | opt, "press", true),
                     repeat(space, ctrl | opt, {}, true),
                     down(space, ctrl | opt, {}, true),
                     up(space, ctrl | opt, "release", true),
                     flags(58, ctrl),
                     flags(leftCtrl, 0)};
        QTest::addRow("ordinary: release after the modifiers still ends the press")
            << ctrlOptSpace << false
            << Steps{down(space, ctrl | opt, "press", true), flags(leftCtrl, opt), flags(58, 0),
                     up(space, 0, "release", true)};
        QTest::addRow("ordinary: Caps Lock and device bits do not change matching")
            << ctrlOptSpace << false
            << Steps{down(space, ctrl | opt | capsLock | deviceBits, "press", true),
                     up(space, capsLock, "release", true)};
        QTest::addRow("ordinary: missing or extra modifiers pass through")
            << ctrlOptSpace << false
            << Steps{down(space, ctrl),
                     up(space, ctrl),
                     down(space, ctrl | opt | shift),
                     down(space, ctrl | opt | cmd),
                     down(space, ctrl | opt | fn),
                     up(space, ctrl | opt)};
        QTest::addRow("ordinary: other keys while held pass through unreported")
            << ctrlOptSpace << false
            << Steps{down(space, ctrl | opt, "press", true), down(letterA, ctrl | opt),
                     up(letterA, ctrl | opt), flags(leftShift, ctrl | opt | shift),
                     up(space, ctrl | opt, "release", true)};
        QTest::addRow("ordinary: a repeat without a press is swallowed silently")
            << ctrlOptSpace << false << Steps{repeat(space, ctrl | opt, {}, true), up(space, ctrl | opt)};

        QTest::addRow("Escape passes through when not captured")
            << modifierOnly(rightCtrl) << false << Steps{down(escape, 0), up(escape, 0)};
        QTest::addRow("captured Escape is reported and swallowed, with any modifiers")
            << modifierOnly(rightCtrl) << true
            << Steps{down(escape, 0, "escape", true), up(escape, 0, {}, true),
                     down(escape, shift, "escape", true), up(escape, shift, {}, true)};
        QTest::addRow("captured Escape during a modifier hold is Escape, not another key")
            << modifierOnly(rightCtrl) << true
            << Steps{flags(rightCtrl, ctrl, "press"), down(escape, ctrl, "escape", true),
                     flags(rightCtrl, 0, "release")};
        QTest::addRow("Escape as the shortcut: captured, it cancels instead of pressing")
            << ordinary(escape, 0) << true << Steps{down(escape, 0, "escape", true), up(escape, 0, {}, true)};
        QTest::addRow("Escape as the shortcut: not captured, it presses")
            << ordinary(escape, 0) << false
            << Steps{down(escape, 0, "press", true), up(escape, 0, "release", true)};
    }

    void eventsGiveCallbacksAndSwallowing()
    {
        QFETCH(Combo, combo);
        QFETCH(bool, capturesEscape);
        QFETCH(Steps, steps);

        auto hotkeys = makeHotkeys(combo);
        hotkeys->setCapturesEscape(capturesEscape);
        hotkeys->start();
        for (qsizetype i = 0; i < steps.size(); ++i) {
            const Step& step = steps[i];
            m_calls.clear();
            const bool swallowed = m_tap.send(step.type, step.event);
            const QStringList expected = step.callback.isEmpty() ? QStringList() : QStringList{step.callback};
            if (m_calls != expected || swallowed != step.swallowed)
                QFAIL(qPrintable(QStringLiteral("event %1: got [%2] swallowed=%3, expected [%4] swallowed=%5")
                                     .arg(i)
                                     .arg(m_calls.join(u' '))
                                     .arg(swallowed)
                                     .arg(expected.join(u' '))
                                     .arg(step.swallowed)));
        }
    }

    void newComboForgetsThePress_data()
    {
        QTest::addColumn<Combo>("oldCombo");
        QTest::addColumn<Steps>("hold");
        QTest::addColumn<Steps>("afterChange");

        QTest::addRow("modifier to ordinary")
            << modifierOnly(rightCtrl) << Steps{flags(rightCtrl, ctrl)}
            << Steps{flags(rightCtrl, 0), down(space, ctrl | opt, "press", true)};
        QTest::addRow("ordinary to ordinary on the same key")
            << ordinary(space, ctrl)
            << Steps{down(space, ctrl)}
            // The held key's repeats do not press the new shortcut; its release is not reported.
            << Steps{repeat(space, ctrl | opt, {}, true), up(space, ctrl | opt),
                     down(space, ctrl | opt, "press", true)};
    }

    void newComboForgetsThePress()
    {
        QFETCH(Combo, oldCombo);
        QFETCH(Steps, hold);
        QFETCH(Steps, afterChange);

        auto hotkeys = makeHotkeys(oldCombo);
        hotkeys->start();
        for (const Step& step : hold)
            m_tap.send(step.type, step.event);
        QVERIFY(hotkeys->pressed());

        hotkeys->setCombo(ordinary(space, ctrl | opt));
        QVERIFY(!hotkeys->pressed());
        for (const Step& step : afterChange) {
            m_calls.clear();
            QCOMPARE(m_tap.send(step.type, step.event), step.swallowed);
            QCOMPARE(m_calls, step.callback.isEmpty() ? QStringList() : QStringList{step.callback});
        }
    }

    void swallowedKeysFollowComboAndEscape_data()
    {
        using Keys = SwallowedKeys;
        QTest::addColumn<Combo>("combo");
        QTest::addColumn<bool>("capturesEscape");
        QTest::addColumn<Keys>("expected");

        const KeyboardTap::SwallowedKey anyEscape{escape, 0, true};
        QTest::addRow("modifier alone swallows nothing") << modifierOnly(rightCtrl) << false << Keys{};
        QTest::addRow("ordinary, irrelevant bits dropped")
            << ordinary(space, ctrl | opt | capsLock | deviceBits) << false
            << Keys{{space, ctrl | opt, false}};
        QTest::addRow("captured Escape") << modifierOnly(rightCtrl) << true << Keys{anyEscape};
        QTest::addRow("both") << ordinary(space, cmd) << true << Keys{{space, cmd, false}, anyEscape};
    }

    void swallowedKeysFollowComboAndEscape()
    {
        using Keys = SwallowedKeys;
        QFETCH(Combo, combo);
        QFETCH(bool, capturesEscape);
        QFETCH(Keys, expected);

        // Announced before the tap exists, so that a tap installed later swallows them from the start.
        auto hotkeys = makeHotkeys(modifierOnly(fnKey));
        hotkeys->setCombo(combo);
        hotkeys->setCapturesEscape(capturesEscape);
        QVERIFY(m_tap.swallowedKeys() == expected);

        hotkeys->setCapturesEscape(false);
        hotkeys->setCombo(modifierOnly(rightCtrl));
        QVERIFY(m_tap.swallowedKeys().empty());
    }

    void tapLifecycle()
    {
        auto hotkeys = makeHotkeys(modifierOnly(rightCtrl));
        const Step press = flags(rightCtrl, ctrl);

        // Refused (no access to the display yet): inert and silent.
        m_tap.refuses = true;
        hotkeys->start();
        QVERIFY(!hotkeys->tap());
        QVERIFY(!m_tap.send(press.type, press.event));
        QVERIFY(m_calls.isEmpty());

        m_tap.refuses = false;
        hotkeys->start();
        hotkeys->start();
        QCOMPARE(hotkeys->tap(), &m_tap);
        QCOMPARE(m_tap.installCount(), 2);
        m_tap.send(press.type, press.event);
        QCOMPARE(m_calls, QStringList{"press"});

        // The system disables the tap: it comes back at once, without a new start().
        QVERIFY(!m_tap.disable());
        QVERIFY(m_tap.isEnabled());
        QCOMPARE(m_tap.installCount(), 2);
        m_tap.send(Type::flagsChanged, {rightCtrl, 0, false});
        QCOMPARE(m_calls, (QStringList{"press", "release"}));

        hotkeys->stop();
        QVERIFY(!hotkeys->tap());
        QVERIFY(!m_tap.isInstalled());
        hotkeys->start();
        hotkeys.reset();
        QVERIFY(!m_tap.isInstalled());
    }
};

QTEST_GUILESS_MAIN(TestGlobalHotkeys)
#include "tst_globalhotkeys.moc"
