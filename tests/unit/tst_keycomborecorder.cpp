// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/KeyComboRecorder.h"

#include <QKeyEvent>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

using namespace parlune;
using namespace parlune::ModifierFlag;

namespace {

// A key of the window as the X server delivers it, by its evdev code (the X11 key code less 8), with the
// modifiers held before it.
struct X11Key
{
    QEvent::Type type;
    quint32 evdev;
    Qt::KeyboardModifiers modifiers = {};
};
using Keys = QList<X11Key>;
constexpr QEvent::Type press = QEvent::KeyPress;
constexpr QEvent::Type release = QEvent::KeyRelease;
// The shortcut before recording; none of the rows records it.
const KeyCombo nothingRecorded{63, 0, true};

class KeyCountingWindow : public QWindow
{
public:
    int keys = 0;

    void type(const X11Key& key)
    {
        QKeyEvent event(key.type, 0, key.modifiers, key.evdev + 8, 0, 0);
        QCoreApplication::sendEvent(this, &event);
    }

protected:
    void keyPressEvent(QKeyEvent*) override { ++keys; }
    void keyReleaseEvent(QKeyEvent*) override { ++keys; }
};

} // namespace

Q_DECLARE_METATYPE(QList<X11Key>)

class TestKeyComboRecorder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void windowKeysAreRecordedAndSwallowed_data()
    {
        QTest::addColumn<Keys>("keys");
        QTest::addColumn<KeyCombo>("recorded");
        QTest::addColumn<bool>("stillRecording");

        const auto control = Qt::ControlModifier;
        const auto shift = Qt::ShiftModifier;
        const auto meta = Qt::MetaModifier;
        QTest::newRow("control-option-space")
            << Keys{{press, 29}, {press, 56, control}, {press, 57, control | Qt::AltModifier}}
            << KeyCombo{49, ModifierFlag::control | option, false} << false;
        QTest::newRow("right control alone")
            << Keys{{press, 97}, {release, 97, control}} << KeyCombo{62, 0, true} << false;
        QTest::newRow("escape cancels, even with a modifier")
            << Keys{{press, 42}, {press, 1, shift}} << nothingRecorded << false;
        QTest::newRow("the last modifier pressed is the candidate")
            << Keys{{press, 125}, {press, 42, meta}, {release, 42, meta | shift}} << KeyCombo{56, 0, true}
            << false;
        QTest::newRow("releasing an earlier modifier records nothing")
            << Keys{{press, 125}, {press, 42, meta}, {release, 125, meta | shift}} << nothingRecorded << true;
        // Shift stays down while either Shift key is held, so neither becomes the shortcut alone.
        QTest::newRow("both shift keys")
            << Keys{{press, 42}, {press, 54, shift}, {release, 42, shift}, {release, 54, shift}}
            << nothingRecorded << true;
    }

    void windowKeysAreRecordedAndSwallowed()
    {
        QFETCH(Keys, keys);
        QFETCH(KeyCombo, recorded);
        QFETCH(bool, stillRecording);

        KeyCountingWindow window;
        KeyComboRecorder recorder;
        QSignalSpy written(&recorder, &KeyComboRecorder::recorded);
        recorder.setCombo(nothingRecorded);
        recorder.setWindow(&window);
        recorder.click();
        for (const X11Key& key : keys)
            window.type(key);
        // Every key is swallowed while recording, whether it records or not.
        QCOMPARE(window.keys, 0);
        QCOMPARE(recorder.combo(), recorded);
        QCOMPARE(recorder.recording(), stillRecording);
        QCOMPARE(written.size(), recorded == nothingRecorded ? 0 : 1);
        if (!written.isEmpty())
            QCOMPARE(written.first().first().value<KeyCombo>(), recorded);
        // Back at rest the window gets its keys again.
        recorder.stopRecording();
        window.type({press, 57});
        QCOMPARE(window.keys, 1);
    }
};

QTEST_MAIN(TestKeyComboRecorder)
#include "tst_keycomborecorder.moc"
