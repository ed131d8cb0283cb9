// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardTap.h"
#include "input/GlobalHotkeys.h"

#include <QTest>

using namespace parlune;
using Type = KeyboardTap::EventType;

namespace {

constexpr quint64 shift = ModifierFlag::shift, ctrl = ModifierFlag::control, opt = ModifierFlag::option;
constexpr quint64 capsLock = 0x10000;
constexpr quint64 deviceBits = 0x2001; // left/right bits some keyboards add; not relevant

constexpr quint16 space = 49, escape = 53, letterA = 0, leftOption = 58;
constexpr quint16 leftCtrl = 59, rightCtrl = 62;

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

// The desktop recognised the shortcut itself (Wayland): no key, only down or up.
Step desktop(Type type, QString callback = {}, bool swallowed = false)
{
    return {type, {}, callback, swallowed};
}

const KeyCombo ctrlOptSpace{space, ctrl | opt, false};

KeyCombo modifierOnly(quint16 key)
{
    return {key, 0, true};
}

} // namespace

Q_DECLARE_METATYPE(Steps)

class TestGlobalHotkeys : public QObject
{
    Q_OBJECT

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

    // Sends the steps one by one, each checked for the callback it fires and whether it is swallowed.
    void play(const Steps& steps)
    {
        for (qsizetype i = 0; i < steps.size(); ++i) {
            m_calls.clear();
            const bool swallowed = m_tap.send(steps[i].type, steps[i].event);
            const QString calls = m_calls.join(u' ');
            QVERIFY2(
                calls == steps[i].callback && swallowed == steps[i].swallowed,
                qPrintable(
                    QStringLiteral("event %1 gave [%2]%3").arg(i).arg(calls, swallowed ? " swallowed" : "")));
        }
    }

private Q_SLOTS:
    void eventsGiveCallbacksAndSwallowing_data()
    {
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<bool>("capturesEscape");
        QTest::addColumn<Steps>("steps");

        QTest::addRow("the left key alone is not the right-hand shortcut, but another key during its hold")
            << modifierOnly(rightCtrl) << false
            << Steps{flags(leftCtrl, ctrl), flags(leftCtrl, 0), flags(rightCtrl, ctrl, "press"),
                     flags(leftCtrl, ctrl, "other"),
                     // The right key goes up, but the left one still holds the shared flag.
                     flags(rightCtrl, ctrl), flags(leftCtrl, 0, "other"), flags(rightCtrl, ctrl),
                     flags(rightCtrl, 0, "release")};

        QTest::addRow("ordinary: press, repeats and release are swallowed")
            << ctrlOptSpace << false
            << Steps{flags(leftCtrl, ctrl), flags(leftOption, ctrl | opt),
                     down(space, ctrl | opt, "press", true),
                     // Repeats, flagged or not.
                     repeat(space, ctrl | opt, {}, true), down(space, ctrl | opt, {}, true),
                     up(space, ctrl | opt, "release", true), flags(leftOption, ctrl), flags(leftCtrl, 0)};
        QTest::addRow("ordinary: Caps Lock and device bits ignored, other modifiers pass, modifiers up first")
            << ctrlOptSpace << false
            << Steps{down(space, ctrl), down(space, ctrl | opt | shift),
                     down(space, ctrl | opt | capsLock | deviceBits, "press", true),
                     down(letterA, ctrl | opt), flags(leftCtrl, opt), flags(leftOption, 0),
                     up(space, capsLock, "release", true),
                     // A repeat without a press is swallowed silently.
                     repeat(space, ctrl | opt, {}, true), up(space, ctrl | opt)};
        QTest::addRow("recognised by the desktop: one press, repeats silent, one release")
            << ctrlOptSpace << false
            << Steps{desktop(Type::shortcutUp), desktop(Type::shortcutDown, "press", true),
                     desktop(Type::shortcutDown, {}, true), desktop(Type::shortcutUp, "release", true),
                     desktop(Type::shortcutUp)};
        QTest::addRow("captured Escape is reported and swallowed, with any modifiers, even during a hold")
            << modifierOnly(rightCtrl) << true
            << Steps{down(escape, 0, "escape", true), up(escape, 0, {}, true),
                     flags(rightCtrl, ctrl, "press"), down(escape, ctrl, "escape", true),
                     up(escape, ctrl, {}, true),      flags(rightCtrl, 0, "release")};
    }

    void eventsGiveCallbacksAndSwallowing()
    {
        QFETCH(KeyCombo, combo);
        QFETCH(bool, capturesEscape);
        QFETCH(Steps, steps);
        auto hotkeys = makeHotkeys(combo);
        hotkeys->setCapturesEscape(capturesEscape);
        hotkeys->start();
        play(steps);
    }

    void tapRefusedDisabledAndRemoved()
    {
        auto hotkeys = makeHotkeys(modifierOnly(rightCtrl));
        // Refused (no access to the display yet): inert and silent.
        m_tap.refuses = true;
        hotkeys->start();
        QVERIFY(!hotkeys->tap());
        play({flags(rightCtrl, ctrl)});

        m_tap.refuses = false;
        hotkeys->start();
        hotkeys->start();
        QCOMPARE(hotkeys->tap(), &m_tap);
        play({flags(rightCtrl, ctrl, "press")});

        // The system disables the tap: it comes back at once, without a new start().
        QVERIFY(!m_tap.disable());
        QVERIFY(m_tap.isEnabled());
        QCOMPARE(m_tap.installCount(), 2);
        play({flags(rightCtrl, 0, "release")});

        hotkeys->stop();
        QVERIFY(!hotkeys->tap() && !m_tap.isInstalled());
        hotkeys->start();
        hotkeys.reset();
        QVERIFY(!m_tap.isInstalled());
    }
};

QTEST_GUILESS_MAIN(TestGlobalHotkeys)
#include "tst_globalhotkeys.moc"
