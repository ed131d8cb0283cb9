// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/PocketsphinxDecoder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <pocketsphinx.h>
#include <sphinxbase/err.h>
#include <sphinxbase/ngram_model.h>

namespace parlune {

namespace {

RecognitionError incompleteModel()
{
    return RecognitionError{QStringLiteral("Le modèle de reconnaissance vocale est incomplet.")};
}

// The entries of `dictionary` whose word (without the "(2)" that marks a second pronunciation) `model`
// knows, in their order. None when the dictionary cannot be read.
std::optional<QByteArray> knownEntries(const QString& dictionary, ngram_model_t* model)
{
    QFile file(dictionary);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const int32 unknown = ngram_unknown_wid(model);
    QByteArray kept;
    while (!file.atEnd()) {
        QByteArray line = file.readLine();
        const qsizetype end = line.indexOf(' ') >= 0 ? line.indexOf(' ') : line.indexOf('\t');
        QByteArray word = line.left(end);
        if (const qsizetype variant = word.indexOf('('); variant > 0)
            word.truncate(variant);
        if (word.isEmpty() || ngram_wid(model, word.constData()) == unknown)
            continue;
        if (!line.endsWith('\n'))
            line += '\n';
        kept += line;
    }
    return kept;
}

// Frees what pocketsphinx made, in any order of failure.
struct Loading
{
    cmd_ln_t* config = nullptr;
    logmath_t* logmath = nullptr;
    ngram_model_t* languageModel = nullptr;
    ~Loading()
    {
        ngram_model_free(languageModel);
        logmath_free(logmath);
        cmd_ln_free_r(config);
    }
};

} // namespace

Outcome<std::unique_ptr<PocketsphinxDecoder>, RecognitionError>
PocketsphinxDecoder::load(const ModelFiles& files)
{
    // pocketsphinx logs every reading it makes, and dictated text must never reach a log: its logging
    // is switched off for the whole process before the first decoder exists.
    static std::once_flag silenced;
    std::call_once(silenced, [] { err_set_logfp(nullptr); });

    const QByteArray acousticModel = files.acousticModel.toLocal8Bit();
    const QByteArray languageModel = files.languageModel.toLocal8Bit();
    // Only the first, streaming pass: the flat second pass and the lattice search would decode the
    // whole utterance again when it ends, which after five seconds of speech makes the text arrive half
    // a second after the key is released instead of a few tens of milliseconds.
    Loading loading;
    loading.config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", acousticModel.constData(), "-samprate",
                                 "16000", "-fwdflat", "no", "-bestpath", "no", nullptr);
    if (!loading.config)
        return incompleteModel();

    // The language model first, so that the dictionary can be cut to its words; it is then given to
    // the decoder as its search, just as pocketsphinx does with a model named in the configuration.
    loading.logmath = logmath_init(cmd_ln_float32_r(loading.config, "-logbase"), 0, TRUE);
    loading.languageModel =
        ngram_model_read(loading.config, languageModel.constData(), NGRAM_AUTO, loading.logmath);
    if (!loading.languageModel)
        return incompleteModel();
    const std::optional<QByteArray> entries = knownEntries(files.dictionary, loading.languageModel);
    QTemporaryFile dictionary(QDir::temp().filePath(QStringLiteral("parlune-dictionary-XXXXXX")));
    if (!entries || !dictionary.open() || dictionary.write(*entries) != entries->size() ||
        !dictionary.flush())
        return incompleteModel();
    const QByteArray dictionaryPath = QFile::encodeName(dictionary.fileName());
    cmd_ln_set_str_r(loading.config, "-dict", dictionaryPath.constData());

    ps_decoder_t* decoder = ps_init(loading.config);
    if (!decoder)
        return RecognitionError{QStringLiteral("Le modèle de reconnaissance vocale n'a pas pu être chargé.")};
    auto made = std::unique_ptr<PocketsphinxDecoder>(new PocketsphinxDecoder(decoder));
    static constexpr char search[] = "dictation";
    if (ps_set_lm(decoder, search, loading.languageModel) != 0 || ps_set_search(decoder, search) != 0)
        return incompleteModel();
    return made;
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

SharedDecoder::Turn SharedDecoder::takeTurn()
{
    std::lock_guard lock(m_mutex);
    return m_nextTurn++;
}

Outcome<PocketsphinxDecoder*, RecognitionError> SharedDecoder::acquire(Turn turn)
{
    std::unique_lock lock(m_mutex);
    m_turnEnded.wait(lock, [&] { return m_serving == turn; });
    if (!m_decoder) {
        // Loaded outside the lock, so that later dictations can take their turns meanwhile.
        lock.unlock();
        auto loaded = PocketsphinxDecoder::load(m_files);
        lock.lock();
        if (!loaded)
            return loaded.error();
        m_decoder = std::move(loaded.value());
    }
    return m_decoder.get();
}

void SharedDecoder::release()
{
    {
        std::lock_guard lock(m_mutex);
        ++m_serving;
    }
    m_turnEnded.notify_all();
}

bool SharedDecoder::isLoaded() const
{
    std::lock_guard lock(m_mutex);
    return m_decoder != nullptr;
}

} // namespace parlune
