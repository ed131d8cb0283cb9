// SPDX-License-Identifier: GPL-3.0-or-later
// The floating panel follows the status; inserted and message statuses fall back to idle by themselves.
#include "app/AppCoordinator.h"

#include "app/HudPresenter.h"

#include <QPointer>

namespace parlune {

void AppCoordinator::syncHUD()
{
    // Only the newest status may fall back to idle, and a new transient status gets its full delay.
    if (m_hideMessageTask) {
        m_hideMessageTask->cancel();
        m_hideMessageTask.reset();
    }
    if (!m_hud)
        return;

    switch (m_status.kind()) {
    case RecordingStatus::Idle:
        m_hud->hide();
        break;
    case RecordingStatus::Preparing:
    case RecordingStatus::Recording:
    case RecordingStatus::Transcribing:
        m_hud->show();
        break;
    case RecordingStatus::Inserted:
    case RecordingStatus::Message: {
        m_hud->show();
        const double delay =
            m_status.kind() == RecordingStatus::Inserted ? insertedDisplayDuration : messageDisplayDuration;
        CancellableTask task;
        m_hideMessageTask = task;
        returnToIdleAfter(Seconds(delay), task);
        break;
    }
    }
}

QCoro::Task<> AppCoordinator::returnToIdleAfter(Seconds delay, CancellableTask task)
{
    // The task must not keep the coordinator alive, nor touch it once it is gone.
    QPointer<AppCoordinator> self(this);
    Clock* clock = m_clock;
    co_await clock->sleep(delay);
    if (task.isCancelled() || !self || !self->m_status.isTransient())
        co_return;
    self->setStatus(RecordingStatus::idle());
}

} // namespace parlune
