// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "audio/AudioBuffer.h"
#include "platform/Error.h"

#include <QtGlobal>

#include <functional>
#include <memory>
#include <optional>

namespace parlune {

// One capture from the default microphone, made fresh for every dictation. It is driven from the main
// thread; the captured audio arrives on a thread of its own.
//
// The capture hands 32-bit float buffers to its tap in the microphone's own format (or the format
// the tap asked for). When the microphone setup changes under it (another default microphone, the
// microphone in use unplugged or plugged back, the sound server gone), it stops by itself when it
// can no longer go on and tells its observers on the main thread; whoever owns it decides whether to
// start it again.
class AudioInput
{
public:
    // Receives each captured buffer, on the capture thread, in capture order.
    using Tap = std::function<void(const AudioBufferPtr&)>;
    // Identifies one registration for configuration changes.
    using ObserverToken = quint64;

    virtual ~AudioInput() = default;

    // The format of the default microphone right now; a rate of 0 or no channel when there is none
    // usable (no microphone, only the monitors of outputs, no sound server).
    virtual AudioFormat inputFormat() = 0;

    // Delivers buffers of `frames` frames to `tap` while the capture runs, in `format` when one is
    // given, else in the microphone's own format. Replaces any previous tap.
    virtual void installTap(quint32 frames, std::optional<AudioFormat> format, Tap tap) = 0;
    // When this returns, the tap is not running and will not be called again: its owner may then
    // change what the tap reads, or go away.
    virtual void removeTap() = 0;

    // Makes the first start quicker (connects to the sound server); optional.
    virtual void prepare() = 0;
    // Starts capturing; the error, with a French description, when it cannot.
    [[nodiscard]] virtual std::optional<Error> start() = 0;
    virtual void stop() = 0;
    virtual bool isRunning() const = 0;

    // `handler` is called on the main thread after each change of the microphone setup. Handlers
    // may be called for a change that does not affect a running capture; they check isRunning().
    virtual ObserverToken addConfigurationObserver(std::function<void()> handler) = 0;
    virtual void removeConfigurationObserver(ObserverToken token) = 0;
};

// Makes a new capture; the recorder asks for one at every start.
using AudioInputFactory = std::function<std::shared_ptr<AudioInput>()>;

} // namespace parlune
