// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <coroutine>
#include <vector>

namespace parlune {

// Marks the end of a main-thread task so that others can wait for it: each dictation's delivery waits
// for the previous dictation's, so texts arrive in the order they were dictated. The waiters resume
// right when the task completes, in the order they started waiting.
class Completion
{
public:
    Completion() = default;
    Completion(const Completion&) = delete;
    Completion& operator=(const Completion&) = delete;

    bool isDone() const { return m_done; }

    void complete()
    {
        m_done = true;
        auto waiters = std::move(m_waiters);
        m_waiters.clear();
        for (std::coroutine_handle<> waiter : waiters)
            waiter.resume();
    }

    // co_await completion.wait()
    auto wait()
    {
        struct Awaiter
        {
            Completion* completion;
            bool await_ready() const noexcept { return completion->m_done; }
            void await_suspend(std::coroutine_handle<> handle) { completion->m_waiters.push_back(handle); }
            void await_resume() const noexcept {}
        };
        return Awaiter{this};
    }

private:
    bool m_done = false;
    std::vector<std::coroutine_handle<>> m_waiters;
};

} // namespace parlune
