// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/SerialQueue.h"

#include <QTimer>

namespace parlune {

WorkerQueue::WorkerQueue(const QString& label)
    : m_context(std::make_unique<QObject>())
{
    m_thread.setObjectName(label);
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

WorkerQueue::~WorkerQueue()
{
    m_thread.quit();
    m_thread.wait();
    // The context lived on the stopped thread; nothing runs there any more, so deleting it here is safe.
    m_context.reset();
}

void WorkerQueue::post(Seconds delay, std::function<void()> step)
{
    const auto milliseconds = std::chrono::ceil<std::chrono::milliseconds>(delay);
    QObject* context = m_context.get();
    // The timer is made on the worker, so that steps posted now and due later keep their order there.
    QMetaObject::invokeMethod(
        context,
        [context, milliseconds, step = std::move(step)]() mutable {
            if (milliseconds.count() <= 0)
                step();
            else
                QTimer::singleShot(milliseconds, Qt::PreciseTimer, context, std::move(step));
        },
        Qt::QueuedConnection);
}

} // namespace parlune
