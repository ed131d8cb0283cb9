// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>

namespace parlune {

// The handle of a main-thread task that can be called off. The task checks isCancelled() after each
// of its suspension points and stops there; cancelling a finished task does nothing.
class CancellableTask
{
public:
    CancellableTask()
        : m_cancelled(std::make_shared<bool>(false))
    {}

    void cancel() const { *m_cancelled = true; }
    bool isCancelled() const { return *m_cancelled; }

private:
    std::shared_ptr<bool> m_cancelled;
};

} // namespace parlune
