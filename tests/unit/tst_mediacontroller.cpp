// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeOutputMixer.h"
#include "ManualQueue.h"
#include "system/MediaController.h"

#include <QMutex>
#include <QTest>
#include <QThread>

using namespace parlune;
using namespace std::chrono_literals;

using Writes = std::vector<std::pair<quint32, bool>>;

class MediaControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void restorePutsBackThePreviousState_data()
    {
        QTest::addColumn<bool>("mutedBefore");
        QTest::newRow("playing before") << false;
        QTest::newRow("already muted before stays muted") << true;
    }

    void restorePutsBackThePreviousState()
    {
        QFETCH(bool, mutedBefore);
        FakeOutputMixer mixer;
        mixer.defaultDevice = 3;
        mixer.mute[3] = mutedBefore;
        ManualQueue queue;
        MediaController media(mixer, queue);

        media.muteForRecording(0.3s);
        queue.advance(0.29s);
        QVERIFY(mixer.writes.empty());
        queue.advance(0.01s);
        QCOMPARE(mixer.mute[3], true);

        bool completed = false;
        media.restore([&] { completed = true; });
        queue.advance(0s);
        QCOMPARE(mixer.mute[3], mutedBefore);
        QCOMPARE(mixer.writes, (Writes{{3, true}, {3, mutedBefore}}));
        // The completion runs on the main thread's event loop, after the output is back.
        QVERIFY(!completed);
        QTRY_VERIFY(completed);
    }

    void restoreUnmutesTheDeviceMutedEvenAfterTheDefaultChanged()
    {
        FakeOutputMixer mixer;
        mixer.defaultDevice = 3;
        mixer.mute = {{3, false}, {7, false}};
        ManualQueue queue;
        MediaController media(mixer, queue);

        media.muteForRecording(0s);
        queue.advance(0s);
        mixer.defaultDevice = 7;
        media.restore();
        queue.advance(0s);
        QCOMPARE(mixer.writes, (Writes{{3, true}, {3, false}}));
    }

    void secondMuteKeepsTheFirstRememberedState()
    {
        FakeOutputMixer mixer;
        mixer.defaultDevice = 3;
        mixer.mute[3] = false;
        ManualQueue queue;
        MediaController media(mixer, queue);

        media.muteForRecording(0s);
        media.muteForRecording(0s);
        queue.advance(0s);
        media.restore();
        queue.advance(0s);
        // Had the second mute remembered "muted", the output would stay silent after the dictation.
        QCOMPARE(mixer.mute[3], false);
        QCOMPARE(mixer.writes, (Writes{{3, true}, {3, false}}));
    }

    void outputWithoutMuteSwitchIsLeftAloneAndTheCompletionStillRuns_data()
    {
        QTest::addColumn<bool>("hasDefault");
        QTest::newRow("no mute switch") << true;
        QTest::newRow("no default output") << false;
    }

    void outputWithoutMuteSwitchIsLeftAloneAndTheCompletionStillRuns()
    {
        QFETCH(bool, hasDefault);
        FakeOutputMixer mixer;
        if (hasDefault)
            mixer.defaultDevice = 5;
        ManualQueue queue;
        MediaController media(mixer, queue);

        media.muteForRecording(0s);
        bool completed = false;
        media.restore([&] { completed = true; });
        queue.advance(1s);
        QVERIFY(mixer.writes.empty());
        QTRY_VERIFY(completed);
    }

    // A dictation shorter than the mute delay must not leave the output muted behind it.
    void restoreCallsOffAMuteStillWaiting()
    {
        FakeOutputMixer mixer;
        mixer.defaultDevice = 3;
        mixer.mute[3] = false;
        ManualQueue queue;
        MediaController media(mixer, queue);

        media.muteForRecording(0.3s);
        queue.advance(0.1s);
        media.restore();
        queue.advance(1s);
        QVERIFY(mixer.writes.empty());

        // The next dictation mutes as usual.
        media.muteForRecording(0s);
        queue.advance(0s);
        QCOMPARE(mixer.mute[3], true);
    }

    void workerRunsStepsOffTheMainThreadInDueOrder()
    {
        WorkerQueue queue(MediaController::queueLabel);
        QStringList order;
        QString threadName;
        QMutex mutex;
        queue.post(0.05s, [&] {
            QMutexLocker lock(&mutex);
            order << QStringLiteral("later");
        });
        queue.post(0s, [&] {
            QMutexLocker lock(&mutex);
            order << QStringLiteral("now");
            threadName = QThread::currentThread()->objectName();
        });
        QTRY_COMPARE_WITH_TIMEOUT(
            [&] {
                QMutexLocker lock(&mutex);
                return order;
            }(),
            (QStringList{"now", "later"}), 2000);
        QCOMPARE(threadName, QStringLiteral("Parlune.media"));
    }
};

QTEST_GUILESS_MAIN(MediaControllerTest)
#include "tst_mediacontroller.moc"
