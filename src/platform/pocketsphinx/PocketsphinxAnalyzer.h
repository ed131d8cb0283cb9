// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/pocketsphinx/PocketsphinxDecoder.h"

#include <memory>

namespace parlune {

// Streams one dictation through a pocketsphinx decoder on a worker thread of its own, as the audio
// arrives. After each buffer the decoder's best reading is reported as a volatile result; the end of an
// utterance (a pause) and the end of the input settle it as a final one. Finishing therefore only
// costs the audio of the last buffers, not the whole dictation.
class PocketsphinxAnalyzer final : public Analyzer
{
public:
    // `decoder` is none when the locale has no model on this computer: starting then fails.
    PocketsphinxAnalyzer(std::shared_ptr<SharedDecoder> decoder, Transcriber transcriber,
                         QString missingModel);
    ~PocketsphinxAnalyzer() override;

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
