// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/AudioRecorder.h"

#include "platform/MicrophoneAccess.h"

#include <QMetaObject>
#include <QPointer>

#include <algorithm>
#include <cmath>

namespace parlune {

AudioRecorder::AudioRecorder(AudioInputFactory makeInput)
    : m_makeInput(std::move(makeInput))
{}

AudioRecorder::~AudioRecorder()
{
    // The tap calls this object by plain pointer: it must be gone before this object is. Levels
    // still queued for the main thread die with this object.
    stop();
}

Error AudioRecorder::configurationChangedError()
{
    return {kErrorDomain, 1, QStringLiteral("Le micro change de configuration. Réessayez.")};
}

Error AudioRecorder::noInputError()
{
    return {kErrorDomain, 2, QStringLiteral("Aucun micro disponible.")};
}

AudioInput::Tap AudioRecorder::tapBlock()
{
    return [this](const AudioBufferPtr& buffer) { append(buffer); };
}

std::optional<Error> AudioRecorder::start(const AudioFormat& format, BufferCallback onBuffer)
{
    if (m_isRecording)
        return std::nullopt;

    m_resampler = std::make_shared<AudioResampler>(format);
    m_onBuffer = std::move(onBuffer);
    m_restartAttempts = 0;

    auto engine = m_makeInput();
    m_engine = engine;

    // A notice may still be on its way after this capture ended or another began: it only counts
    // for the capture of the dictation in progress.
    QPointer<QObject> alive(&m_mainThread);
    std::weak_ptr<AudioInput> weakEngine = engine;
    m_configurationObserver = engine->addConfigurationObserver([this, alive, weakEngine] {
        const auto changed = weakEngine.lock();
        if (!alive || !changed || m_engine != changed || !m_isRecording)
            return;
        resume(changed);
    });

    engine->installTap(kBufferFrames, std::nullopt, tapBlock());
    engine->prepare();
    if (auto error = engine->start()) {
        engine->removeTap();
        engine->stop();
        m_engine.reset();
        engine->removeConfigurationObserver(*m_configurationObserver);
        m_configurationObserver.reset();
        return error;
    }
    m_isRecording = true;
    return std::nullopt;
}

std::optional<float> AudioRecorder::level(const AudioBuffer& buffer)
{
    const quint32 frames = buffer.frameLength();
    const quint32 channels = buffer.format().channelCount;
    if (frames == 0 || channels == 0)
        return std::nullopt;
    // Four running sums, so that the additions do not wait on each other.
    const float* samples = buffer.samples();
    float sums[4] = {0, 0, 0, 0};
    quint32 i = 0;
    for (; i + 4 <= frames; i += 4) {
        for (quint32 k = 0; k < 4; ++k) {
            const float sample = samples[std::size_t(i + k) * channels];
            sums[k] += sample * sample;
        }
    }
    for (; i < frames; ++i) {
        const float sample = samples[std::size_t(i) * channels];
        sums[0] += sample * sample;
    }
    const float rms = std::sqrt((sums[0] + sums[1] + sums[2] + sums[3]) / float(frames));
    return std::min(1.0f, 20.0f * rms);
}

void AudioRecorder::append(const AudioBufferPtr& buffer)
{
    if (const auto measured = level(*buffer)) {
        // The one small task per buffer that the capture thread allocates. It is dropped if this
        // object is gone before the main thread gets to it.
        QMetaObject::invokeMethod(
            &m_mainThread,
            [this, value = *measured] {
                if (m_onLevel)
                    m_onLevel(value);
            },
            Qt::QueuedConnection);
    }
    if (!m_resampler)
        return;
    if (const AudioBufferPtr converted = m_resampler->convert(buffer); converted && m_onBuffer)
        m_onBuffer(converted);
}

void AudioRecorder::resume(const std::shared_ptr<AudioInput>& engine)
{
    if (engine->isRunning())
        return;

    std::optional<Error> error;
    if (m_restartAttempts > kMaxRestartAttempts - 1) {
        error = configurationChangedError();
    } else {
        // Counted before anything can fail: a failed attempt uses up one of the three.
        ++m_restartAttempts;
        const AudioFormat format = engine->inputFormat();
        if (!(format.sampleRate > 0) || format.channelCount == 0) {
            error = noInputError();
        } else {
            engine->removeTap();
            engine->installTap(kBufferFrames, format, tapBlock());
            error = engine->start();
            if (!error)
                return;
        }
    }
    if (m_onError)
        m_onError(*error);
}

void AudioRecorder::stop()
{
    if (!m_isRecording)
        return;
    if (m_configurationObserver) {
        if (m_engine)
            m_engine->removeConfigurationObserver(*m_configurationObserver);
        m_configurationObserver.reset();
    }
    if (m_engine) {
        m_engine->removeTap();
        m_engine->stop();
    }
    m_engine.reset();
    m_isRecording = false;
    m_onBuffer = nullptr;
}

QCoro::Task<bool> AudioRecorder::requestPermission()
{
    switch (MicrophoneAccess::status()) {
    case MicrophoneAuthorization::Authorized:
        co_return true;
    case MicrophoneAuthorization::NotDetermined:
        co_return co_await MicrophoneAccess::requestAccess();
    case MicrophoneAuthorization::Restricted:
    case MicrophoneAuthorization::Denied:
        break;
    }
    co_return false;
}

} // namespace parlune
