// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/MediaController.h"

#include <QPointer>

namespace parlune {

MediaController::MediaController(OutputMixer& mixer, SerialQueue& queue, QObject* parent)
    : QObject(parent)
    , m_mixer(mixer)
    , m_queue(queue)
{}

void MediaController::muteForRecording(Seconds delay)
{
    const quint64 generation = m_restoreRequests.load();
    m_queue.post(delay, [this, generation] { muteStep(generation); });
}

void MediaController::restore(std::function<void()> completion)
{
    ++m_restoreRequests;
    QPointer<MediaController> self(this);
    m_queue.post(Seconds(0), [this, self, completion = std::move(completion)] {
        restoreStep();
        if (completion)
            QMetaObject::invokeMethod(self, completion, Qt::QueuedConnection);
    });
}

void MediaController::muteStep(quint64 generation)
{
    if (generation != m_restoreRequests.load())
        return;
    // A second mute never overwrites the state remembered by the first.
    if (m_mutedDevice)
        return;
    const auto device = m_mixer.defaultOutputDevice();
    if (!device)
        return;
    // An output without a readable mute switch is left alone.
    const auto muted = m_mixer.isMuted(*device);
    if (!muted)
        return;
    m_mutedDevice = device;
    m_previousMute = muted;
    // A failed write keeps the memory: the restore writes the previous state back all the same.
    m_mixer.setMuted(*device, true);
}

void MediaController::restoreStep()
{
    // The output we muted gets its state back, even if another output is the default by now.
    if (m_mutedDevice && m_previousMute)
        m_mixer.setMuted(*m_mutedDevice, *m_previousMute);
    m_mutedDevice.reset();
    m_previousMute.reset();
}

} // namespace parlune

#include "moc_MediaController.cpp"
