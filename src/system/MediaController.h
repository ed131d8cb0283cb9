// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/OutputMixer.h"
#include "system/SerialQueue.h"

#include <QObject>

#include <atomic>
#include <functional>
#include <optional>

namespace parlune {

// Silences the audio output while the user dictates and afterwards puts it back exactly as it was.
// Only the output's mute switch is touched, never its volume. All work with the sound server happens
// on the serial "Parlune.media" queue, never on the main thread.
class MediaController : public QObject
{
    Q_OBJECT

public:
    static inline const QString queueLabel = QStringLiteral("Parlune.media");

    // Built on the main thread; `queue` runs every step with `mixer`.
    MediaController(OutputMixer& mixer, SerialQueue& queue, QObject* parent = nullptr);

    // Mutes the current default output once `delay` has passed. Returns at once.
    void muteForRecording(Seconds delay);
    // Puts back the mute state we changed, then runs `completion` on the main thread. A mute still
    // waiting for its delay is called off: a dictation shorter than the delay leaves the output alone.
    void restore(std::function<void()> completion = {});

private:
    void muteStep(quint64 generation);
    void restoreStep();

    OutputMixer& m_mixer;
    SerialQueue& m_queue;
    // Touched on the queue only. The output we muted and its state before; set and cleared together.
    std::optional<quint32> m_mutedDevice;
    std::optional<bool> m_previousMute;
    // Counts the restores asked for; a mute step asked for before the latest restore does nothing.
    std::atomic<quint64> m_restoreRequests = 0;
};

} // namespace parlune
