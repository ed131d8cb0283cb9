// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"
#include "app/ShortcutGesture.h"

#include <QTest>

using namespace parlune;
using Action = ShortcutGesture::Action;

Q_DECLARE_METATYPE(ShortcutGesture::Action)

class TestShortcutGesture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void releaseDecidesBetweenTapAndHold_data()
    {
        QTest::addColumn<double>("heldSeconds");
        QTest::addColumn<Action>("expected");
        QTest::addColumn<bool>("handsFree");

        QTest::newRow("quick tap") << 0.05 << Action::ignore << true;
        QTest::newRow("just under the threshold") << 0.299 << Action::ignore << true;
        QTest::newRow("exactly the threshold") << 0.3 << Action::finish << false;
        QTest::newRow("a long hold") << 12.0 << Action::finish << false;
    }

    void releaseDecidesBetweenTapAndHold()
    {
        QFETCH(double, heldSeconds);
        QFETCH(Action, expected);
        QFETCH(bool, handsFree);

        FakeClock clock;
        ShortcutGesture gesture;
        gesture.pressedAt = clock.now();
        clock.advance(Seconds(heldSeconds));

        QCOMPARE(gesture.release(clock.now()), expected);
        QCOMPARE(gesture.handsFree, handsFree);
        QVERIFY(!gesture.pressedAt);
    }

    void releaseWithoutARecordedPressDoesNothing()
    {
        // For example the press that finished a hands-free dictation, or a refused start.
        FakeClock clock;
        ShortcutGesture gesture;
        QCOMPARE(gesture.release(clock.now()), Action::ignore);
        QVERIFY(!gesture.handsFree);
        QVERIFY(!gesture.interrupted);
    }

    void otherKeyCancelsOnceAndSilencesTheRelease()
    {
        FakeClock clock;
        ShortcutGesture gesture;
        gesture.pressedAt = clock.now();
        clock.advance(Seconds(0.5));

        QCOMPARE(gesture.otherKey(), Action::cancel);
        QCOMPARE(gesture.otherKey(), Action::ignore);
        clock.advance(Seconds(0.5));
        QCOMPARE(gesture.release(clock.now()), Action::ignore);
        QVERIFY(!gesture.handsFree);
    }

    void otherKeyDuringHandsFreeIsIgnored()
    {
        // A hands-free dictation runs with the shortcut up: typing must not abandon it.
        FakeClock clock;
        ShortcutGesture gesture;
        gesture.pressedAt = clock.now();
        clock.advance(Seconds(0.1));
        QCOMPARE(gesture.release(clock.now()), Action::ignore);
        QVERIFY(gesture.handsFree);

        QCOMPARE(gesture.otherKey(), Action::ignore);
        QVERIFY(!gesture.interrupted);
    }

    void tapThenPressAgainLeavesTheSecondReleaseWithoutEffect()
    {
        FakeClock clock;
        ShortcutGesture gesture;
        gesture.pressedAt = clock.now();
        clock.advance(Seconds(0.2));
        QCOMPARE(gesture.release(clock.now()), Action::ignore);

        // The second press finishes the dictation: it records no press instant.
        gesture.reset();
        clock.advance(Seconds(2));
        QCOMPARE(gesture.release(clock.now()), Action::ignore);
        QVERIFY(!gesture.handsFree);
    }
};

QTEST_GUILESS_MAIN(TestShortcutGesture)
#include "tst_shortcutgesture.moc"
