// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeOutputMixer.h"
#include "ManualQueue.h"
#include "system/MediaController.h"

#include <QTest>

using namespace parlune;
using namespace std::chrono_literals;

using Writes = std::vector<std::pair<quint32, bool>>;

class MediaControllerTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyTheOutputMutedForTheDictationIsTouchedAndGetsItsStateBack_data()
    {
        QTest::addColumn<std::optional<quint32>>("defaultDevice");
        QTest::addColumn<bool>("mutedBefore");
        QTest::addColumn<int>("mutes");
        QTest::addColumn<double>("restoreAt");
        QTest::addColumn<Writes>("writes");
        const auto row = [](const char* name, std::optional<quint32> device, bool muted, int mutes, double at,
                            Writes writes) {
            QTest::newRow(name) << device << muted << mutes << at << writes;
        };
        row("playing before", 3, false, 1, 0.3, {{3, true}, {3, false}});
        row("muted before stays muted", 3, true, 1, 0.3, {{3, true}, {3, true}});
        // Had the second mute remembered "muted", the output would stay silent after the dictation.
        row("muted twice", 3, false, 2, 0.3, {{3, true}, {3, false}});
        row("dictation shorter than the delay", 3, false, 1, 0.29, {});
        row("no default output", std::nullopt, false, 1, 0.3, {});
    }

    void onlyTheOutputMutedForTheDictationIsTouchedAndGetsItsStateBack()
    {
        QFETCH(std::optional<quint32>, defaultDevice);
        QFETCH(bool, mutedBefore);
        QFETCH(int, mutes);
        QFETCH(double, restoreAt);
        QFETCH(Writes, writes);
        FakeOutputMixer mixer;
        mixer.defaultDevice = defaultDevice;
        mixer.mute = {{3, mutedBefore}, {7, false}};
        ManualQueue queue;
        MediaController media(mixer, queue);
        for (int i = 0; i < mutes; ++i)
            media.muteForRecording(0.3s);
        queue.advance(Seconds(restoreAt));
        // The output muted stays the one restored, whichever output is the default by now.
        mixer.defaultDevice = 7;
        bool completed = false;
        media.restore([&] { completed = true; });
        queue.advance(1s);
        QCOMPARE(mixer.writes, writes);
        // The completion runs on the main thread's event loop, after the output is back.
        QVERIFY(!completed);
        QTRY_VERIFY(completed);

        // The next dictation mutes as usual.
        media.muteForRecording(0s);
        queue.advance(0s);
        QCOMPARE(mixer.mute[7], true);
    }
};

QTEST_GUILESS_MAIN(MediaControllerTest)
#include "tst_mediacontroller.moc"
