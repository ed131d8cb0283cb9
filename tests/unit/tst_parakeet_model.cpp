// SPDX-License-Identifier: GPL-3.0-or-later
// sherpa-onnx through our loader and declarations, and the Parakeet adapter on the stand-in model that
// the build writes (tests/models/make_parakeet_standin.py: four tones read "Bonjour le monde.").
#include "StandardErrorCapture.h"
#include "platform/sherpa/DecodingThreads.h"
#include "platform/sherpa/ParakeetModel.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <map>
#include <numbers>
#include <thread>

#include <sys/resource.h>

using namespace parlune;
using namespace parlune::sherpa;

namespace {

using Config = SherpaOnnxOfflineRecognizerConfig;
using VadConfig = SherpaOnnxVadModelConfig;
using Setter = void (*)(Config&);
using VadSetter = void (*)(VadConfig&);

constexpr int rate = ParakeetModel::sampleRate;

// Half a second of silence, then each tone for half a second followed by half a second of silence.
std::vector<float> tones(std::initializer_list<double> frequencies)
{
    std::vector<float> samples(rate / 2, 0.0f);
    for (double frequency : frequencies) {
        for (int i = 0; i < rate / 2; ++i)
            samples.push_back(float(0.3 * std::sin(2 * std::numbers::pi * frequency * i / rate)));
        samples.insert(samples.end(), rate / 2, 0.0f);
    }
    return samples;
}

// The library's printed configuration, `Name(key=value, key=Name(…), …)`, as "key.key" → value.
void flatten(const QByteArray& text, qsizetype& at, const QByteArray& prefix,
             std::map<QByteArray, QByteArray>& into)
{
    while (at < text.size() && text[at] != ')') {
        while (at < text.size() && (text[at] == ' ' || text[at] == ','))
            ++at;
        if (text[at] == ')')
            break;
        const qsizetype equals = text.indexOf('=', at);
        const QByteArray key = prefix + text.mid(at, equals - at);
        at = equals + 1;
        if (text[at] == '"') {
            const qsizetype end = text.indexOf('"', at + 1);
            into[key] = text.mid(at, end + 1 - at);
            at = end + 1;
            continue;
        }
        qsizetype end = at;
        while (end < text.size() && text[end] != ',' && text[end] != ')' && text[end] != '(')
            ++end;
        if (text[end] == '(') {
            at = end + 1;
            flatten(text, at, key + '.', into);
            ++at;
        } else {
            into[key] = text.mid(at, end - at);
            at = end;
        }
    }
}

std::map<QByteArray, QByteArray> printedConfiguration(const QByteArray& output, const QByteArray& name)
{
    std::map<QByteArray, QByteArray> fields;
    const qsizetype start = output.indexOf(name + '(');
    if (start < 0)
        return fields;
    qsizetype at = start + name.size() + 1;
    flatten(output, at, {}, fields);
    return fields;
}

// What changed from `before` to `after`: "key=value" for each.
QStringList changes(const std::map<QByteArray, QByteArray>& before,
                    const std::map<QByteArray, QByteArray>& after)
{
    QStringList changed;
    for (const auto& [key, value] : after) {
        const auto old = before.find(key);
        if (old == before.end() || old->second != value)
            changed << QString::fromUtf8(key + '=' + value);
    }
    return changed;
}

} // namespace

Q_DECLARE_METATYPE(Setter)
Q_DECLARE_METATYPE(VadSetter)

class ParakeetModelTest : public QObject
{
    Q_OBJECT

    std::shared_ptr<const SherpaOnnxLibrary> m_library;

    std::shared_ptr<ParakeetModel> standIn(int threads = 1)
    {
        auto model = ParakeetModel::load(m_library, QStringLiteral(PARLUNE_PARAKEET_STANDIN), threads);
        if (!model)
            qFatal("the stand-in model does not load: %s", qPrintable(model.error().description));
        return model.value();
    }

    // A recogniser configuration with every field at its default and a tokens file that does not
    // exist: the library prints it, then refuses it, without loading anything.
    static Config baseline()
    {
        Config config{};
        config.model_config.tokens = "/nonexistent/tokens.txt";
        config.model_config.debug = 1;
        return config;
    }

private Q_SLOTS:
    void initTestCase()
    {
        auto library = SherpaOnnxLibrary::load(QStringLiteral(PARLUNE_SHERPA_ONNX_LIBRARY));
        QVERIFY2(library, qPrintable(library ? QString() : library.error()));
        m_library = library.value();
        QCOMPARE(m_library->version(), QStringLiteral("1.13.4"));
    }

    void aLibraryThatCannotServeIsRefusedWithItsReason()
    {
        QTemporaryDir dir;
        const auto missing = SherpaOnnxLibrary::load(dir.filePath("libsherpa-onnx-c-api.so"));
        QVERIFY(!missing);
        QVERIFY2(missing.error().contains("libsherpa-onnx-c-api.so"), qPrintable(missing.error()));
        // A real library without the functions.
        const auto other = SherpaOnnxLibrary::load(QStringLiteral("libm.so.6"));
        QVERIFY(!other);
        QVERIFY2(other.error().contains("has no SherpaOnnxGetVersionStr"), qPrintable(other.error()));
    }

