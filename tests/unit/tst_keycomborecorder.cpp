// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyComboRecorder.h"

#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace parlune;

namespace {

constexpr quint64 capsLockFlag = 0x10000;

RecorderEvent down(quint16 keyCode, quint64 flags = 0)
{
    return {RecorderEvent::KeyDown, keyCode, flags};
}

RecorderEvent flags(quint16 keyCode, quint64 flags)
{
    return {RecorderEvent::FlagsChanged, keyCode, flags};
}

// A key as the X server delivers it: the X11 key code is the evdev code plus 8.
struct X11Key
{
    QEvent::Type type;
    quint32 evdev;
    Qt::KeyboardModifiers modifiers = {};

    QKeyEvent event() const { return QKeyEvent(type, 0, modifiers, evdev + 8, 0, 0); }
};

X11Key press(quint32 evdev, Qt::KeyboardModifiers modifiers = {})
{
    return {QEvent::KeyPress, evdev, modifiers};
}

X11Key release(quint32 evdev, Qt::KeyboardModifiers modifiers = {})
{
    return {QEvent::KeyRelease, evdev, modifiers};
}

class KeyCountingWindow : public QWindow
{
public:
    int keys = 0;

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
    void keyReleaseEvent(QKeyEvent*) override { ++keys; }
};

} // namespace

Q_DECLARE_METATYPE(QList<parlune::RecorderEvent>)
Q_DECLARE_METATYPE(QList<X11Key>)

class TestKeyComboRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sequences_data()
    {
        QTest::addColumn<QList<RecorderEvent>>("events");
        // What the recorder holds afterwards, and whether it was written.
        QTest::addColumn<KeyCombo>("expected");
        QTest::addColumn<bool>("written");
        QTest::addColumn<bool>("stillRecording");

        const KeyCombo fn = KeyCombo::defaultCombo();
        using namespace ModifierFlag;
        QTest::newRow("control-option-space")
            << QList{flags(59, control), flags(58, control | option), down(49, control | option)}
            << KeyCombo{49, control | option, false} << true << false;
        QTest::newRow("fn alone") << QList{flags(63, function), flags(63, 0)} << KeyCombo{63, 0, true} << true
                                  << false;
        QTest::newRow("right option alone")
            << QList{flags(61, option), flags(61, 0)} << KeyCombo{61, 0, true} << true << false;
        QTest::newRow("escape cancels") << QList{down(53)} << fn << false << false;
        QTest::newRow("escape with a modifier still cancels")
            << QList{flags(56, shift), down(53, shift)} << fn << false << false;
        QTest::newRow("caps lock is not a shortcut")
            << QList{flags(57, capsLockFlag), flags(57, 0)} << fn << false << true;
        QTest::newRow("shift then A records shift-A") << QList{flags(56, shift), down(0, shift), flags(56, 0)}
                                                      << KeyCombo{0, shift, false} << true << false;
        QTest::newRow("caps lock on adds nothing to a key")
            << QList{down(0, capsLockFlag | shift)} << KeyCombo{0, shift, false} << true << false;
        QTest::newRow("stray flag bits are masked")
            << QList{down(49, command | 0x100 | 0x2000000)} << KeyCombo{49, command, false} << true << false;
        QTest::newRow("the last modifier pressed is the candidate")
            << QList{flags(55, command), flags(56, command | shift), flags(56, command)}
            << KeyCombo{56, 0, true} << true << false;
        QTest::newRow("releasing an earlier modifier records nothing")
            << QList{flags(55, command), flags(56, command | shift), flags(55, shift)} << fn << false << true;
        QTest::newRow("a release without a press records nothing")
            << QList{flags(62, 0)} << fn << false << true;
    }

    void sequences()
    {
        QFETCH(QList<RecorderEvent>, events);
        QFETCH(KeyCombo, expected);
        QFETCH(bool, written);
        QFETCH(bool, stillRecording);

        KeyComboRecorder recorder;
        QSignalSpy recorded(&recorder, &KeyComboRecorder::recorded);
        recorder.click();
        QVERIFY(recorder.recording());
        for (const RecorderEvent& event : events) {
            // Every key event is swallowed while recording, whether it records or not.
            QVERIFY(recorder.handle(event));
            if (!recorder.recording())
                break;
        }
        QCOMPARE(recorder.combo(), expected);
        QCOMPARE(recorded.size(), written ? 1 : 0);
        QCOMPARE(recorder.recording(), stillRecording);
        if (!stillRecording)
            QVERIFY(!recorder.pendingModifier());
    }

    void restStateAndSecondClick()
    {
        KeyComboRecorder recorder;
        recorder.setCombo(KeyCombo{62, 0, true});
        QCOMPARE(recorder.label(), QStringLiteral("⌃ droite"));
        QCOMPARE(recorder.toolTip(), QStringLiteral("Cliquer pour changer"));

        recorder.click();
        QCOMPARE(recorder.label(), QStringLiteral("…"));
        QCOMPARE(recorder.toolTip(), QStringLiteral("Appuyez sur une touche (Échap pour annuler)"));
        QVERIFY(recorder.handle(flags(56, ModifierFlag::shift)));
        recorder.click();
        QVERIFY(!recorder.recording());
        QVERIFY(!recorder.pendingModifier());
        QCOMPARE(recorder.combo(), (KeyCombo{62, 0, true}));
        QCOMPARE(recorder.label(), QStringLiteral("⌃ droite"));
        // At rest nothing is taken from the window.
        QVERIFY(!recorder.handle(RecorderEvent{}));
    }

    // The window's own key events, as X11 key codes, through the recorder's hook.
    void windowKeysAreRecordedAndSwallowed_data()
    {
        QTest::addColumn<QList<X11Key>>("keys");
        QTest::addColumn<KeyCombo>("expected");
        // False: nothing recorded, still waiting.
        QTest::addColumn<bool>("recorded");

        using namespace ModifierFlag;
        QTest::newRow("control-shift-space") << QList{press(29), press(42, Qt::ControlModifier),
                                                      press(57, Qt::ControlModifier | Qt::ShiftModifier)}
                                             << KeyCombo{49, control | shift, false} << true;
        QTest::newRow("right control alone")
            << QList{press(97), release(97, Qt::ControlModifier)} << KeyCombo{62, 0, true} << true;
        QTest::newRow("alt-F2") << QList{press(60, Qt::AltModifier)} << KeyCombo{120, option, false} << true;
        // Shift stays down while either Shift key is held, so neither becomes the shortcut alone.
        QTest::newRow("both shift keys")
            << QList{press(42), press(54, Qt::ShiftModifier), release(42, Qt::ShiftModifier),
                     release(54, Qt::ShiftModifier)}
            << KeyCombo::defaultCombo() << false;
    }

    void windowKeysAreRecordedAndSwallowed()
    {
        QFETCH(QList<X11Key>, keys);
        QFETCH(KeyCombo, expected);
        QFETCH(bool, recorded);

        KeyCountingWindow window;
        KeyComboRecorder recorder;
        recorder.setWindow(&window);
        QVERIFY(!recorder.isMonitoring());
        recorder.click();
        QVERIFY(recorder.isMonitoring());
        for (const X11Key& key : keys) {
            QKeyEvent event = key.event();
            QCoreApplication::sendEvent(&window, &event);
        }
        QCOMPARE(window.keys, 0);
        QCOMPARE(recorder.combo(), expected);
        QCOMPARE(recorder.recording(), !recorded);
        QCOMPARE(recorder.isMonitoring(), !recorded);
        if (!recorded)
            return;

        // Back at rest the window gets its keys again.
        QKeyEvent space = press(57).event();
        QCoreApplication::sendEvent(&window, &space);
        QCOMPARE(window.keys, 1);
        QCOMPARE(recorder.combo(), expected);
    }

    void hidingTheWindowCancels()
    {
        QWindow window;
        KeyComboRecorder recorder;
        recorder.setWindow(&window);
        window.show();
        recorder.click();
        window.hide();
        QVERIFY(!recorder.recording());
        QVERIFY(!recorder.isMonitoring());
    }
};

QTEST_MAIN(TestKeyComboRecorder)
#include "tst_keycomborecorder.moc"
