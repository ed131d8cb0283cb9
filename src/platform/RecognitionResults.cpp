// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Recognizer.h"

namespace parlune {

void RecognitionResults::deliver(TranscriptionResult result)
{
    if (m_ended)
        return;
    m_waiting.push_back(std::move(result));
    resumeConsumer();
}

void RecognitionResults::end(std::optional<RecognitionError> error)
{
    if (m_ended)
        return;
    m_ended = true;
    m_error = std::move(error);
    resumeConsumer();
}

std::optional<TranscriptionResult> RecognitionResults::take()
{
    if (m_waiting.empty())
        return std::nullopt;
    TranscriptionResult result = std::move(m_waiting.front());
    m_waiting.pop_front();
    return result;
}

void RecognitionResults::resumeConsumer()
{
    // The handle is cleared first: the resumed consumer usually waits again right away.
    if (std::coroutine_handle<> consumer = std::exchange(m_consumer, nullptr))
        consumer.resume();
}

} // namespace parlune
