// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "platform/pocketsphinx/ModelFiles.h"

#include <QString>

#include <memory>
#include <mutex>
#include <vector>

struct ps_decoder_s;

namespace parlune {

// One pocketsphinx decoder with its model loaded. Used by one thread at a time.
class PocketsphinxDecoder
{
public:
    static Outcome<std::unique_ptr<PocketsphinxDecoder>, RecognitionError> load(const ModelFiles& files);
    ~PocketsphinxDecoder();

    void startUtterance();
    // 16 kHz mono samples.
    void process(const qint16* samples, std::size_t count);
    // Whether the last audio processed held speech; false again after a pause long enough to end the
    // utterance.
    bool inSpeech() const;
    // The best reading of the utterance so far (words only, no silence or noise markers).
    QString hypothesis() const;
    void endUtterance();

private:
    explicit PocketsphinxDecoder(ps_decoder_s* decoder)
        : m_decoder(decoder)
    {}

    ps_decoder_s* m_decoder;
};

// The decoders of one model. Loading a model takes long and much memory, so decoders are kept for the
// rest of the run and handed from one dictation to the next; a decoder is never used by two live
// dictations at once, so a second concurrent dictation loads a second decoder, which is kept too.
class DecoderPool
{
public:
    explicit DecoderPool(ModelFiles files)
        : m_files(std::move(files))
    {}

    // A free decoder, loading a new one when all are in use. Called off the main thread: it may load.
    Outcome<std::unique_ptr<PocketsphinxDecoder>, RecognitionError> acquire();
    void release(std::unique_ptr<PocketsphinxDecoder> decoder);

    // Decoders loaded so far, in use or free.
    int loadedCount() const;
    // Decoders waiting for a dictation.
    int freeCount() const;
    const ModelFiles& files() const { return m_files; }

private:
    const ModelFiles m_files;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<PocketsphinxDecoder>> m_free;
    int m_loaded = 0;
};

} // namespace parlune
