// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "platform/pocketsphinx/ModelFiles.h"

#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>

struct ps_decoder_s;

namespace parlune {

// One pocketsphinx decoder with its model loaded. Used by one thread at a time.
//
// The dictionary is cut to the words the language model knows before it is loaded: the decoder could
// never recognise the others, and they would cost about 13 MB for the English model (134 000 entries,
// 79 000 of them in its language model).
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

// The one decoder of a model, lent to one dictation at a time. Loading a model takes about a second and
// tens of megabytes, so it is loaded once and kept for the rest of the run. A dictation started while
// the previous one is still being finished waits for the decoder, its audio kept in its queue meanwhile:
// the decoder is lent in the order the dictations started, so their transcriptions end in that order.
class SharedDecoder
{
public:
    explicit SharedDecoder(ModelFiles files)
        : m_files(std::move(files))
    {}

    // A place in the line, taken on the main thread when a dictation starts (or a language is being
    // prepared): the decoder goes to the places in the order they were taken.
    using Turn = quint64;
    Turn takeTurn();

    // Waits for `turn`, then gives the decoder, loading it the first time. Called off the main thread.
    // Every turn must be ended with release(), even after a failure.
    Outcome<PocketsphinxDecoder*, RecognitionError> acquire(Turn turn);
    void release();

    // Whether the decoder has been loaded.
    bool isLoaded() const;
    const ModelFiles& files() const { return m_files; }

private:
    const ModelFiles m_files;
    mutable std::mutex m_mutex;
    std::condition_variable m_turnEnded;
    std::unique_ptr<PocketsphinxDecoder> m_decoder;
    Turn m_nextTurn = 0;
    Turn m_serving = 0;
};

} // namespace parlune
