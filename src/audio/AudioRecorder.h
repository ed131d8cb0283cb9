// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"
#include "audio/AudioResampler.h"
#include "platform/AudioInput.h"
#include "platform/Error.h"

#include <QCoroTask>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>

namespace parlune {

// Captures the microphone for one dictation at a time: measures a level per captured buffer for the
// meter, converts every buffer to the recogniser's format and hands it to its owner. When the
// microphone setup changes in the middle of a dictation and the capture is found stopped, it starts
// it again, at most three times per dictation, and reports an error when it cannot.
//
// Lives on the main thread; start, stop and the restarts run there, the buffers are handled on the
// capture thread.
class AudioRecorder
{
public:
    using BufferCallback = std::function<void(const AudioBufferPtr&)>;
    using LevelCallback = std::function<void(float)>;
    using ErrorCallback = std::function<void(const Error&)>;

    static constexpr const char* kErrorDomain = "Parlune.Audio";
    // Buffer size asked of the capture.
    static constexpr quint32 kBufferFrames = 2048;
    // Restarts allowed per dictation.
    static constexpr qint64 kMaxRestartAttempts = 3;

    // `makeInput` gives a new capture at every start.
    explicit AudioRecorder(AudioInputFactory makeInput);
    // Ends a capture still running.
    ~AudioRecorder();
    AudioRecorder(const AudioRecorder&) = delete;
    AudioRecorder& operator=(const AudioRecorder&) = delete;

    // Starts capturing, converting to `format` and handing each converted buffer to `onBuffer` on
    // the capture thread. Does nothing while already recording. Returns the capture's own error when
    // it cannot start; nothing is left running then, and another start may follow.
    [[nodiscard]] std::optional<Error> start(const AudioFormat& format, BufferCallback onBuffer);
    // Ends the capture; does nothing when idle.
    void stop();
    // Whether the program may record from the microphone, asking the user if they have not decided.
    static QCoro::Task<bool> requestPermission();

    // The level of a buffer for the meter, 0 to 1: twenty times the RMS amplitude of its first
    // channel, capped at 1 (so 0.01 gives 0.2 and 0.05 or more gives 1). None for a buffer without
    // frames.
    static std::optional<float> level(const AudioBuffer& buffer);

    // Receives the level of each captured buffer, on the main thread.
    const LevelCallback& onLevel() const { return m_onLevel; }
    void setOnLevel(LevelCallback callback) { m_onLevel = std::move(callback); }
    // Receives the failures that come after a successful start (restarts that fail), on the main
    // thread. The capture is left as it is: stopping it is the owner's decision.
    const ErrorCallback& onError() const { return m_onError; }
    void setOnError(ErrorCallback callback) { m_onError = std::move(callback); }

    const std::shared_ptr<AudioInput>& engine() const { return m_engine; }
    const std::optional<AudioInput::ObserverToken>& configurationObserver() const
    {
        return m_configurationObserver;
    }
    qint64 restartAttempts() const { return m_restartAttempts; }
    const std::shared_ptr<AudioResampler>& resampler() const { return m_resampler; }
    const BufferCallback& onBuffer() const { return m_onBuffer; }
    bool isRecording() const { return m_isRecording; }

    static Error configurationChangedError();
    static Error noInputError();

private:
    // Handles one captured buffer, on the capture thread.
    void append(const AudioBufferPtr& buffer);
    // Restarts `engine` after a change of the microphone setup, on the main thread.
    void resume(const std::shared_ptr<AudioInput>& engine);
    AudioInput::Tap tapBlock();

    AudioInputFactory m_makeInput;
    // Levels and notices are queued to this object on the main thread: those still queued when the
    // recorder goes away are dropped with it.
    QObject m_mainThread;

    std::shared_ptr<AudioInput> m_engine;
    std::optional<AudioInput::ObserverToken> m_configurationObserver;
    qint64 m_restartAttempts = 0;
    // The capture thread reads these two while the tap is installed; the main thread changes them
    // only while it is not (the capture's removeTap waits for a buffer in progress), so they need
    // no lock.
    std::shared_ptr<AudioResampler> m_resampler;
    BufferCallback m_onBuffer;
    bool m_isRecording = false;
    LevelCallback m_onLevel;
    ErrorCallback m_onError;
};

} // namespace parlune
