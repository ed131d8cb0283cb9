// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"

#include <QString>
#include <QThread>

#include <functional>
#include <memory>

namespace parlune {

// Runs steps one at a time, in the order they become due, off the caller's thread.
class SerialQueue
{
public:
    virtual ~SerialQueue() = default;

    virtual void post(Seconds delay, std::function<void()> step) = 0;
};

// A serial queue on a thread of its own, named after the queue.
class WorkerQueue final : public SerialQueue
{
public:
    explicit WorkerQueue(const QString& label);
    // Steps still waiting are dropped; a running one finishes first.
    ~WorkerQueue() override;

    void post(Seconds delay, std::function<void()> step) override;

private:
    QThread m_thread;
    std::unique_ptr<QObject> m_context;
};

} // namespace parlune
