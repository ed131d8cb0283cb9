// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sherpa/ParakeetModel.h"

#include "platform/sherpa/DecodingThreads.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <thread>

namespace parlune {

namespace {

QString tr(const char* text)
{
    return QCoreApplication::translate("ParakeetModel", text);
}

// Shorter audio gives the encoder no frame at all; no word is that short.
constexpr std::size_t shortestPhrase = ParakeetModel::sampleRate / 10;

} // namespace

const QStringList& ParakeetModel::fileNames()
{
    static const QStringList names = {QStringLiteral("encoder.int8.onnx"),
                                      QStringLiteral("decoder.int8.onnx"), QStringLiteral("joiner.int8.onnx"),
                                      QStringLiteral("tokens.txt")};
    return names;
}

Outcome<std::shared_ptr<ParakeetModel>, RecognitionError>
ParakeetModel::load(std::shared_ptr<const SherpaOnnxLibrary> library, const QString& folder, int threads)
{
    const QDir dir(folder);
    for (const QString& name : fileNames()) {
        if (!QFile::exists(dir.filePath(name)))
            return RecognitionError{tr("Le modèle Parakeet est incomplet : le fichier %1 manque.").arg(name)};
    }
    const auto path = [&](int index) { return QFile::encodeName(dir.filePath(fileNames().at(index))); };
    const QByteArray encoder = path(0), decoder = path(1), joiner = path(2), tokens = path(3);

    sherpa::SherpaOnnxOfflineRecognizerConfig config{};
    config.feat_config.sample_rate = sampleRate;
    // The library takes the model's own feature count from its metadata when it has one.
    config.feat_config.feature_dim = 80;
    config.model_config.transducer.encoder = encoder.constData();
    config.model_config.transducer.decoder = decoder.constData();
    config.model_config.transducer.joiner = joiner.constData();
    config.model_config.tokens = tokens.constData();
    config.model_config.num_threads = std::max(1, threads);
    config.model_config.provider = "cpu";
    config.model_config.model_type = "nemo_transducer";
    // A dictation is decoded once, as it is said: the best path at each step, no beam.
    config.decoding_method = "greedy_search";

    // The runtime makes its decoding threads now; they take the priority of the thread that makes
    // them, so a thread of lowered priority makes them and ends.
    const sherpa::SherpaOnnxOfflineRecognizer* recognizer = nullptr;
    std::thread loader([&] {
        DecodingThreads::lowerCurrentThreadPriority();
        recognizer = library->createOfflineRecognizer(&config);
    });
    loader.join();
    if (!recognizer)
        return RecognitionError{tr("Le modèle Parakeet n'a pas pu être chargé.")};
    return std::shared_ptr<ParakeetModel>(
        new ParakeetModel(std::move(library), recognizer, config.model_config.num_threads));
}

ParakeetModel::ParakeetModel(std::shared_ptr<const SherpaOnnxLibrary> library,
                             const sherpa::SherpaOnnxOfflineRecognizer* recognizer, int threads)
    : m_library(std::move(library))
    , m_recognizer(recognizer)
    , m_threads(threads)
{}

ParakeetModel::~ParakeetModel()
{
    m_library->destroyOfflineRecognizer(m_recognizer);
}

Outcome<QString, RecognitionError> ParakeetModel::decode(std::span<const float> samples)
{
    if (samples.size() < shortestPhrase)
        return QString();
    const std::lock_guard lock(m_decoding);
    const auto* stream = m_library->createOfflineStream(m_recognizer);
    if (!stream)
        return RecognitionError{tr("Le moteur de dictée ne répond pas.")};
    m_library->acceptWaveformOffline(stream, sampleRate, samples.data(), std::int32_t(samples.size()));
    m_library->decodeOfflineStream(m_recognizer, stream);
    const auto* result = m_library->getOfflineStreamResult(stream);
    QString text = result && result->text ? QString::fromUtf8(result->text).trimmed() : QString();
    if (result)
        m_library->destroyOfflineRecognizerResult(result);
    m_library->destroyOfflineStream(stream);
    return text;
}

} // namespace parlune
