// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioInput.h"

#include <map>
#include <memory>
#include <vector>

namespace parlune {

// A capture that a test drives by hand: it records what was asked of it, hands over the buffers the
// test gives it, and reports setup changes when told to.
class FakeAudioInput final : public AudioInput
{
public:
    // What inputFormat() answers.
    AudioFormat format{48000, 1};
    // The starts that fail, by number (the first start() is 1), with their error; the others succeed.
    std::map<int, Error> startErrors;

    int prepareCount = 0;
    int startCount = 0;
    int stopCount = 0;
    int removeTapCount = 0;
    // The format argument of each installTap(), in order.
    std::vector<std::optional<AudioFormat>> tapFormats;
    quint32 tapFrames = 0;

    bool hasTap() const { return bool(m_tap); }
    std::size_t observerCount() const { return m_observers.size(); }

    // Hands a buffer to the tap, as the capture thread would; false when no tap is installed.
    bool deliver(const AudioBufferPtr& buffer);
    // A change of the microphone setup, which stops the capture unless `stopsCapture` is false. Like a
    // notification centre, it queues a call to every handler registered now on the main thread:
    // removing a handler afterwards does not take back what is queued.
    void changeConfiguration(bool stopsCapture = true);

    AudioFormat inputFormat() override { return format; }
    void installTap(quint32 frames, std::optional<AudioFormat> format, Tap tap) override;
    void removeTap() override;
    void prepare() override { ++prepareCount; }
    std::optional<Error> start() override;
    void stop() override;
    bool isRunning() const override { return m_running; }
    ObserverToken addConfigurationObserver(std::function<void()> handler) override;
    void removeConfigurationObserver(ObserverToken token) override { m_observers.erase(token); }

private:
    Tap m_tap;
    bool m_running = false;
    std::map<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextToken = 1;
};

// Makes FakeAudioInputs and keeps every one it made, so that a test can reach the capture of an
// earlier dictation.
class FakeAudioInputFactory
{
public:
    // Applied to each new capture before the recorder sees it.
    std::function<void(FakeAudioInput&)> configure;
    std::vector<std::shared_ptr<FakeAudioInput>> made;

    AudioInputFactory factory();
    FakeAudioInput& last() { return *made.back(); }
};

} // namespace parlune
