// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeAudioInput.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace parlune {

bool FakeAudioInput::deliver(const AudioBufferPtr& buffer)
{
    if (!m_tap)
        return false;
    m_tap(buffer);
    return true;
}

void FakeAudioInput::changeConfiguration(bool stopsCapture)
{
    if (stopsCapture)
        m_running = false;
    for (const auto& [token, handler] : m_observers)
        QMetaObject::invokeMethod(QCoreApplication::instance(), handler, Qt::QueuedConnection);
}

void FakeAudioInput::installTap(quint32 frames, std::optional<AudioFormat> format, Tap tap)
{
    tapFrames = frames;
    tapFormats.push_back(format);
    m_tap = std::move(tap);
}

void FakeAudioInput::removeTap()
{
    ++removeTapCount;
    m_tap = nullptr;
}

std::optional<Error> FakeAudioInput::start()
{
    ++startCount;
    if (const auto failure = startErrors.find(startCount); failure != startErrors.end())
        return failure->second;
    m_running = true;
    return std::nullopt;
}

void FakeAudioInput::stop()
{
    ++stopCount;
    m_running = false;
}

AudioInput::ObserverToken FakeAudioInput::addConfigurationObserver(std::function<void()> handler)
{
    const ObserverToken token = m_nextToken++;
    m_observers.emplace(token, std::move(handler));
    return token;
}

AudioInputFactory FakeAudioInputFactory::factory()
{
    return [this]() -> std::shared_ptr<AudioInput> {
        auto input = std::make_shared<FakeAudioInput>();
        if (configure)
            configure(*input);
        made.push_back(input);
        return input;
    };
}

} // namespace parlune
