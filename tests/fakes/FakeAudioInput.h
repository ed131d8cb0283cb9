// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioInput.h"

#include <QCoreApplication>
#include <QMetaObject>

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

    int startCount = 0;
    // The format argument of the last installTap().
    std::optional<AudioFormat> tapFormat;

    bool hasTap() const { return bool(m_tap); }
    std::size_t observerCount() const { return m_observers.size(); }

    // Hands a buffer to the tap, as the capture thread would; false when no tap is installed.
    bool deliver(const AudioBufferPtr& buffer) { return m_tap && (m_tap(buffer), true); }
    // A change of the microphone setup, which stops the capture unless `stopsCapture` is false. Like a
    // notification centre, it queues a call to every handler registered now on the main thread:
    // removing a handler afterwards does not take back what is queued.
    void changeConfiguration(bool stopsCapture = true)
    {
        m_running = m_running && !stopsCapture;
        for (const auto& [token, handler] : m_observers)
            QMetaObject::invokeMethod(QCoreApplication::instance(), handler, Qt::QueuedConnection);
    }

    AudioFormat inputFormat() override { return format; }
    void installTap(quint32, std::optional<AudioFormat> format, Tap tap) override
    {
        tapFormat = format;
        m_tap = std::move(tap);
    }
    void removeTap() override { m_tap = nullptr; }
    void prepare() override {}
    std::optional<Error> start() override
    {
        if (const auto failure = startErrors.find(++startCount); failure != startErrors.end())
            return failure->second;
        m_running = true;
        return std::nullopt;
    }
    void stop() override { m_running = false; }
    bool isRunning() const override { return m_running; }
    ObserverToken addConfigurationObserver(std::function<void()> handler) override
    {
        m_observers.emplace(m_nextToken, std::move(handler));
        return m_nextToken++;
    }
    void removeConfigurationObserver(ObserverToken token) override { m_observers.erase(token); }

private:
    Tap m_tap;
    bool m_running = false;
    std::map<ObserverToken, std::function<void()>> m_observers;
    ObserverToken m_nextToken = 1;
};

// Makes FakeAudioInputs and keeps every one it made, so that a test can reach the capture of an
// earlier dictation.
struct FakeAudioInputFactory
{
    // Applied to each new capture before the recorder sees it.
    std::function<void(FakeAudioInput&)> configure;
    std::vector<std::shared_ptr<FakeAudioInput>> made;

    AudioInputFactory factory()
    {
        return [this]() -> std::shared_ptr<AudioInput> {
            auto input = std::make_shared<FakeAudioInput>();
            if (configure)
                configure(*input);
            made.push_back(input);
            return input;
        };
    }
    FakeAudioInput& last() { return *made.back(); }
};

} // namespace parlune
