// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseAudioInput.h"

#include "platform/pulse/PulseAudioInputPrivate.h"

namespace parlune {

PulseAudioInput::PulseAudioInput()
    : d(std::make_unique<Private>())
{
    d->loop = pa_threaded_mainloop_new();
    if (d->loop && pa_threaded_mainloop_start(d->loop) < 0) {
        pa_threaded_mainloop_free(d->loop);
        d->loop = nullptr;
    }
    if (d->loop)
        pa_threaded_mainloop_set_name(d->loop, "Parlune.audio");
}

PulseAudioInput::~PulseAudioInput()
{
    if (!d->loop)
        return;
    {
        Private::Locker lock(d->loop);
        d->tap = nullptr;
        d->dropContextLocked();
    }
    pa_threaded_mainloop_stop(d->loop);
    pa_threaded_mainloop_free(d->loop);
}

AudioFormat PulseAudioInput::inputFormat()
{
    if (!d->loop)
        return {};
    Private::Locker lock(d->loop);
    if (!d->connectLocked() || !d->defaultSource.isMicrophone)
        return {};
    return d->defaultSource.format;
}

void PulseAudioInput::installTap(quint32 frames, std::optional<AudioFormat> format, Tap tap)
{
    if (!d->loop)
        return;
    Private::Locker lock(d->loop);
    d->tapFrames = std::max<quint32>(frames, 1);
    d->tapFormat = format;
    d->tap = std::move(tap);
    d->pending.reset();
}

void PulseAudioInput::removeTap()
{
    if (!d->loop)
        return;
    Private::Locker lock(d->loop);
    d->tap = nullptr;
    d->pending.reset();
}

void PulseAudioInput::prepare()
{
    if (!d->loop)
        return;
    Private::Locker lock(d->loop);
    d->connectLocked();
}

bool PulseAudioInput::isRunning() const
{
    return d->running;
}

AudioInput::ObserverToken PulseAudioInput::addConfigurationObserver(std::function<void()> handler)
{
    const ObserverToken token = d->nextToken++;
    d->observers.emplace(token, std::move(handler));
    return token;
}

void PulseAudioInput::removeConfigurationObserver(ObserverToken token)
{
    d->observers.erase(token);
}

} // namespace parlune
