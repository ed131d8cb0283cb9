// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioRecorder.h"

#include "FakeAudioInput.h"

#include <QTest>
#include <QThread>

#include <thread>

using namespace parlune;

namespace {

const AudioFormat kMono16k{16000, 1};
const Error kTooManyChanges{"Parlune.Audio", 1, "Le micro change de configuration. Réessayez."};
const Error kNoInput{"Parlune.Audio", 2, "Aucun micro disponible."};
const Error kOpenFailed{"Parlune.PulseAudio", 3, "Le micro n'a pas pu être ouvert."};

AudioBufferPtr constant(AudioFormat format, quint32 frames, float channel0, float others = 0)
{
    auto buffer = std::make_shared<AudioBuffer>(format, frames);
    for (quint32 i = 0; i < frames * format.channelCount; ++i)
        buffer->samples()[i] = i % format.channelCount == 0 ? channel0 : others;
    buffer->setFrameLength(frames);
    return buffer;
}

// A recorder on fake captures that remembers what it handed out.
struct Rig
{
    FakeAudioInputFactory inputs;
    AudioRecorder recorder{inputs.factory()};
    std::vector<Error> errors;
    std::vector<AudioBufferPtr> buffers;

    Rig()
    {
        recorder.setOnError([this](const Error& error) { errors.push_back(error); });
    }

    std::optional<Error> start()
    {
        return recorder.start(kMono16k, [this](const AudioBufferPtr& buffer) { buffers.push_back(buffer); });
    }
    // A setup change that stops the capture unless told otherwise, handled on the main thread.
    void change(bool stopsCapture = true)
    {
        inputs.last().changeConfiguration(stopsCapture);
        QCoreApplication::sendPostedEvents();
    }
};

} // namespace

class AudioRecorderTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void buffersAreConvertedOnTheCaptureThreadAndLevelsReachTheMainThreadLater()
    {
        Rig rig;
        rig.inputs.configure = [](FakeAudioInput& input) { input.format = {48000, 2}; };
        std::vector<Qt::HANDLE> bufferThreads, levelThreads;
        QVERIFY(!rig.recorder.start(kMono16k, [&](const AudioBufferPtr& buffer) {
            bufferThreads.push_back(QThread::currentThreadId());
            rig.buffers.push_back(buffer);
        }));
        rig.recorder.setOnLevel([&](float) { levelThreads.push_back(QThread::currentThreadId()); });
        std::thread capture([&] {
            for (int i = 0; i < 3; ++i)
                rig.inputs.last().deliver(constant({48000, 2}, 2048, 0.1f, 0.1f));
            // A buffer without frames has no level, and still goes on.
            rig.inputs.last().deliver(std::make_shared<AudioBuffer>(kMono16k, 2048));
        });
        const Qt::HANDLE captureThread = reinterpret_cast<Qt::HANDLE>(capture.native_handle());
        capture.join();
        QVERIFY(rig.buffers.size() >= 2 && rig.buffers.back()->frameLength() == 0);
        for (const auto& buffer : rig.buffers)
            QCOMPARE(buffer->format(), kMono16k);
        QCOMPARE(bufferThreads, std::vector<Qt::HANDLE>(rig.buffers.size(), captureThread));
        QVERIFY(levelThreads.empty());
        QCoreApplication::sendPostedEvents();
        QCOMPARE(levelThreads, std::vector<Qt::HANDLE>(3, QThread::currentThreadId()));
    }

    void startAndStopLeaveOneCaptureAtMost()
    {
        Rig rig;
        const Error refused{"Parlune.PulseAudio", 1, "Le serveur de son est injoignable."};
        rig.inputs.configure = [&](FakeAudioInput& input) {
            if (rig.inputs.made.empty())
                input.startErrors = {{1, refused}};
        };
        // A failed start leaves nothing behind, and another start may follow.
        QCOMPARE(rig.start(), std::optional<Error>(refused));
        auto& failed = rig.inputs.last();
        QVERIFY(!rig.recorder.isRecording() && !rig.recorder.engine());
        QVERIFY(!failed.hasTap() && !failed.isRunning() && failed.observerCount() == 0);
        QVERIFY(!rig.start());
        auto& input = rig.inputs.last();
        QVERIFY(input.deliver(constant(kMono16k, 2048, 0)));
        QCOMPARE(rig.buffers.size(), 1u);

        // A setup change queued by this capture and handled during the next dictation does nothing.
        input.changeConfiguration();
        rig.recorder.stop();
        QVERIFY(!rig.recorder.isRecording() && !rig.recorder.engine());
        QVERIFY(!input.hasTap() && !input.isRunning() && input.observerCount() == 0);
        QVERIFY(!rig.start());
        QCoreApplication::sendPostedEvents();
        QVERIFY(input.startCount == 1 && !input.hasTap());
        QVERIFY(rig.recorder.restartAttempts() == 0 && rig.errors.empty());
    }

    void threeRestartsPerDictationFailedOnesIncluded_data()
    {
        QTest::addColumn<AudioFormat>("format");
        QTest::addColumn<bool>("startFails");
        QTest::addColumn<std::vector<Error>>("errors");
        QTest::newRow("restarts that work, on the new format")
            << AudioFormat{44100, 2} << false << std::vector<Error>{kTooManyChanges};
        QTest::newRow("microphone gone") << AudioFormat{0, 2} << false
                                         << std::vector<Error>{kNoInput, kNoInput, kNoInput, kTooManyChanges};
        QTest::newRow("the capture does not start again")
            << AudioFormat{48000, 1} << true
            << std::vector<Error>{kOpenFailed, kOpenFailed, kOpenFailed, kTooManyChanges};
    }
    void threeRestartsPerDictationFailedOnesIncluded()
    {
        QFETCH(AudioFormat, format);
        QFETCH(bool, startFails);
        QFETCH(std::vector<Error>, errors);
        Rig rig;
        QVERIFY(!rig.start());
        auto& input = rig.inputs.last();
        input.format = format;
        if (startFails)
            input.startErrors = {{2, kOpenFailed}, {3, kOpenFailed}, {4, kOpenFailed}};
        // A change that leaves the capture running is none of the recorder's business.
        rig.change(false);
        QCOMPARE(input.startCount, 1);
        for (int i = 0; i < 4; ++i)
            rig.change();
        QCOMPARE(rig.recorder.restartAttempts(), 3);
        QCOMPARE(rig.errors, errors);
        // Restarted on the format there is now; not at all without a microphone.
        QCOMPARE(input.tapFormat, errors[0] == kNoInput ? std::nullopt : std::optional<AudioFormat>(format));
        // The owner decides what to do: the recorder still records, on the same capture.
        QVERIFY(rig.recorder.isRecording());
        QCOMPARE(rig.recorder.engine(), std::shared_ptr<AudioInput>(rig.inputs.made.back()));

        // The next dictation has its three restarts again.
        rig.recorder.stop();
        QVERIFY(!rig.start());
        for (int i = 0; i < 3; ++i)
            rig.change();
        QCOMPARE(rig.recorder.restartAttempts(), 3);
        QCOMPARE(rig.errors, errors);
    }
};

QTEST_GUILESS_MAIN(AudioRecorderTest)
#include "tst_audiorecorder.moc"
