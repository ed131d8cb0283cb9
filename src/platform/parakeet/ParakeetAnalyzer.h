// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/parakeet/ParakeetModelSlot.h"

#include <functional>
#include <memory>

namespace parlune {

// One dictation on Parakeet, on a worker thread of its own: the voice detector cuts the audio into
// phrases at the pauses as it arrives, and each phrase is decoded as soon as it is closed, while the user
// goes on speaking (see PhraseDecoding). Finishing leaves only the last phrase to decode; cancelling
// drops everything at once. Dictations share the model, never a voice detector.
class ParakeetAnalyzer final : public Analyzer
{
public:
    // Asked on the main thread before the model is loaded: whether it may be, in this process.
    using Clearance = std::function<QCoro::Task<std::optional<RecognitionError>>()>;

    ParakeetAnalyzer(std::shared_ptr<ParakeetModelSlot> model, Transcriber transcriber,
                     Clearance clearance = {});
    ~ParakeetAnalyzer() override;

    // Loads the model and a first voice detector, off the main thread, once cleared.
    QCoro::Task<std::optional<RecognitionError>> prepareToAnalyze(AudioFormat format) override;
    QCoro::Task<std::optional<RecognitionError>> start(std::shared_ptr<AudioBufferQueue> input) override;
    QCoro::Task<std::optional<RecognitionError>> finalizeAndFinishThroughEndOfInput() override;
    QCoro::Task<> cancelAndFinishNow() override;
    std::shared_ptr<RecognitionResults> results() override;

    struct Worker;

private:
    std::shared_ptr<Worker> m_worker;
    Clearance m_clearance;
};

} // namespace parlune
