// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeKeyboardTap.h"
#include "input/GlobalHotkeys.h"

#include <QTest>

using namespace parlune;
using Type = KeyboardTap::EventType;
using Swallowed = std::vector<KeyboardTap::SwallowedKey>;

namespace {

constexpr quint64 shift = ModifierFlag::shift, ctrl = ModifierFlag::control, opt = ModifierFlag::option;
constexpr quint64 capsLock = 0x10000;
constexpr quint64 deviceBits = 0x2001; // left/right bits some keyboards add; not relevant

constexpr quint16 space = 49, escape = 53, letterA = 0, leftOption = 58;
constexpr quint16 leftCtrl = 59, rightCtrl = 62;

// One event sent to the tap, with the callback it must fire ("" for none).
struct Step
{
    Type type;
    KeyboardTap::Event event;
    QString callback;
};
using Steps = QList<Step>;

const KeyCombo ctrlOptSpace{space, ctrl | opt, false};
const KeyCombo rightControl{rightCtrl, 0, true};

} // namespace

Q_DECLARE_METATYPE(Steps)
Q_DECLARE_METATYPE(Swallowed)

class TestGlobalHotkeys : public QObject
{
    Q_OBJECT

    FakeKeyboardTap m_tap;
    QStringList m_calls;

    static Step down(quint16 k, quint64 f, QString c = {}) { return {Type::keyDown, {k, f, false}, c}; }
    static Step repeat(quint16 k, quint64 f) { return {Type::keyDown, {k, f, true}, {}}; }
    static Step up(quint16 k, quint64 f, QString c = {}) { return {Type::keyUp, {k, f, false}, c}; }
    static Step flags(quint16 k, quint64 f, QString c = {}) { return {Type::flagsChanged, {k, f, false}, c}; }

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

    // Sends the steps one by one, each checked for the callback it fires.
    void play(const Steps& steps)
    {
        for (qsizetype i = 0; i < steps.size(); ++i) {
            m_calls.clear();
            m_tap.send(steps[i].type, steps[i].event);
            const QString calls = m_calls.join(u' ');
            QVERIFY2(calls == steps[i].callback,
                     qPrintable(QStringLiteral("event %1 gave [%2]").arg(i).arg(calls)));
        }
    }

private Q_SLOTS:
    // The keys announced to the tap are those the focused application never sees: the ordinary
    // shortcut with exactly its modifiers, and Escape with any while a dictation can be abandoned.
    void eventsGiveCallbacksAndTheShortcutIsSwallowed_data()
    {
        QTest::addColumn<KeyCombo>("combo");
        QTest::addColumn<bool>("capturesEscape");
        QTest::addColumn<Swallowed>("swallowed");
        QTest::addColumn<Steps>("steps");

        const Swallowed shortcut{{space, ctrl | opt, false}};
        QTest::addRow("ordinary: exactly its modifiers, Caps Lock and device bits aside")
            << ctrlOptSpace << false << shortcut
            << Steps{flags(leftCtrl, ctrl), down(space, ctrl), flags(leftOption, ctrl | opt),
                     down(space, ctrl | opt | shift),
                     down(space, ctrl | opt | capsLock | deviceBits, "press"),
                     // Repeats, flagged or not, are silent; other keys interrupt nothing.
                     repeat(space, ctrl | opt), down(space, ctrl | opt), down(letterA, ctrl | opt),
                     // The modifiers may come up first.
                     flags(leftCtrl, opt), flags(leftOption, 0), up(space, capsLock, "release"),
                     // A repeat or a release without a press says nothing.
                     repeat(space, ctrl | opt), up(space, ctrl | opt)};
        QTest::addRow(
            "Escape captured with any modifiers, even during a hold; a modifier shortcut is not swallowed")
            << rightControl << true << Swallowed{{escape, 0, true}}
            << Steps{down(escape, 0, "escape"),    up(escape, 0),    flags(rightCtrl, ctrl, "press"),
                     down(escape, ctrl, "escape"), up(escape, ctrl), flags(rightCtrl, 0, "release")};
    }

    void eventsGiveCallbacksAndTheShortcutIsSwallowed()
    {
        QFETCH(KeyCombo, combo);
        QFETCH(bool, capturesEscape);
        QFETCH(Swallowed, swallowed);
        QFETCH(Steps, steps);
        auto hotkeys = makeHotkeys(combo);
        hotkeys->start();
        // Escape is captured while a dictation records, long after the start.
        hotkeys->setCapturesEscape(capturesEscape);
        QCOMPARE(m_tap.swallowedKeys(), swallowed);
        play(steps);
        // Once the dictation is over, Escape reaches the applications again.
        hotkeys->setCapturesEscape(false);
        QCOMPARE(m_tap.swallowedKeys(), capturesEscape ? Swallowed() : swallowed);
    }
};

QTEST_GUILESS_MAIN(TestGlobalHotkeys)
#include "tst_globalhotkeys.moc"