    // Each field we set, alone: the library must print that value under that field's name and change
    // nothing else. The last field of each configuration stands for the fields we leave at zero: one of
    // ours missing, extra or of another size before it moves it, and the library would read past ours.
    void recognizerConfigurationReachesTheLibraryFieldByField_data()
    {
        QTest::addColumn<Setter>("set");
        QTest::addColumn<QString>("printed");
#define TEXT_AS(path, key)                                                                                   \
    QTest::newRow(#path) << Setter([](Config& c) { c.path = #path; }) << key "=\"" #path "\""
#define TEXT(path) TEXT_AS(path, #path)
#define NUMBER(path, value)                                                                                  \
    QTest::newRow(#path) << Setter([](Config& c) { c.path = value; }) << #path "=" #value
        QTest::newRow("feat_config.sample_rate")
            << Setter([](Config& c) { c.feat_config.sample_rate = 8001; })
            << "feat_config.sampling_rate=8001";
        NUMBER(feat_config.feature_dim, 81);
        TEXT_AS(model_config.transducer.encoder, "model_config.transducer.encoder_filename");
        TEXT_AS(model_config.transducer.decoder, "model_config.transducer.decoder_filename");
        TEXT_AS(model_config.transducer.joiner, "model_config.transducer.joiner_filename");
        TEXT(model_config.tokens);
        NUMBER(model_config.num_threads, 3);
        TEXT(model_config.provider);
        TEXT(model_config.model_type);
        TEXT(decoding_method);
        TEXT(hr.rule_fsts);
#undef TEXT_AS
#undef TEXT
#undef NUMBER
    }

    void recognizerConfigurationReachesTheLibraryFieldByField()
    {
        QFETCH(Setter, set);
        QFETCH(QString, printed);
        const auto print = [&](const Config& config) {
            return printedConfiguration(
                captureStandardError([&] { QVERIFY(!m_library->createOfflineRecognizer(&config)); }),
                "OfflineRecognizerConfig");
        };
        const auto before = print(baseline());
        QVERIFY(before.size() > 90);
        Config config = baseline();
        set(config);
        QCOMPARE(changes(before, print(config)), QStringList{printed});
    }

    void voiceActivityConfigurationReachesTheLibraryFieldByField_data()
    {
        QTest::addColumn<VadSetter>("set");
        QTest::addColumn<QString>("printed");
#define TEXT(path)                                                                                           \
    QTest::newRow(#path) << VadSetter([](VadConfig& c) { c.path = #path; }) << #path "=\"" #path "\""
#define NUMBER(path, value)                                                                                  \
    QTest::newRow(#path) << VadSetter([](VadConfig& c) { c.path = value; }) << #path "=" #value
        TEXT(silero_vad.model);
        NUMBER(silero_vad.threshold, 0.375);
        NUMBER(silero_vad.min_silence_duration, 0.625);
        NUMBER(silero_vad.min_speech_duration, 0.125);
        NUMBER(silero_vad.window_size, 1024);
        NUMBER(silero_vad.max_speech_duration, 19.5);
        NUMBER(sample_rate, 8000);
        NUMBER(num_threads, 3);
        TEXT(provider);
        NUMBER(ten_vad.max_speech_duration, 33.5);
#undef TEXT
#undef NUMBER
    }

    void voiceActivityConfigurationReachesTheLibraryFieldByField()
    {
        QFETCH(VadSetter, set);
        QFETCH(QString, printed);
        const auto print = [&](const VadConfig& config) {
            return printedConfiguration(
                captureStandardError([&] { QVERIFY(!m_library->createVoiceActivityDetector(&config, 30)); }),
                "VadModelConfig");
        };
        VadConfig config{};
        config.debug = 1;
        const auto before = print(config);
        QVERIFY(before.size() > 10);
        set(config);
        QCOMPARE(changes(before, print(config)), QStringList{printed});
    }

    // The result as our struct reads it, against the same result as the library writes it in JSON.
    void resultReadsAsTheLibraryWroteIt()
    {
        const QDir folder(QStringLiteral(PARLUNE_PARAKEET_STANDIN));
        const QByteArray encoder = QFile::encodeName(folder.filePath("encoder.int8.onnx"));
        const QByteArray decoder = QFile::encodeName(folder.filePath("decoder.int8.onnx"));
        const QByteArray joiner = QFile::encodeName(folder.filePath("joiner.int8.onnx"));
        const QByteArray tokens = QFile::encodeName(folder.filePath("tokens.txt"));
        Config config{};
        config.model_config.transducer = {encoder.constData(), decoder.constData(), joiner.constData()};
        config.model_config.tokens = tokens.constData();
        config.model_config.model_type = "nemo_transducer";
        const auto* recognizer = m_library->createOfflineRecognizer(&config);
        QVERIFY(recognizer);
        const auto* stream = m_library->createOfflineStream(recognizer);
        const std::vector<float> samples = tones({300, 1000, 2500, 5000});
        m_library->acceptWaveformOffline(stream, rate, samples.data(), std::int32_t(samples.size()));
        m_library->decodeOfflineStream(recognizer, stream);
        const auto* result = m_library->getOfflineStreamResult(stream);

        const QJsonObject json = QJsonDocument::fromJson(result->json).object();
        QCOMPARE(QString::fromUtf8(result->text), json["text"].toString());
        QCOMPARE(QString::fromUtf8(result->text), QStringLiteral("Bonjour le monde."));
        QCOMPARE(result->count, 4);
        QCOMPARE(result->tokens, result->tokens_arr[0]);
        for (int i = 0; i < result->count; ++i) {
            QCOMPARE(QString::fromUtf8(result->tokens_arr[i]), json["tokens"][i].toString());
            QVERIFY(std::abs(result->timestamps[i] - json["timestamps"][i].toDouble()) < 0.006);
            QVERIFY(std::abs(result->durations[i] - json["durations"][i].toDouble()) < 0.006);
            QVERIFY(std::abs(result->ys_log_probs[i] - json["ys_log_probs"][i].toDouble()) < 1e-5);
        }
        QCOMPARE(QString::fromUtf8(result->lang), json["lang"].toString());
        QCOMPARE(QString::fromUtf8(result->emotion), json["emotion"].toString());
        QCOMPARE(QString::fromUtf8(result->event), json["event"].toString());
        // No segments for a transducer: nothing after them may hold stray values.
        QCOMPARE(result->segment_count, 0);
        m_library->destroyOfflineRecognizerResult(result);
        m_library->destroyOfflineStream(stream);
        m_library->destroyOfflineRecognizer(recognizer);
    }

    void decodesWhatTheModelWrites_data()
    {
        QTest::addColumn<std::vector<float>>("samples");
        QTest::addColumn<QString>("text");
        QTest::newRow("capitals and punctuation kept")
            << tones({300, 1000, 2500, 5000}) << "Bonjour le monde.";
        QTest::newRow("trimmed") << tones({1000}) << "le";
        QTest::newRow("silence") << std::vector<float>(rate * 2, 0.0f) << "";
        // The library aborts on audio too short to give one frame.
        QTest::newRow("nothing") << std::vector<float>{} << "";
        QTest::newRow("a click") << std::vector<float>(40, 0.3f) << "";
    }

    void decodesWhatTheModelWrites()
    {
        QFETCH(std::vector<float>, samples);
        QFETCH(QString, text);
        const auto decoded = standIn()->decode(samples);
        QVERIFY(decoded);
        QCOMPARE(decoded.value(), text);
    }

    void aMissingFileIsNamed_data()
    {
        QTest::addColumn<QString>("file");
        for (const QString& file : ParakeetModel::fileNames())
            QTest::newRow(qPrintable(file)) << file;
    }

    void aMissingFileIsNamed()
    {
        QFETCH(QString, file);
        QTemporaryDir dir;
        for (const QString& name : ParakeetModel::fileNames()) {
            if (name != file)
                QVERIFY(QFile::copy(QDir(PARLUNE_PARAKEET_STANDIN).filePath(name), dir.filePath(name)));
        }
        const auto model = ParakeetModel::load(m_library, dir.path(), 1);
        QVERIFY(!model);
        QCOMPARE(model.error().description,
                 QStringLiteral("Le modèle Parakeet est incomplet : le fichier %1 manque.").arg(file));
    }

    // The runtime's own threads, made while the model loads, run at the lowered priority; the thread
    // that loads keeps its own.
    void theDecodingThreadsRunBelowTheRest()
    {
        const int before = getpriority(PRIO_PROCESS, 0);
        const auto countLowered = [] {
            int count = 0;
            for (const QString& task : QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                QFile stat(QStringLiteral("/proc/self/task/%1/stat").arg(task));
                if (!stat.open(QIODevice::ReadOnly))
                    continue;
                const QList<QByteArray> fields = stat.readAll().split(')').last().trimmed().split(' ');
                // Field 19, the nice value, is the 17th after the command's closing parenthesis.
                if (fields.value(16).toInt() >= DecodingThreads::niceIncrement)
                    ++count;
            }
            return count;
        };
        const int lowered = countLowered();
        const auto model = standIn(2);
        QVERIFY2(countLowered() > lowered, "the runtime made no thread of lowered priority");
        QCOMPARE(getpriority(PRIO_PROCESS, 0), before);

        int niceInThread = 0;
        std::thread([&] {
            DecodingThreads::lowerCurrentThreadPriority();
            DecodingThreads::lowerCurrentThreadPriority();
            niceInThread = getpriority(PRIO_PROCESS, 0);
        }).join();
        QCOMPARE(niceInThread, std::min(before + DecodingThreads::niceIncrement, 19));
    }
};

QTEST_GUILESS_MAIN(ParakeetModelTest)
#include "tst_parakeet_model.moc"
