// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioInput.h"

#include <memory>

namespace parlune {

// Captures the default microphone through the PulseAudio client library (also served by PipeWire's
// pulse server): a record stream in 32-bit float at the microphone's own rate and channels, on the
// client library's own thread. Each instance has its own connection, made at prepare() or start().
//
// Monitors of outputs are not microphones: a default source that is one counts as no microphone.
// Changes of the default source, of the source in use (removed, back, another format) and the loss
// of the server are configuration changes; one that leaves the running stream on the wrong source
// stops it. Changes are told once the server has been quiet for a moment, so that a microphone
// that vanishes and comes straight back (a module reloaded, a headset changing profile) gives one
// notice rather than two.
class PulseAudioInput final : public AudioInput
{
public:
    static constexpr const char* kErrorDomain = "Parlune.PulseAudio";
    enum ErrorCode { ServerUnreachable = 1, NoMicrophone = 2, StreamFailed = 3 };

    // Must be called on the main thread, where the notices go.
    PulseAudioInput();
    ~PulseAudioInput() override;

    static std::shared_ptr<AudioInput> create() { return std::make_shared<PulseAudioInput>(); }

    AudioFormat inputFormat() override;
    void installTap(quint32 frames, std::optional<AudioFormat> format, Tap tap) override;
    void removeTap() override;
    void prepare() override;
    std::optional<Error> start() override;
    void stop() override;
    bool isRunning() const override;
    ObserverToken addConfigurationObserver(std::function<void()> handler) override;
    void removeConfigurationObserver(ObserverToken token) override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace parlune
