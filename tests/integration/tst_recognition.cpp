// SPDX-License-Identifier: GPL-3.0-or-later
// Recognition of real recorded speech with the real recogniser and Debian's English model.
#include "RecordedSpeech.h"
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace parlune;

namespace {

// Pushes the buffers from a thread of its own, as the audio thread does: all at once, or one every
// 128 ms (the length of a 2048-frame buffer at 16 kHz).
std::thread feed(std::shared_ptr<AudioBufferQueue> input, std::vector<AudioBufferPtr> buffers, bool realTime)
{
    return std::thread([input, buffers = std::move(buffers), realTime] {
        auto next = std::chrono::steady_clock::now();
        for (const AudioBufferPtr& buffer : buffers) {
            if (realTime) {
                next += std::chrono::microseconds(buffer->frameLength() * 1'000'000 / 16'000);
                std::this_thread::sleep_until(next);
            }
            input->push(buffer);
        }
    });
}

} // namespace

class RecognitionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_models.isValid());
        QVERIFY2(QFile::exists(recordedSpeech(QStringLiteral("goforward.raw"))),
                 "pocketsphinx-testdata is missing");
    }

    void recordedSpeechIsRecognised_data()
    {
        QTest::addColumn<QString>("recording");
        QTest::addColumn<bool>("realTime");
        QTest::addColumn<QStringList>("expectedWords");

        const QStringList goForward{"go forward ten meters"};
        QTest::newRow("short command, as fast as possible") << "goforward.raw" << false << goForward;
        QTest::newRow("short command, at real-time pace") << "goforward.raw" << true << goForward;
        QTest::newRow("read sentence, as fast as possible")
            << "librivox/sense_and_sensibility_01_austen_64kb-0880.wav" << false
            << QStringList{"he was not", "young man"};
    }

    // Previews arrive while the audio is still coming in, and the final text holds the words.
    void recordedSpeechIsRecognised()
    {
        QFETCH(QString, recording);
        QFETCH(bool, realTime);
        QFETCH(QStringList, expectedWords);

        // A decoder of its own: pocketsphinx adapts to what it has heard before.
        auto recognizer =
            std::make_shared<PocketsphinxRecognizer>(ModelCatalogue::shipped(), m_models.path());
        SpeechEngine engine(recognizer);
        QVERIFY(QCoro::waitFor(engine.prepare(Language::en)));

        QStringList previews;
        std::atomic_bool feeding = true;
        int previewsWhileFeeding = 0;
        DictationSession session(*recognizer, Language::en, [&](const QString& preview) {
            previews.append(preview);
            if (feeding)
                ++previewsWhileFeeding;
        });
        std::thread feeder =
            feed(session.input(), toBuffers(readSamples(recordedSpeech(recording))), realTime);
        if (realTime) {
            // Previews are shown while the user is still speaking.
            QTRY_VERIFY_WITH_TIMEOUT(previewsWhileFeeding > 0, 5000);
        }
        feeder.join();
        feeding = false;

        auto text = QCoro::waitFor(session.finish());
        QVERIFY(text);
        for (const QString& words : expectedWords)
            QVERIFY2(text.value().contains(words), qPrintable(text.value()));
        QVERIFY(!previews.isEmpty());
        QCOMPARE(previews.last(), text.value());
        QCOMPARE(recognizer->loadedDecoders(QStringLiteral("en-US")), 1);
    }

    // A new dictation may start while the previous one is still being finished: each gets a decoder of
    // its own, and a later dictation reuses one without loading the model again.
    void overlappingDictationsDoNotShareADecoder()
    {
        auto recognizer =
            std::make_shared<PocketsphinxRecognizer>(ModelCatalogue::shipped(), m_models.path());
        SpeechEngine engine(recognizer);
        QVERIFY(QCoro::waitFor(engine.prepare(Language::en)));
        const std::vector<AudioBufferPtr> goForward = toBuffers(readSamples(recordedSpeech("goforward.raw")));
        const std::vector<AudioBufferPtr> sentence =
            toBuffers(readSamples(recordedSpeech("librivox/sense_and_sensibility_01_austen_64kb-0880.wav")));

        DictationSession first(*recognizer, Language::en);
        DictationSession second(*recognizer, Language::en);
        // Interleaved, as two dictations close together would be.
        for (std::size_t i = 0; i < std::max(goForward.size(), sentence.size()); ++i) {
            if (i < goForward.size())
                first.input()->push(goForward[i]);
            if (i < sentence.size())
                second.input()->push(sentence[i]);
        }
        auto firstText = QCoro::waitFor(first.finish());
        auto secondText = QCoro::waitFor(second.finish());
        QVERIFY2(firstText.value().contains("go forward ten meters"), qPrintable(firstText.value()));
        QVERIFY2(secondText.value().contains("young man"), qPrintable(secondText.value()));
        QCOMPARE(recognizer->loadedDecoders(QStringLiteral("en-US")), 2);

        DictationSession third(*recognizer, Language::en);
        for (const AudioBufferPtr& buffer : goForward)
            third.input()->push(buffer);
        QVERIFY(QCoro::waitFor(third.finish()).value().contains("ten meters"));
        QCOMPARE(recognizer->loadedDecoders(QStringLiteral("en-US")), 2);
    }

    // A cancelled dictation stops decoding at once and gives its decoder back.
    void cancelledDictationFreesItsDecoder()
    {
        auto recognizer =
            std::make_shared<PocketsphinxRecognizer>(ModelCatalogue::shipped(), m_models.path());
        SpeechEngine engine(recognizer);
        QVERIFY(QCoro::waitFor(engine.prepare(Language::en)));
        const std::vector<AudioBufferPtr> goForward = toBuffers(readSamples(recordedSpeech("goforward.raw")));

        bool heard = false;
        auto cancelled = std::make_unique<DictationSession>(*recognizer, Language::en,
                                                            [&heard](const QString&) { heard = true; });
        for (const AudioBufferPtr& buffer : goForward)
            cancelled->input()->push(buffer);
        // Abandoned in the middle of decoding: the rest of the audio is dropped and the decoder given
        // back for the next dictation.
        QTRY_VERIFY_WITH_TIMEOUT(heard, 10000);
        QCOMPARE(recognizer->freeDecoders(QStringLiteral("en-US")), 0);
        cancelled->cancel();
        cancelled.reset();
        QTRY_COMPARE_WITH_TIMEOUT(recognizer->freeDecoders(QStringLiteral("en-US")), 1, 5000);

        DictationSession next(*recognizer, Language::en);
        for (const AudioBufferPtr& buffer : goForward)
            next.input()->push(buffer);
        QVERIFY(QCoro::waitFor(next.finish()).value().contains("ten meters"));
        QCOMPARE(recognizer->loadedDecoders(QStringLiteral("en-US")), 1);
    }

    // A dictation released without a word, or before any audio came, gives an empty text.
    void noSpeechGivesAnEmptyText_data()
    {
        QTest::addColumn<int>("silentFrames");
        QTest::newRow("no audio at all") << 0;
        QTest::newRow("one second of silence") << 16000;
    }

    void noSpeechGivesAnEmptyText()
    {
        QFETCH(int, silentFrames);
        auto recognizer =
            std::make_shared<PocketsphinxRecognizer>(ModelCatalogue::shipped(), m_models.path());
        SpeechEngine engine(recognizer);
        QVERIFY(QCoro::waitFor(engine.prepare(Language::en)));

        DictationSession session(*recognizer, Language::en);
        for (const AudioBufferPtr& buffer : toBuffers(std::vector<float>(silentFrames, 0.0f)))
            session.input()->push(buffer);
        auto text = QCoro::waitFor(session.finish());
        QVERIFY(text);
        QCOMPARE(text.value(), QString());
    }

private:
    // An empty user model folder: English comes from the system's model.
    QTemporaryDir m_models;
};

QTEST_GUILESS_MAIN(RecognitionTest)
#include "tst_recognition.moc"
