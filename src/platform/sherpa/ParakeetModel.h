// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "platform/parakeet/PhraseDecoder.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <mutex>

namespace parlune {

class SherpaOnnxLibrary;

namespace sherpa {
struct SherpaOnnxOfflineRecognizer;
}

// NVIDIA's Parakeet TDT model, loaded from its folder through sherpa-onnx, decoding one whole phrase of
// 16 kHz mono audio per call into the text the model writes, punctuation and capitals included.
class ParakeetModel : public PhraseDecoder
{
public:
    static constexpr int sampleRate = 16000;

    // The files of a model folder.
    static const QStringList& fileNames();

    // Loads the model in `folder`, decoding with `threads` threads. Slow for the real model (seconds):
    // call it off the main thread. The library's threads are made at a lowered priority
    // (DecodingThreads). A missing file is told; a folder whose files are all there but damaged may
    // end the process: load only a verified model, or one a child process has loaded already.
    static Outcome<std::shared_ptr<ParakeetModel>, RecognitionError>
    load(std::shared_ptr<const SherpaOnnxLibrary> library, const QString& folder, int threads);

    ~ParakeetModel() override;

    int threads() const { return m_threads; }

    // Any thread. Calls made at the same time take their turn: each decoding already keeps
    // `threads()` cores busy.
    Outcome<QString, RecognitionError> decode(std::span<const float> samples) override;

private:
    ParakeetModel(std::shared_ptr<const SherpaOnnxLibrary> library,
                  const sherpa::SherpaOnnxOfflineRecognizer* recognizer, int threads);

    std::shared_ptr<const SherpaOnnxLibrary> m_library;
    const sherpa::SherpaOnnxOfflineRecognizer* m_recognizer;
    int m_threads;
    std::mutex m_decoding;
};

} // namespace parlune
