// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vosk/VoskLibrary.h"

#include <QCoreApplication>
#include <QDir>

#include <dlfcn.h>

namespace parlune {

QString VoskLibrary::installedPath()
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() +
                           QLatin1String("/../lib/parlune/libvosk.so"));
}

Outcome<std::shared_ptr<const VoskLibrary>, QString> VoskLibrary::load(const QString& path)
{
    // Local symbols: nothing of the library (its own copy of Kaldi and OpenFst) can stand in for ours.
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return QString::fromLocal8Bit(dlerror());

    std::shared_ptr<VoskLibrary> library(new VoskLibrary);
    library->m_handle = handle;
    library->m_path = path;
    QString missing;
    const auto resolve = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
        if (!function && missing.isEmpty())
            missing = QString::fromLatin1(name);
    };
    resolve(library->setLogLevel, "vosk_set_log_level");
    resolve(library->modelNew, "vosk_model_new");
    resolve(library->modelFree, "vosk_model_free");
    resolve(library->recognizerNew, "vosk_recognizer_new");
    resolve(library->recognizerSetWords, "vosk_recognizer_set_words");
    resolve(library->recognizerSetPartialWords, "vosk_recognizer_set_partial_words");
    resolve(library->recognizerSetMaxAlternatives, "vosk_recognizer_set_max_alternatives");
    resolve(library->recognizerAcceptWaveformS, "vosk_recognizer_accept_waveform_s");
    resolve(library->recognizerPartialResult, "vosk_recognizer_partial_result");
    resolve(library->recognizerResult, "vosk_recognizer_result");
    resolve(library->recognizerFinalResult, "vosk_recognizer_final_result");
    resolve(library->recognizerReset, "vosk_recognizer_reset");
    resolve(library->recognizerFree, "vosk_recognizer_free");
    if (!missing.isEmpty())
        return QStringLiteral("%1 has no %2").arg(path, missing);

    // Its information lines (model loading, decoder settings) are of no use in the journal.
    library->setLogLevel(-1);
    return std::shared_ptr<const VoskLibrary>(std::move(library));
}

VoskLibrary::~VoskLibrary()
{
    // Models and recognisers made from it may only be let go of before this.
    if (m_handle)
        dlclose(m_handle);
}

} // namespace parlune
