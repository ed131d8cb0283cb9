// SPDX-License-Identifier: GPL-3.0-or-later
// Whole dictations on the accurate recogniser as the program builds it: sherpa-onnx, the Silero detector
// cutting real recorded speech (LibriVox clips of Debian's pocketsphinx-testdata joined by pauses) and
// the stand-in Parakeet model decoding the phrases.
#include "RecordedSpeech.h"
#include "platform/parakeet/ParakeetRecognizer.h"
#include "platform/parakeet/PhraseQueue.h"
#include "platform/sherpa/ParakeetModel.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"
#include "platform/sherpa/SileroVoiceActivity.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QTest>

using namespace parlune;

class ParakeetDictationTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<const SherpaOnnxLibrary> m_library;
    std::shared_ptr<ParakeetRecognizer> m_recognizer;
    std::vector<std::vector<float>> m_clips;

    std::vector<float> pause(double seconds)
    {
        return std::vector<float>(std::size_t(seconds * 16000), 0.0f);
    }

private Q_SLOTS:
    void initTestCase()
    {
        auto library = SherpaOnnxLibrary::load(QStringLiteral(PARLUNE_SHERPA_ONNX_LIBRARY));
        QVERIFY2(library, qPrintable(library ? QString() : library.error()));
        m_library = library.value();
        m_recognizer = std::make_shared<ParakeetRecognizer>(
            ParakeetRecognizer::onSherpaOnnx(m_library, QStringLiteral(PARLUNE_SILERO_VAD_MODEL)),
            QStringLiteral(PARLUNE_PARAKEET_STANDIN));
        QVERIFY(QCoro::waitFor(SpeechEngine(m_recognizer).prepare(Language::fr)));
        for (const char* clip : {"0870", "0880", "0890"})
            m_clips.push_back(recordedSpeech(
                QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-%1.wav").arg(clip)));
    }

    // Each sentence is a phrase of its own, decoded once its pause has closed it while the next one is
    // spoken; the final text is the phrases' texts in order. (The stand-in writes a word at each change
    // of the loudest band, so what it writes for a phrase depends on exactly where the phrase begins and
    // ends: the texts expected are those of the phrases the detector cuts from the same buffers.)
    void sentencesDecodedWhileSpeakingAndJoined()
    {
        std::vector<float> firstTwo(8000, 0.0f);
        for (int clip : {0, 1}) {
            firstTwo.insert(firstTwo.end(), m_clips[clip].begin(), m_clips[clip].end());
            firstTwo.insert(firstTwo.end(), 16000, 0.0f);
        }
        const std::vector<AudioBufferPtr> spoken = toBuffers(firstTwo);
        const std::vector<AudioBufferPtr> last = toBuffers(m_clips[2]);

        auto model = ParakeetModel::load(m_library, QStringLiteral(PARLUNE_PARAKEET_STANDIN), 1);
        auto detector = SileroVoiceActivity::create(m_library, QStringLiteral(PARLUNE_SILERO_VAD_MODEL));
        QVERIFY(model && detector);
        PhraseQueue phrases(*detector.value());
        for (const auto* part : {&spoken, &last})
            for (const AudioBufferPtr& buffer : *part)
                phrases.accept({buffer->samples(), buffer->frameLength()});
        phrases.finish();
        QStringList expected;
        while (std::optional<SpeechSegment> phrase = phrases.takePhrase())
            expected << DictationSession::normalized(model.value()->decode(phrase->samples).value());
        QCOMPARE(expected.size(), 3);
        QVERIFY(!expected.contains(QString()));

        QStringList previews;
        DictationSession session(*m_recognizer, Language::fr,
                                 [&](const QString& shown) { previews << shown; });
        for (const AudioBufferPtr& buffer : spoken)
            session.input()->push(buffer);
        // The key is still held: the two sentences closed by their pauses come through on their own.
        QTRY_VERIFY_WITH_TIMEOUT(previews.contains(expected[0] + ' ' + expected[1]), 30'000);

        for (const AudioBufferPtr& buffer : last)
            session.input()->push(buffer);
        auto text = QCoro::waitFor(session.finish());
        QCOMPARE(text ? text.value() : text.error().description, expected.join(' '));
    }

    void silenceGivesNoText()
    {
        DictationSession session(*m_recognizer, Language::en);
        for (const AudioBufferPtr& buffer : toBuffers(std::vector<float>(3 * 16000, 0.0f)))
            session.input()->push(buffer);
        auto text = QCoro::waitFor(session.finish());
        QCOMPARE(text ? text.value() : text.error().description, QString());
    }
};

QTEST_GUILESS_MAIN(ParakeetDictationTest)
#include "tst_parakeet_dictation.moc"
