// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioRecorder.h"

#include "FakeAudioInput.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <QCoro/QCoroTask>

#include <thread>

using namespace parlune;

namespace {

const AudioFormat kMono16k{16000, 1};

AudioBufferPtr constant(AudioFormat format, quint32 frames, float channel0, float others = 0)
{
    auto buffer = std::make_shared<AudioBuffer>(format, frames);
    for (quint32 i = 0; i < frames; ++i)
        for (quint32 c = 0; c < format.channelCount; ++c)
            buffer->samples()[std::size_t(i) * format.channelCount + c] = c == 0 ? channel0 : others;
    buffer->setFrameLength(frames);
    return buffer;
}

void runPostedTasks()
{
    QCoreApplication::sendPostedEvents();
}

// A recorder on fake captures that remembers what it handed out.
struct Rig
{
    FakeAudioInputFactory inputs;
    AudioRecorder recorder{inputs.factory()};
    std::vector<float> levels;
    std::vector<Error> errors;
    std::vector<AudioBufferPtr> buffers;

    Rig()
    {
        recorder.setOnLevel([this](float level) { levels.push_back(level); });
        recorder.setOnError([this](const Error& error) { errors.push_back(error); });
    }

    AudioRecorder::BufferCallback collect()
    {
        return [this](const AudioBufferPtr& buffer) { buffers.push_back(buffer); };
    }

    void start(AudioFormat format = kMono16k)
    {
        QVERIFY(!recorder.start(format, collect()));
        QVERIFY(recorder.isRecording());
    }

    // A setup change that stops the capture, told on the main thread.
    void change(bool stopsCapture = true)
    {
        inputs.last().changeConfiguration(stopsCapture);
        runPostedTasks();
    }
};

} // namespace

class AudioRecorderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void levelIsTwentyTimesTheRmsOfTheFirstChannel_data()
    {
        QTest::addColumn<AudioFormat>("format");
        QTest::addColumn<float>("channel0");
        QTest::addColumn<float>("others");
        QTest::addColumn<float>("level");
        QTest::newRow("silence") << kMono16k << 0.0f << 0.0f << 0.0f;
        QTest::newRow("0.01") << kMono16k << 0.01f << 0.0f << 0.2f;
        QTest::newRow("-0.01") << kMono16k << -0.01f << 0.0f << 0.2f;
        QTest::newRow("0.05 reaches the top") << kMono16k << 0.05f << 0.0f << 1.0f;
        QTest::newRow("louder is capped") << kMono16k << 0.5f << 0.0f << 1.0f;
        QTest::newRow("stereo: the loud second channel is not heard")
            << AudioFormat{48000, 2} << 0.01f << 0.9f << 0.2f;
        QTest::newRow("stereo: a silent first channel") << AudioFormat{48000, 2} << 0.0f << 0.9f << 0.0f;
    }
    void levelIsTwentyTimesTheRmsOfTheFirstChannel()
    {
        QFETCH(AudioFormat, format);
        QFETCH(float, channel0);
        QFETCH(float, others);
        QFETCH(float, level);
        // 2047 frames: the frames left over after the groups of four count too.
        for (quint32 frames : {2048u, 2047u, 1u}) {
            const auto measured = AudioRecorder::level(*constant(format, frames, channel0, others));
            QVERIFY(measured);
            QVERIFY2(std::abs(*measured - level) < 1e-5f, qPrintable(QString::number(*measured)));
        }
    }

    void levelFollowsTheRmsNotThePeak()
    {
        auto buffer = constant(kMono16k, 2048, 0);
        buffer->samples()[0] = 0.5f; // one click in silence: RMS 0.011
        QVERIFY(std::abs(*AudioRecorder::level(*buffer) - 20 * 0.5f / std::sqrt(2048.0f)) < 1e-5f);
    }

    void emptyBufferHasNoLevelButStillGoesOn()
    {
        Rig rig;
        rig.start();
        auto empty = std::make_shared<AudioBuffer>(kMono16k, 2048);
        QCOMPARE(AudioRecorder::level(*empty), std::nullopt);
        QVERIFY(rig.inputs.last().deliver(empty));
        runPostedTasks();
        QVERIFY(rig.levels.empty());
        QCOMPARE(rig.buffers.size(), 1u);
        QCOMPARE(rig.buffers[0], empty);
    }

    void levelReachesTheMainThreadInALaterTurn()
    {
        Rig rig;
        rig.start();
        Qt::HANDLE levelThread = nullptr;
        rig.recorder.setOnLevel([&](float level) {
            levelThread = QThread::currentThreadId();
            rig.levels.push_back(level);
        });
        std::thread capture([&] { rig.inputs.last().deliver(constant(kMono16k, 2048, 0.01f)); });
        capture.join();
        QVERIFY(rig.levels.empty());
        QCOMPARE(rig.buffers.size(), 1u);
        runPostedTasks();
        QCOMPARE(rig.levels.size(), 1u);
        QCOMPARE(levelThread, QThread::currentThreadId());
    }

    void buffersAreConvertedForTheOwnerOnTheCaptureThread()
    {
        Rig rig;
        rig.inputs.configure = [](FakeAudioInput& input) { input.format = {48000, 2}; };
        Qt::HANDLE bufferThread = nullptr;
        QVERIFY(!rig.recorder.start(kMono16k, [&](const AudioBufferPtr& buffer) {
            bufferThread = QThread::currentThreadId();
            rig.buffers.push_back(buffer);
        }));
        Qt::HANDLE captureThread = nullptr;
        std::thread capture([&] {
            captureThread = QThread::currentThreadId();
            for (int i = 0; i < 3; ++i)
                rig.inputs.last().deliver(constant({48000, 2}, 2048, 0.1f, 0.1f));
        });
        capture.join();
        QVERIFY(!rig.buffers.empty());
        for (const auto& buffer : rig.buffers)
            QCOMPARE(buffer->format(), kMono16k);
        QCOMPARE(bufferThread, captureThread);
        QCOMPARE(rig.inputs.last().tapFrames, 2048u);
        // The capture is asked for its own format at the start.
        QCOMPARE(rig.inputs.last().tapFormats, (std::vector<std::optional<AudioFormat>>{std::nullopt}));
    }

    void startWhileRecordingKeepsTheFirstCapture()
    {
        Rig rig;
        rig.start();
        bool secondCalled = false;
        QVERIFY(!rig.recorder.start({48000, 2}, [&](const AudioBufferPtr&) { secondCalled = true; }));
        QCOMPARE(rig.inputs.made.size(), 1u);
        QCOMPARE(rig.recorder.resampler()->targetFormat(), kMono16k);
        rig.inputs.last().deliver(constant(kMono16k, 2048, 0));
        QVERIFY(!secondCalled);
        QCOMPARE(rig.buffers.size(), 1u);
    }

    void stopEndsTheCaptureAndKeepsTheOwnersCallbacks()
    {
        Rig rig;
        rig.recorder.stop(); // idle: nothing to do
        QVERIFY(rig.inputs.made.empty());
        rig.start();
        auto& input = rig.inputs.last();
        const auto resampler = rig.recorder.resampler();
        rig.recorder.stop();
        QVERIFY(!rig.recorder.isRecording());
        QVERIFY(!rig.recorder.engine() && !rig.recorder.configurationObserver() && !rig.recorder.onBuffer());
        QVERIFY(!input.hasTap() && !input.isRunning());
        QCOMPARE(input.observerCount(), 0u);
        QCOMPARE(rig.recorder.resampler(), resampler);
        QVERIFY(rig.recorder.onLevel() && rig.recorder.onError());
        rig.recorder.stop();
        QCOMPARE(input.stopCount, 1);
    }

    void failedStartLeavesNothingBehind()
    {
        Rig rig;
        const Error refused{"Parlune.PulseAudio", 1, "Le serveur de son est injoignable."};
        rig.inputs.configure = [&](FakeAudioInput& input) {
            if (rig.inputs.made.empty())
                input.startErrors = {{1, refused}};
        };
        QCOMPARE(rig.recorder.start(kMono16k, rig.collect()), std::optional<Error>(refused));
        auto& failed = rig.inputs.last();
        QVERIFY(!rig.recorder.isRecording());
        QVERIFY(!rig.recorder.engine() && !rig.recorder.configurationObserver());
        QVERIFY(!failed.hasTap() && !failed.isRunning());
        QCOMPARE(failed.observerCount(), 0u);
        QVERIFY(rig.recorder.resampler() && rig.recorder.onBuffer());
        QCOMPARE(failed.prepareCount, 1);

        rig.start();
        QCOMPARE(rig.inputs.made.size(), 2u);
        QVERIFY(rig.inputs.last().deliver(constant(kMono16k, 2048, 0)));
        QCOMPARE(rig.buffers.size(), 1u);
    }

    void changeFindingTheCaptureStoppedRestartsIt()
    {
        Rig rig;
        rig.start();
        auto& input = rig.inputs.last();
        input.format = {44100, 2};
        rig.change();
        QCOMPARE(rig.recorder.restartAttempts(), 1);
        QVERIFY(input.isRunning());
        QVERIFY(rig.errors.empty());
        // Restarted on the format there is now, without preparing again.
        QCOMPARE(input.tapFormats.back(), std::optional<AudioFormat>(AudioFormat{44100, 2}));
        QCOMPARE(input.prepareCount, 1);
        QCOMPARE(input.startCount, 2);
        QVERIFY(input.deliver(constant({44100, 2}, 4096, 0.01f)));
        QVERIFY(!rig.buffers.empty());
        QCOMPARE(rig.buffers.back()->format(), kMono16k);
    }

    void changeWhileTheCaptureRunsDoesNothing()
    {
        Rig rig;
        rig.start();
        rig.change(false);
        QCOMPARE(rig.recorder.restartAttempts(), 0);
        QCOMPARE(rig.inputs.last().startCount, 1);
        QVERIFY(rig.errors.empty());
    }

    void restartsAreLimitedPerDictation_data()
    {
        QTest::addColumn<int>("changes");
        QTest::addColumn<int>("restarts");
        QTest::addColumn<int>("tooManyErrors");
        QTest::newRow("one") << 1 << 1 << 0;
        QTest::newRow("three") << 3 << 3 << 0;
        QTest::newRow("the fourth fails") << 4 << 3 << 1;
        QTest::newRow("every later one fails") << 6 << 3 << 3;
    }
    void restartsAreLimitedPerDictation()
    {
        QFETCH(int, changes);
        QFETCH(int, restarts);
        QFETCH(int, tooManyErrors);
        Rig rig;
        rig.start();
        for (int i = 0; i < changes; ++i)
            rig.change();
        QCOMPARE(rig.recorder.restartAttempts(), restarts);
        QCOMPARE(rig.inputs.last().startCount, 1 + restarts);
        QCOMPARE(int(rig.errors.size()), tooManyErrors);
        for (const Error& error : rig.errors)
            QCOMPARE(error, (Error{"Parlune.Audio", 1, "Le micro change de configuration. Réessayez."}));
        // The owner decides what to do: the recorder still records, on the same capture.
        QVERIFY(rig.recorder.isRecording());
        QCOMPARE(rig.recorder.engine(), std::shared_ptr<AudioInput>(rig.inputs.made.back()));
    }

    void aNewDictationHasThreeRestartsAgain()
    {
        Rig rig;
        rig.start();
        for (int i = 0; i < 4; ++i)
            rig.change();
        QCOMPARE(rig.errors.size(), 1u);
        rig.recorder.stop();
        rig.start();
        for (int i = 0; i < 3; ++i)
            rig.change();
        QCOMPARE(rig.recorder.restartAttempts(), 3);
        QCOMPARE(rig.errors.size(), 1u);
    }

    void noMicrophoneReportsCode2AndUsesAnAttempt_data()
    {
        QTest::addColumn<AudioFormat>("format");
        QTest::newRow("no rate") << AudioFormat{0, 2};
        QTest::newRow("no channel") << AudioFormat{48000, 0};
    }
    void noMicrophoneReportsCode2AndUsesAnAttempt()
    {
        QFETCH(AudioFormat, format);
        Rig rig;
        rig.start();
        rig.inputs.last().format = format;
        for (int i = 0; i < 4; ++i)
            rig.change();
        QCOMPARE(rig.recorder.restartAttempts(), 3);
        QCOMPARE(rig.inputs.last().startCount, 1);
        const Error noInput{"Parlune.Audio", 2, "Aucun micro disponible."};
        const Error tooMany{"Parlune.Audio", 1, "Le micro change de configuration. Réessayez."};
        QCOMPARE(rig.errors, (std::vector<Error>{noInput, noInput, noInput, tooMany}));
    }

    void failedRestartPassesTheCapturesErrorOn()
    {
        Rig rig;
        const Error failed{"Parlune.PulseAudio", 3, "Le micro n'a pas pu être ouvert."};
        rig.inputs.configure = [&](FakeAudioInput& input) { input.startErrors = {{2, failed}}; };
        rig.start();
        rig.change();
        QCOMPARE(rig.errors, std::vector<Error>{failed});
        QCOMPARE(rig.recorder.restartAttempts(), 1);
        QVERIFY(rig.recorder.isRecording() && rig.recorder.engine());
        // The next change tries again.
        rig.change();
        QCOMPARE(rig.errors.size(), 1u);
        QVERIFY(rig.inputs.last().isRunning());
    }

    void staleNoticesDoNothing()
    {
        Rig rig;
        rig.start();
        // Queued before the stop, handled after it.
        rig.inputs.last().changeConfiguration();
        rig.recorder.stop();
        runPostedTasks();
        QCOMPARE(rig.recorder.restartAttempts(), 0);
        QCOMPARE(rig.inputs.last().startCount, 1);

        // Queued by the capture of one dictation, handled during the next.
        rig.start();
        auto& earlier = rig.inputs.last();
        earlier.changeConfiguration();
        rig.recorder.stop();
        rig.start();
        runPostedTasks();
        QCOMPARE(earlier.startCount, 1);
        QVERIFY(!earlier.hasTap());
        QCOMPARE(rig.recorder.restartAttempts(), 0);
        QVERIFY(rig.errors.empty());
    }

    void noticesAndLevelsOutlivingTheRecorderDoNothing()
    {
        FakeAudioInputFactory inputs;
        bool called = false;
        {
            AudioRecorder recorder(inputs.factory());
            recorder.setOnLevel([&](float) { called = true; });
            recorder.setOnError([&](const Error&) { called = true; });
            QVERIFY(!recorder.start(kMono16k, nullptr));
            inputs.last().deliver(constant(kMono16k, 2048, 0.1f));
            inputs.last().changeConfiguration();
        }
        // The recorder ended its capture as it went.
        QVERIFY(!inputs.last().hasTap() && !inputs.last().isRunning());
        runPostedTasks();
        QVERIFY(!called);
    }

    void permissionIsGranted() { QVERIFY(QCoro::waitFor(AudioRecorder::requestPermission())); }
};

QTEST_GUILESS_MAIN(AudioRecorderTest)
#include "tst_audiorecorder.moc"
