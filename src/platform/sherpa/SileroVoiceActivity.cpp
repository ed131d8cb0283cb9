// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sherpa/SileroVoiceActivity.h"

#include "platform/sherpa/SherpaOnnxLibrary.h"

#include <QCoreApplication>
#include <QFile>

namespace parlune {

namespace {

// What the detector keeps of the audio: more than the longest phrase the program lets run.
constexpr float bufferSeconds = 60.0f;

} // namespace

Outcome<std::unique_ptr<SileroVoiceActivity>, RecognitionError>
SileroVoiceActivity::create(std::shared_ptr<const SherpaOnnxLibrary> library, const QString& modelPath,
                            Settings settings)
{
    const auto failure = [] {
        return RecognitionError{QCoreApplication::translate(
            "SileroVoiceActivity", "La détection de la parole n'a pas pu démarrer : son modèle manque ou est "
                                   "endommagé. Réinstallez Parlune.")};
    };
    // The library would say the same, on standard error only.
    if (!QFile::exists(modelPath))
        return failure();

    const QByteArray path = QFile::encodeName(modelPath);
    sherpa::SherpaOnnxVadModelConfig config{};
    config.silero_vad.model = path.constData();
    config.silero_vad.threshold = settings.threshold;
    config.silero_vad.min_silence_duration = settings.minSilenceSeconds;
    config.silero_vad.min_speech_duration = settings.minSpeechSeconds;
    config.silero_vad.window_size = windowSize;
    config.silero_vad.max_speech_duration = settings.maxSpeechSeconds;
    config.sample_rate = sampleRate;
    // A window costs far less than a millisecond: a thread pool would cost more than it saves.
    config.num_threads = 1;
    config.provider = "cpu";
    const auto* detector = library->createVoiceActivityDetector(&config, bufferSeconds);
    if (!detector)
        return failure();
    return std::unique_ptr<SileroVoiceActivity>(new SileroVoiceActivity(std::move(library), detector));
}

SileroVoiceActivity::SileroVoiceActivity(std::shared_ptr<const SherpaOnnxLibrary> library,
                                         const sherpa::SherpaOnnxVoiceActivityDetector* detector)
    : m_library(std::move(library))
    , m_detector(detector)
{
    m_partialWindow.reserve(windowSize);
}

SileroVoiceActivity::~SileroVoiceActivity()
{
    m_library->destroyVoiceActivityDetector(m_detector);
}

void SileroVoiceActivity::accept(std::span<const float> samples)
{
    // WORKAROUND: sherpa-onnx 1.13.4's detector moves between speech and silence once per call, on
    // whether any window of the call was speech: given a second at once, it never sees the pause in
    // it. So it is given one window per call, which also cuts the same audio at the same places
    // however the capture happened to slice it.
    while (!samples.empty()) {
        const std::size_t taken = std::min(samples.size(), windowSize - m_partialWindow.size());
        if (m_partialWindow.empty() && taken == windowSize) {
            m_library->voiceActivityDetectorAcceptWaveform(m_detector, samples.data(), windowSize);
        } else {
            m_partialWindow.insert(m_partialWindow.end(), samples.begin(), samples.begin() + taken);
            if (m_partialWindow.size() == windowSize) {
                m_library->voiceActivityDetectorAcceptWaveform(m_detector, m_partialWindow.data(),
                                                               windowSize);
                m_partialWindow.clear();
            }
        }
        samples = samples.subspan(taken);
    }
}

bool SileroVoiceActivity::isSpeaking() const
{
    return m_library->voiceActivityDetectorDetected(m_detector) != 0;
}

std::optional<SpeechSegment> SileroVoiceActivity::takeSegment()
{
    if (m_library->voiceActivityDetectorEmpty(m_detector))
        return std::nullopt;
    const sherpa::SherpaOnnxSpeechSegment* front = m_library->voiceActivityDetectorFront(m_detector);
    SpeechSegment segment;
    segment.start = front->start;
    segment.samples.assign(front->samples, front->samples + front->n);
    m_library->destroySpeechSegment(front);
    m_library->voiceActivityDetectorPop(m_detector);
    return segment;
}

void SileroVoiceActivity::flush()
{
    // The last part window too: the end of the last word may be in it.
    if (!m_partialWindow.empty()) {
        m_library->voiceActivityDetectorAcceptWaveform(m_detector, m_partialWindow.data(),
                                                       std::int32_t(m_partialWindow.size()));
        m_partialWindow.clear();
    }
    m_library->voiceActivityDetectorFlush(m_detector);
}

void SileroVoiceActivity::reset()
{
    m_partialWindow.clear();
    m_library->voiceActivityDetectorClear(m_detector);
    m_library->voiceActivityDetectorReset(m_detector);
}

} // namespace parlune
