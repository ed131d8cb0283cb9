// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QMetaObject>

#include <coroutine>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace parlune {

// Runs `call` on the main thread, after what was posted before it. Calls posted from one thread run in
// the order they were posted.
template <typename Call> void postToMainThread(Call&& call)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::forward<Call>(call), Qt::QueuedConnection);
}

// A value that arrives once, on the main thread, for the coroutines that wait for it there.
template <typename T> class Completion
{
public:
    void complete(T value)
    {
        if (m_value)
            return;
        m_value = std::move(value);
        for (std::coroutine_handle<> waiter : std::exchange(m_waiters, {}))
            waiter.resume();
    }
    bool isComplete() const { return m_value.has_value(); }

    // Awaits the value; the waiter keeps the completion alive meanwhile.
    // WORKAROUND: g++ 12 may destroy a temporary awaiter of a co_await expression twice, so the awaiter
    // holds a plain pointer and never owns anything.
    auto wait()
    {
        struct Awaiter
        {
            Completion* completion;
            bool await_ready() const noexcept { return completion->m_value.has_value(); }
            void await_suspend(std::coroutine_handle<> handle) { completion->m_waiters.push_back(handle); }
            T await_resume() const { return *completion->m_value; }
        };
        return Awaiter{this};
    }

private:
    std::optional<T> m_value;
    std::vector<std::coroutine_handle<>> m_waiters;
};

// Runs `work` on a thread of its own and completes, on the main thread, with what it returns.
template <typename T, typename Work> std::shared_ptr<Completion<T>> runInBackground(Work work)
{
    auto completion = std::make_shared<Completion<T>>();
    std::thread([completion, work = std::move(work)]() mutable {
        T value = work();
        postToMainThread(
            [completion, value = std::move(value)]() mutable { completion->complete(std::move(value)); });
    }).detach();
    return completion;
}

} // namespace parlune
