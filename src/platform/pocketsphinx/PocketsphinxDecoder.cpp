// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/PocketsphinxDecoder.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

namespace parlune {

Outcome<std::unique_ptr<PocketsphinxDecoder>, RecognitionError>
PocketsphinxDecoder::load(const ModelFiles& files)
{
    // pocketsphinx logs every reading it makes, and dictated text must never reach a log: its logging
    // is switched off for the whole process before the first decoder exists.
    static std::once_flag silenced;
    std::call_once(silenced, [] { err_set_logfp(nullptr); });

    const QByteArray acousticModel = files.acousticModel.toLocal8Bit();
    const QByteArray languageModel = files.languageModel.toLocal8Bit();
    const QByteArray dictionary = files.dictionary.toLocal8Bit();
    // Only the first, streaming pass: the flat second pass and the lattice search would decode the
    // whole utterance again when it ends, which after five seconds of speech makes the text arrive half
    // a second after the key is released instead of a few tens of milliseconds.
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acousticModel.constData(), "-lm",
                                   languageModel.constData(), "-dict", dictionary.constData(), "-samprate",
                                   "16000", "-fwdflat", "no", "-bestpath", "no", nullptr);
    if (!config)
        return RecognitionError{QStringLiteral("Le modèle de reconnaissance vocale est incomplet.")};
    ps_decoder_t* decoder = ps_init(config);
    cmd_ln_free_r(config);
    if (!decoder)
        return RecognitionError{QStringLiteral("Le modèle de reconnaissance vocale n'a pas pu être chargé.")};
    return std::unique_ptr<PocketsphinxDecoder>(new PocketsphinxDecoder(decoder));
}

PocketsphinxDecoder::~PocketsphinxDecoder()
{
    ps_free(m_decoder);
}

void PocketsphinxDecoder::startUtterance()
{
    ps_start_utt(m_decoder);
}

void PocketsphinxDecoder::process(const qint16* samples, std::size_t count)
{
    ps_process_raw(m_decoder, samples, count, FALSE, FALSE);
}

bool PocketsphinxDecoder::inSpeech() const
{
    return ps_get_in_speech(m_decoder) != 0;
}

QString PocketsphinxDecoder::hypothesis() const
{
    int32 score = 0;
    const char* hypothesis = ps_get_hyp(m_decoder, &score);
    return hypothesis ? QString::fromUtf8(hypothesis) : QString();
}

void PocketsphinxDecoder::endUtterance()
{
    ps_end_utt(m_decoder);
}

Outcome<std::unique_ptr<PocketsphinxDecoder>, RecognitionError> DecoderPool::acquire()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_free.empty()) {
            std::unique_ptr<PocketsphinxDecoder> decoder = std::move(m_free.back());
            m_free.pop_back();
            return decoder;
        }
    }
    // Loaded outside the lock: another dictation may take or give back a decoder meanwhile.
    auto loaded = PocketsphinxDecoder::load(m_files);
    if (loaded) {
        std::lock_guard lock(m_mutex);
        ++m_loaded;
    }
    return loaded;
}

void DecoderPool::release(std::unique_ptr<PocketsphinxDecoder> decoder)
{
    std::lock_guard lock(m_mutex);
    m_free.push_back(std::move(decoder));
}

int DecoderPool::loadedCount() const
{
    std::lock_guard lock(m_mutex);
    return m_loaded;
}

int DecoderPool::freeCount() const
{
    std::lock_guard lock(m_mutex);
    return int(m_free.size());
}

} // namespace parlune
