// SPDX-License-Identifier: GPL-3.0-or-later
// The real Silero model through sherpa-onnx's detector, on real recorded speech: three LibriVox clips of
// Debian's pocketsphinx-testdata joined by pauses, as a user dictating three sentences.
#include "RecordedSpeech.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"
#include "platform/sherpa/SileroVoiceActivity.h"

#include <QTest>

#include <random>

using namespace parlune;

namespace {

constexpr int rate = SileroVoiceActivity::sampleRate;
constexpr double pauseSeconds = 1.0;

struct Joined
{
    std::vector<float> samples;
    // Where each clip begins and ends, in seconds.
    std::vector<std::pair<double, double>> clips;
};

const Joined& joinedSpeech()
{
    static const Joined joined = [] {
        Joined result;
        for (const char* clip : {"0870", "0880", "0890"}) {
            const auto speech = recordedSpeech(
                QStringLiteral("librivox/sense_and_sensibility_01_austen_64kb-%1.wav").arg(clip));
            const double start = double(result.samples.size()) / rate;
            result.samples.insert(result.samples.end(), speech.begin(), speech.end());
            result.clips.emplace_back(start, double(result.samples.size()) / rate);
            result.samples.insert(result.samples.end(), std::size_t(pauseSeconds * rate), 0.0f);
        }
        return result;
    }();
    return joined;
}

} // namespace

class SileroVoiceActivityTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<const SherpaOnnxLibrary> m_library;

    std::unique_ptr<SileroVoiceActivity> detector()
    {
        auto made = SileroVoiceActivity::create(m_library, QStringLiteral(PARLUNE_SILERO_VAD_MODEL));
        if (!made)
            qFatal("%s", qPrintable(made.error().description));
        return std::move(made.value());
    }

    // Feeds `samples` in buffers of `buffer` samples, taking the segments as they close, then flushes.
    static std::vector<SpeechSegment> segments(VoiceActivity& detector, const std::vector<float>& samples,
                                               std::size_t buffer)
    {
        std::vector<SpeechSegment> found;
        for (std::size_t at = 0; at < samples.size(); at += buffer) {
            detector.accept(std::span(samples).subspan(at, std::min(buffer, samples.size() - at)));
            while (auto segment = detector.takeSegment())
                found.push_back(std::move(*segment));
        }
        detector.flush();
        while (auto segment = detector.takeSegment())
            found.push_back(std::move(*segment));
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        auto library = SherpaOnnxLibrary::load(QStringLiteral(PARLUNE_SHERPA_ONNX_LIBRARY));
        QVERIFY2(library, qPrintable(library ? QString() : library.error()));
        m_library = library.value();
        QVERIFY2(joinedSpeech().samples.size() > std::size_t(15 * rate), "sox reads pocketsphinx-testdata");
    }

    // One segment per clip, each within its clip and covering most of it, and the segment holds the
    // very samples given at its place (whatever the size of the buffers the capture gives).
    void onePhrasePerSentenceCutAtThePauses_data()
    {
        QTest::addColumn<int>("buffer");
        QTest::newRow("the capture's buffers") << 2048;
        QTest::newRow("tiny buffers") << 37;
    }

    void onePhrasePerSentenceCutAtThePauses()
    {
        QFETCH(int, buffer);
        const Joined& joined = joinedSpeech();
        const auto found = segments(*detector(), joined.samples, std::size_t(buffer));
        QCOMPARE(found.size(), joined.clips.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            const double start = double(found[i].start) / rate;
            const double end = start + double(found[i].samples.size()) / rate;
            const auto [clipStart, clipEnd] = joined.clips[i];
            QVERIFY2(start >= clipStart - 0.05 && end <= clipEnd + 0.3,
                     qPrintable(QStringLiteral("phrase %1 at %2–%3 s, clip at %4–%5 s")
                                    .arg(i)
                                    .arg(start)
                                    .arg(end)
                                    .arg(clipStart)
                                    .arg(clipEnd)));
            QVERIFY(end - start > 0.75 * (clipEnd - clipStart));
            QVERIFY(std::equal(found[i].samples.begin(), found[i].samples.end(),
                               joined.samples.begin() + found[i].start));
        }
    }

    void silenceGivesNoPhrase_data()
    {
        QTest::addColumn<float>("noiseLevel");
        QTest::newRow("digital silence") << 0.0f;
        QTest::newRow("a quiet room") << 0.003f;
    }

    void silenceGivesNoPhrase()
    {
        QFETCH(float, noiseLevel);
        std::mt19937 random(7);
        std::normal_distribution<float> noise(0.0f, noiseLevel > 0 ? noiseLevel : 1e-9f);
        std::vector<float> silence(std::size_t(5 * rate));
        for (float& sample : silence)
            sample = noise(random);
        auto vad = detector();
        QVERIFY(segments(*vad, silence, 2048).empty());
        QVERIFY(!vad->isSpeaking());
    }

    // Speaking shows while the sentence is said, and no longer once its pause has closed it.
    void speakingWhileASentenceIsSaid()
    {
        const Joined& joined = joinedSpeech();
        auto vad = detector();
        const auto upTo = [&](double from, double to) {
            vad->accept(
                std::span(joined.samples).subspan(std::size_t(from * rate), std::size_t((to - from) * rate)));
        };
        const auto [firstStart, firstEnd] = joined.clips[0];
        upTo(0, firstStart + 2.0);
        QVERIFY(vad->isSpeaking());
        QVERIFY(!vad->takeSegment());
        upTo(firstStart + 2.0, firstEnd + pauseSeconds * 0.9);
        QVERIFY(!vad->isSpeaking());
        QVERIFY(vad->takeSegment());
    }

    // A flush in the middle of speech cuts the phrase there; the speech after it is the next phrase,
    // from the same place on, counted from the same origin.
    void aFlushCutsThePhraseAndTheStreamGoesOn()
    {
        const Joined& joined = joinedSpeech();
        const auto [clipStart, clipEnd] = joined.clips[0];
        const std::size_t cut = std::size_t((clipStart + 3.0) * rate);
        auto vad = detector();
        vad->accept(std::span(joined.samples).first(cut));
        vad->flush();
        const auto first = vad->takeSegment();
        QVERIFY(first);
        QVERIFY(!vad->isSpeaking());
        vad->accept(std::span(joined.samples).subspan(cut, std::size_t(clipEnd * rate) + rate - cut));
        const auto second = vad->takeSegment();
        QVERIFY(second);
        const std::size_t firstEnd = std::size_t(first->start) + first->samples.size();
        QVERIFY2(std::abs(double(firstEnd) - double(cut)) <= SileroVoiceActivity::windowSize,
                 "cut where flushed");
        QVERIFY2(std::abs(double(second->start) - double(firstEnd)) <= SileroVoiceActivity::windowSize,
                 "the next phrase starts where the first ended");
    }

    // After a reset the detector hears a new stream: nothing of the old one, samples counted from 0.
    void aResetForgetsTheStream()
    {
        const Joined& joined = joinedSpeech();
        auto vad = detector();
        // Ends inside the first sentence, with part of a window pending.
        vad->accept(std::span(joined.samples).first(std::size_t(3.3 * rate) + 100));
        vad->reset();
        QVERIFY(!vad->isSpeaking());
        const auto after = segments(*vad, joined.samples, 2048);
        const auto fresh = segments(*detector(), joined.samples, 2048);
        QCOMPARE(after.size(), fresh.size());
        for (std::size_t i = 0; i < fresh.size(); ++i)
            QCOMPARE(after[i].start, fresh[i].start);
    }

    void aMissingModelIsTold()
    {
        const auto made =
            SileroVoiceActivity::create(m_library, QStringLiteral("/nonexistent/silero_vad_v5.onnx"));
        QVERIFY(!made);
        QVERIFY(!made.error().description.isEmpty());
    }
};

QTEST_GUILESS_MAIN(SileroVoiceActivityTest)
#include "tst_silero_voice_activity.moc"
