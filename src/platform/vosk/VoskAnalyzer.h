// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/vosk/VoskModel.h"

#include <memory>

namespace parlune {

// Streams one dictation through a Vosk recogniser on a worker thread of its own, as the audio arrives.
// After each buffer the utterance's partial text is reported as a volatile result when it changed; the
// end of an utterance and the end of the input give final ones. Dictations share the model, never a
// recogniser.
class VoskAnalyzer final : public Analyzer
{
public:
    VoskAnalyzer(std::shared_ptr<VoskModelSlot> model, Transcriber transcriber);
    ~VoskAnalyzer() override;

    QCoro::Task<std::optional<RecognitionError>> prepareToAnalyze(AudioFormat format) override;
    QCoro::Task<std::optional<RecognitionError>> start(std::shared_ptr<AudioBufferQueue> input) override;
    QCoro::Task<std::optional<RecognitionError>> finalizeAndFinishThroughEndOfInput() override;
    QCoro::Task<> cancelAndFinishNow() override;
    std::shared_ptr<RecognitionResults> results() override;

    struct Worker;

private:
    std::shared_ptr<Worker> m_worker;
};

} // namespace parlune
