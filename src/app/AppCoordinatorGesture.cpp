// SPDX-License-Identifier: GPL-3.0-or-later
// From the shortcut's presses and releases, and the menu's start/stop, to starting and ending dictations.
#include "app/AppCoordinator.h"

namespace parlune {

void AppCoordinator::shortcutPressed()
{
    const Clock::Instant now = m_clock->now();
    const bool recording = m_isRecording;
    // A press during a dictation finishes it; its release then finds no press and does nothing.
    m_gesture.pressedAt = recording ? std::nullopt : std::optional(now);
    m_gesture.interrupted = false;
    m_gesture.handsFree = false;
    apply(recording ? ShortcutGesture::Action::finish : ShortcutGesture::Action::start);
}

void AppCoordinator::shortcutReleased()
{
    shortcutReleased(m_clock->now());
}

void AppCoordinator::shortcutReleased(Clock::Instant releasedAt)
{
    apply(m_gesture.release(releasedAt));
}

void AppCoordinator::otherKeyPressed()
{
    apply(m_gesture.otherKey());
}

void AppCoordinator::escapePressed()
{
    cancelRecording(std::nullopt);
}

void AppCoordinator::apply(std::optional<ShortcutGesture::Action> action)
{
    switch (action.value_or(ShortcutGesture::Action::ignore)) {
    case ShortcutGesture::Action::start:
        startRecording();
        break;
    case ShortcutGesture::Action::finish:
        finishRecording();
        break;
    case ShortcutGesture::Action::cancel:
        cancelRecording(std::nullopt);
        break;
    case ShortcutGesture::Action::ignore:
        break;
    }
    setHandsFree(m_isRecording && m_gesture.handsFree);
}

void AppCoordinator::toggle()
{
    if (!m_isRecording) {
        m_gesture.pressedAt.reset();
        m_gesture.interrupted = false;
        m_gesture.handsFree = true;
        startRecording();
        setHandsFree(m_isRecording);
    } else {
        finishRecording();
    }
}

} // namespace parlune
