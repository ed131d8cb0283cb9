// SPDX-License-Identifier: GPL-3.0-or-later
// The real recogniser on real recorded speech, converted as the recorder converts what the microphone
// captures, with Debian's English model.
#include "RecordedSpeech.h"
#include "audio/AudioResampler.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

using namespace parlune;

namespace {

const QString goForward = QStringLiteral("goforward.raw");

// Pushes captured buffers through a resampler into `input` from a thread of its own, as the audio
// thread does: each one after the time it lasts.
std::thread feed(std::shared_ptr<AudioBufferQueue> input, std::vector<AudioBufferPtr> captured)
{
    return std::thread([input, captured = std::move(captured)] {
        AudioResampler resampler(AudioFormat{16000, 1});
        auto next = std::chrono::steady_clock::now();
        for (const AudioBufferPtr& buffer : captured) {
            next +=
                std::chrono::microseconds(qint64(buffer->frameLength() * 1e6 / buffer->format().sampleRate));
            std::this_thread::sleep_until(next);
            if (AudioBufferPtr converted = resampler.convert(buffer))
                input->push(converted);
        }
    });
}

QString recognised(DictationSession& session)
{
    auto text = QCoro::waitFor(session.finish());
    return text ? text.value() : QStringLiteral("error: ") + text.error().description;
}

} // namespace

class RecognitionTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dataHome;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dataHome.path().toUtf8()); }

    // 48 kHz stereo in 2048-frame buffers at real-time pace, converted: previews arrive while the user
    // is still speaking, and the final text holds the words.
    void speechFromTheMicrophoneIsRecognised()
    {
        // The English model, loaded from the system's folder.
        auto recognizer = std::make_shared<PocketsphinxRecognizer>();
        QVERIFY(QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::en)));
        QStringList previews;
        bool feeding = true;
        int previewsWhileFeeding = 0;
        DictationSession session(*recognizer, Language::en, [&](const QString& preview) {
            previews.append(preview);
            previewsWhileFeeding += feeding ? 1 : 0;
        });
        const AudioFormat captured{48000, 2};
        std::thread feeder = feed(session.input(), toBuffers(recordedSpeech(goForward, 48000, 2), captured));
        QTRY_VERIFY_WITH_TIMEOUT(previewsWhileFeeding > 0, 5000);
        feeder.join();
        feeding = false;

        const QString text = recognised(session);
        QVERIFY2(text.contains("go forward ten meters"), qPrintable(text));
        // The first preview is a reading of the first words, the last one the whole text.
        QVERIFY2(previews.value(0) != text, qPrintable(previews.join(" / ")));
        QCOMPARE(previews.value(previews.size() - 1), text);
    }

    // The dictations of a language share its decoder: one let go of unfinished gives it back, one
    // started while the previous is being finished waits for it; each gets its words, in order.
    void dictationsShareTheLanguageDecoder()
    {
        auto recognizer = std::make_shared<PocketsphinxRecognizer>();
        QVERIFY(QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::en)));
        const std::vector<AudioBufferPtr> speech = toBuffers(recordedSpeech(goForward));
        DictationSession(*recognizer, Language::en).input()->push(speech.front());
        DictationSession first(*recognizer, Language::en), second(*recognizer, Language::en);
        for (const AudioBufferPtr& buffer : speech)
            first.input()->push(buffer), second.input()->push(buffer);
        auto firstText = first.finish();
        QVERIFY(recognised(second).contains("go forward ten meters"));
        QVERIFY(firstText.isReady());
        QVERIFY(QCoro::waitFor(std::move(firstText)).value().contains("go forward ten meters"));
    }
};

QTEST_GUILESS_MAIN(RecognitionTest)
#include "tst_recognition.moc"
