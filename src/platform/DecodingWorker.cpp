// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DecodingWorker.h"

namespace parlune {

QCoro::Task<std::optional<RecognitionError>> finishThroughEndOfInput(std::shared_ptr<DecodingWorker> worker)
{
    if (!worker->running) {
        worker->end(std::nullopt);
        co_return std::nullopt;
    }
    worker->input->finish();
    co_return co_await worker->finished->wait();
}

QCoro::Task<> cancelDecodingNow(std::shared_ptr<DecodingWorker> worker)
{
    worker->cancelled = true;
    if (!worker->running) {
        worker->end(std::nullopt);
        co_return;
    }
    worker->input->abandon();
    co_await worker->finished->wait();
}

} // namespace parlune
