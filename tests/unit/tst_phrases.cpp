// SPDX-License-Identifier: GPL-3.0-or-later
// Phrase by phrase recognition on a loudness voice detector and a decoder that names each phrase by its
// loudest sample: how the audio is cut into phrases, when phrases are decoded, cancelling, failing and
// the model's lifetime. (Whole dictations on the real detector: tst_parakeet_dictation.)
#include "FakePhraseDecoder.h"
#include "FakeRecognizer.h"
#include "FakeVoiceActivity.h"
#include "platform/models/ModelGuard.h"
#include "platform/parakeet/ParakeetAnalyzer.h"
#include "platform/parakeet/ParakeetRecognizer.h"
#include "platform/parakeet/PhraseDecoding.h"
#include "platform/parakeet/PhraseQueue.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

constexpr std::int64_t rate = PhraseQueue::sampleRate;

// Stretches of (seconds, loudness); 0 is silence, below 0.05 a murmur the detector takes for a pause.
using Stretches = QList<QPair<double, float>>;

// Speech alternates in sign and changes a little from sample to sample, so that a sample out of place
// cannot match.
std::vector<float> signal(const Stretches& stretches)
{
    std::vector<float> samples;
    for (const auto& [seconds, loudness] : stretches) {
        const auto count = std::int64_t(seconds * double(rate));
        for (std::int64_t i = 0; i < count; ++i) {
            const auto at = samples.size();
            samples.push_back(loudness * (at % 2 ? 1.0f : -1.0f) * (1.0f + float(at % 1009) * 1e-6f));
        }
    }
    return samples;
}

// Feeds `samples` in buffers of `chunk`, calling `afterEach` with the count fed so far.
template <typename Feed> void feed(const std::vector<float>& samples, std::size_t chunk, Feed afterEach)
{
    for (std::size_t at = 0; at < samples.size(); at += chunk) {
        const std::size_t count = std::min(chunk, samples.size() - at);
        afterEach(std::span<const float>(samples).subspan(at, count), at + count);
    }
}

std::vector<AudioBufferPtr> buffers(const std::vector<float>& samples)
{
    std::vector<AudioBufferPtr> out;
    feed(samples, 2048, [&](std::span<const float> part, std::size_t) {
        auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 2048);
        buffer->setFrameLength(quint32(part.size()));
        std::copy(part.begin(), part.end(), buffer->samples());
        out.push_back(std::move(buffer));
    });
    return out;
}

// Each phrase is the audio at its place, the phrases follow each other without overlapping, and every
// sample of speech is in one of them.
QString checkPhrases(const std::vector<float>& samples, const std::vector<SpeechSegment>& phrases)
{
    std::vector<bool> covered(samples.size(), false);
    std::int64_t end = 0;
    for (const SpeechSegment& phrase : phrases) {
        if (phrase.start < end)
            return QStringLiteral("a phrase at %1 begins before the previous one ends").arg(phrase.start);
        if (!std::equal(phrase.samples.begin(), phrase.samples.end(), samples.begin() + phrase.start))
            return QStringLiteral("the phrase at %1 is not the audio there").arg(phrase.start);
        end = phrase.start + std::int64_t(phrase.samples.size());
        std::fill(covered.begin() + phrase.start, covered.begin() + end, true);
    }
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (std::fabs(samples[i]) >= 0.05f && !covered[i])
            return QStringLiteral("speech at %1 is in no phrase").arg(i);
    return {};
}

} // namespace

class PhrasesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_folders = 0;

    // A recogniser on the fakes, with the model installed unless `installed` is false; `loads` counts
    // the model's loads and `model` follows the last one loaded.
    struct Rig
    {
        std::shared_ptr<FakePhraseDecoder> decoder = std::make_shared<FakePhraseDecoder>();
        std::shared_ptr<int> loads = std::make_shared<int>(0);
        std::shared_ptr<std::weak_ptr<PhraseDecoder>> model =
            std::make_shared<std::weak_ptr<PhraseDecoder>>();
        std::shared_ptr<ParakeetRecognizer> recognizer;
    };
    Rig rig(std::shared_ptr<ModelGuard> guard = nullptr,
            std::function<std::shared_ptr<AssetInstallationRequest>(const QString&)> installation = {})
    {
        Rig made;
        const QString folder = m_dir.filePath(QStringLiteral("model%1").arg(++m_folders));
        QDir().mkpath(folder);
        for (const QString& name : ParakeetRecognizer::modelFileNames())
            QFile(QDir(folder).filePath(name)).open(QIODevice::WriteOnly);
        ParakeetRecognizer::Loaders loaders;
        loaders.model = [decoder = made.decoder, loads = made.loads, model = made.model](const QString&) {
            ++*loads;
            // A model of its own each time, which decodes through the test's decoder.
            auto loaded = std::make_shared<FakePhraseDecoder>();
            *model = loaded;
            return Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError>(
                std::shared_ptr<PhraseDecoder>(loaded, decoder.get()));
        };
        loaders.voiceActivity = [] {
            return ParakeetModelSlot::VoiceActivityOutcome(std::make_unique<FakeVoiceActivity>());
        };
        loaders.guard = std::move(guard);
        loaders.installation = std::move(installation);
        made.recognizer = std::make_shared<ParakeetRecognizer>(std::move(loaders), folder);
        return made;
    }

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.path().toUtf8()); }

    // Phrases end at the pauses the detector hears; speech that runs on is cut at the quietest moment of
    // its phrase's last 4 s; the end of the input closes the open phrase; silence makes none.
    void phrasesAtPausesAndCuts_data()
    {
        QTest::addColumn<Stretches>("stretches");
        QTest::addColumn<int>("chunk");
        QTest::addColumn<int>("beforeEnd");
        QTest::addColumn<int>("afterEnd");
        // Where the first phrase must end, in seconds, when it is cut (0: it is not).
        QTest::addColumn<double>("cutFrom");
        QTest::addColumn<double>("cutTo");

        QTest::newRow("a phrase closed by a pause, one by the end of the input")
            << Stretches{{1, 0.2f}, {1, 0}, {2, 0.3f}} << 2048 << 1 << 2 << 0.0 << 0.0;
        QTest::newRow("silence alone") << Stretches{{5, 0}} << 2048 << 0 << 0 << 0.0 << 0.0;
        QTest::newRow("25 s without a pause, a murmur at 17.5 s")
            << Stretches{{17.5, 0.3f}, {0.2, 0.01f}, {7.3, 0.3f}} << 2048 << 1 << 2 << 17.5 << 17.7;
        QTest::newRow("a quieter murmur at 10 s is too early, the one at 19 s is taken")
            << Stretches{{10, 0.3f}, {0.2, 0.005f}, {8.8, 0.3f}, {0.2, 0.02f}, {6, 0.3f}} << 2048 << 1 << 2
            << 19.0 << 19.2;
        QTest::newRow("45 s without a pause, given at once")
            << Stretches{{1, 0}, {45, 0.3f}} << 46 * 16000 << 2 << 3 << 16.0 << 20.5;
        QTest::newRow("a pause right after a cut")
            << Stretches{{20.2, 0.3f}, {1, 0}, {1, 0.2f}} << 2048 << 2 << 3 << 16.0 << 20.0;
    }

    void phrasesAtPausesAndCuts()
    {
        QFETCH(Stretches, stretches);
        QFETCH(int, chunk);
        QFETCH(int, beforeEnd);
        QFETCH(int, afterEnd);
        QFETCH(double, cutFrom);
        QFETCH(double, cutTo);

        const std::vector<float> samples = signal(stretches);
        FakeVoiceActivity voice;
        PhraseQueue queue(voice);
        std::vector<SpeechSegment> phrases;
        QString openPhraseWrong;
        feed(samples, std::size_t(chunk), [&](std::span<const float> part, std::size_t fed) {
            queue.accept(part);
            while (std::optional<SpeechSegment> phrase = queue.takePhrase())
                phrases.push_back(std::move(*phrase));
            const std::span<const float> open = queue.openPhrase();
            if (!open.empty() &&
                (queue.openPhraseStart() + std::int64_t(open.size()) != std::int64_t(fed) ||
                 !std::equal(open.begin(), open.end(), samples.begin() + queue.openPhraseStart())))
                openPhraseWrong = QStringLiteral("at %1").arg(fed);
        });
        QCOMPARE(int(phrases.size()), beforeEnd);
        queue.finish();
        while (std::optional<SpeechSegment> phrase = queue.takePhrase())
            phrases.push_back(std::move(*phrase));
        QCOMPARE(int(phrases.size()), afterEnd);
        QVERIFY(queue.openPhrase().empty());
        QCOMPARE(openPhraseWrong, QString());
        QCOMPARE(checkPhrases(samples, phrases), QString());
        for (const SpeechSegment& phrase : phrases)
            QVERIFY(std::int64_t(phrase.samples.size()) <= PhraseQueue::maxPhraseSamples);
        if (cutTo > 0) {
            const SpeechSegment& first = phrases.front();
            const double end = double(first.start + std::int64_t(first.samples.size())) / double(rate);
            QVERIFY2(end >= cutFrom && end <= cutTo, qPrintable(QString::number(end)));
            // Cut, not closed by a pause: the next phrase takes up right there.
            QCOMPARE(phrases[1].start, first.start + std::int64_t(first.samples.size()));
        }
    }

    // Closed phrases are decoded as they end and reported in order; the end of the input decodes only
    // the last phrase; previews come only when the feeder has caught up, at most every 0.5 s of audio,
    // and an unchanged preview is not reported again.
    void decodingPhraseByPhrase_data()
    {
        QTest::addColumn<int>("caughtUpEvery");
        QTest::addColumn<bool>("volatileResults");
        QTest::addColumn<QStringList>("reports");

        const QStringList finals{"F:n20", "F:n30", "F:n40"};
        QTest::newRow("always behind: no preview") << 0 << true << finals;
        QTest::newRow("caught up: previews")
            << 1 << true << QStringList{"V:n20", "F:n20", "V:n30", "F:n30", "V:n40", "F:n40"};
        QTest::newRow("no volatile readings asked for") << 1 << false << finals;
    }

    void decodingPhraseByPhrase()
    {
        QFETCH(int, caughtUpEvery);
        QFETCH(bool, volatileResults);
        QFETCH(QStringList, reports);

        const std::vector<float> samples = signal({{1.5, 0.2f}, {1, 0}, {2, 0.3f}, {1, 0}, {1.5, 0.4f}});
        FakeVoiceActivity voice;
        FakePhraseDecoder decoder;
        std::atomic_bool cancelled = false;
        QStringList reported;
        PhraseDecoding decoding(voice, decoder, volatileResults, cancelled, [&](TranscriptionResult reading) {
            reported << (reading.isFinal ? "F:" : "V:") + reading.text;
        });
        std::vector<std::int64_t> previewsAt;
        int buffer = 0;
        feed(samples, 2048, [&](std::span<const float> part, std::size_t fed) {
            const std::size_t calls = decoder.lengths().size();
            const int finals = int(reported.filter("F:").size());
            const bool caughtUp = caughtUpEvery && ++buffer % caughtUpEvery == 0;
            QVERIFY(!decoding.accept(part, caughtUp));
            const std::size_t previews =
                decoder.lengths().size() - calls - (reported.filter("F:").size() - finals);
            if (previews) {
                QVERIFY(caughtUp);
                QCOMPARE(previews, 1u);
                previewsAt.push_back(std::int64_t(fed));
            }
        });
        for (std::size_t i = 1; i < previewsAt.size(); ++i)
            QVERIFY(previewsAt[i] - previewsAt[i - 1] >= rate / 2);
        if (caughtUpEvery == 1 && volatileResults)
            QVERIFY(previewsAt.size() >= 8);

        // The two closed phrases are done while the user speaks; the release decodes the third alone.
        const std::size_t before = decoder.lengths().size();
        QCOMPARE(reported.filter("F:").size(), 2);
        QVERIFY(!decoding.finish());
        QCOMPARE(decoder.lengths().size(), before + 1);
        QVERIFY(decoder.lengths().back() <= 3 * rate);
        QCOMPARE(reported, reports);
    }

    // A phrase the decoder cannot decode ends the dictation with its failure, said to the user.
    void decoderFailureEndsTheDictation()
    {
        Rig made = rig();
        made.decoder->failFrom = 2;
        DictationSession session(*made.recognizer, Language::es);
        for (const AudioBufferPtr& buffer :
             buffers(signal({{1, 0.2f}, {1, 0}, {1, 0.3f}, {1, 0}, {1, 0.4f}})))
            session.input()->push(buffer);
        auto text = QCoro::waitFor(session.finish());
        QCOMPARE(text ? text.value() : text.error().description, QStringLiteral("Le décodage a échoué."));
    }

    // Cancelling stops the decoding after the phrase under way: the phrases closed meanwhile are dropped.
    void cancelDropsWhatIsLeft()
    {
        Rig made = rig();
        QVERIFY(QCoro::waitFor(SpeechEngine(made.recognizer).prepare(Language::fr)));
        auto analyzer = made.recognizer->makeAnalyzer(SpeechEngine::makeTranscriber(Language::fr), {});
        auto input = std::make_shared<AudioBufferQueue>();
        made.decoder->hold(true);
        // One buffer that closes three phrases at once.
        const std::vector<float> samples = signal({{1, 0.2f}, {1, 0}, {1, 0.3f}, {1, 0}, {1, 0.4f}, {1, 0}});
        auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, quint32(samples.size()));
        buffer->setFrameLength(quint32(samples.size()));
        std::copy(samples.begin(), samples.end(), buffer->samples());
        input->push(buffer);
        QVERIFY(!QCoro::waitFor(analyzer->start(input)));
        QTRY_COMPARE(made.decoder->lengths().size(), 1u);
        auto cancelled = analyzer->cancelAndFinishNow();
        made.decoder->hold(false);
        QCoro::waitFor(std::move(cancelled));
        QCOMPARE(made.decoder->lengths().size(), 1u);
        QVERIFY(analyzer->results()->hasEnded());
    }

    // The model stays loaded from the preparation until it is let go of, then lives only as long as
    // the dictation still using it; the next preparation loads it again.
    void unloadingFreesTheModelOnceUnused()
    {
        Rig made = rig();
        SpeechEngine engine(made.recognizer);
        QVERIFY(QCoro::waitFor(engine.prepare(Language::en)));
        std::weak_ptr<PhraseDecoder> first = *made.model;
        auto dictation = made.recognizer->makeAnalyzer(SpeechEngine::makeTranscriber(Language::en), {});
        auto input = std::make_shared<AudioBufferQueue>();
        input->push(buffers(signal({{1, 0.2f}})).front());
        QVERIFY(!QCoro::waitFor(dictation->start(input)));
        made.recognizer->unload(QStringLiteral("de-DE"));
        QVERIFY(made.recognizer->isLoaded());
        made.recognizer->unload(QStringLiteral("en-US"));
        QVERIFY(!made.recognizer->isLoaded());
        QVERIFY(!first.expired());
        QVERIFY(!QCoro::waitFor(dictation->finalizeAndFinishThroughEndOfInput()));
        QTRY_VERIFY(first.expired());

        auto prepare = made.recognizer->makeAnalyzer(SpeechEngine::makeTranscriber(Language::fr), {});
        QVERIFY(!QCoro::waitFor(prepare->prepareToAnalyze({16000, 1})));
        QCOMPARE(*made.loads, 2);
        made.recognizer->unload(QStringLiteral("fr-FR"));
        QTRY_VERIFY(made.model->expired());
    }

    // A model its download did not verify is loaded here only once a check in a child passed. Refused, it
    // is never loaded in the program and the preparation says so; asked again, the refused files make
    // way for a fresh download.
    void refusedModelIsNeverLoadedAndIsDownloadedAfresh()
    {
        auto guard = std::make_shared<ModelGuard>([](QString) -> QCoro::Task<ModelVerdicts::Verdict> {
            co_return ModelVerdicts::Verdict::refused;
        });
        auto download = std::make_shared<FakeInstallation>();
        QStringList downloadedInto;
        Rig made = rig(guard, [&](const QString& folder) {
            downloadedInto << folder;
            return download;
        });
        const QString folder = made.recognizer->modelFolder();
        const Transcriber french = SpeechEngine::makeTranscriber(Language::fr);
        auto prepare = made.recognizer->makeAnalyzer(french, {});
        const std::optional<RecognitionError> refused = QCoro::waitFor(prepare->prepareToAnalyze({16000, 1}));
        QVERIFY(refused);
        QCOMPARE(refused->description, QStringLiteral("Modèle précis : le modèle n'a pas pu être chargé."));
        QCOMPARE(*made.loads, 0);

        auto request = QCoro::waitFor(made.recognizer->assetInstallationRequest(french));
        QVERIFY(request && request.value() == download);
        QCOMPARE(downloadedInto, QStringList{folder});
        QVERIFY(!made.recognizer->isInstalled());
        QVERIFY(ParakeetRecognizer::isModelFolder(folder + QStringLiteral(".refused")));
    }
};

QTEST_GUILESS_MAIN(PhrasesTest)
#include "tst_phrases.moc"
