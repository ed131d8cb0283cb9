// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/vosk/VoskApi.h"

#include <QString>

#include <memory>

namespace parlune {

// libvosk, loaded at run time. The program runs without it (English then comes from pocketsphinx), so
// it is opened with dlopen rather than linked. Once loaded it stays loaded for the rest of the run.
class VoskLibrary
{
public:
    // Where the program installs it: lib/parlune/libvosk.so beside the folder of the executable, which
    // holds both for an installed program (/usr/bin → /usr/lib/parlune) and for one run from its build
    // folder.
    static QString installedPath();

    // The library at `path` with every function the program calls; the text says why not otherwise.
    static Outcome<std::shared_ptr<const VoskLibrary>, QString> load(const QString& path);

    VoskLibrary(const VoskLibrary&) = delete;
    VoskLibrary& operator=(const VoskLibrary&) = delete;
    ~VoskLibrary();

    const QString& path() const { return m_path; }

    vosk_set_log_level_t setLogLevel = nullptr;
    vosk_model_new_t modelNew = nullptr;
    vosk_model_free_t modelFree = nullptr;
    vosk_recognizer_new_t recognizerNew = nullptr;
    vosk_recognizer_set_words_t recognizerSetWords = nullptr;
    vosk_recognizer_set_partial_words_t recognizerSetPartialWords = nullptr;
    vosk_recognizer_set_max_alternatives_t recognizerSetMaxAlternatives = nullptr;
    vosk_recognizer_accept_waveform_s_t recognizerAcceptWaveformS = nullptr;
    vosk_recognizer_partial_result_t recognizerPartialResult = nullptr;
    vosk_recognizer_result_t recognizerResult = nullptr;
    vosk_recognizer_final_result_t recognizerFinalResult = nullptr;
    vosk_recognizer_reset_t recognizerReset = nullptr;
    vosk_recognizer_free_t recognizerFree = nullptr;

private:
    VoskLibrary() = default;

    void* m_handle = nullptr;
    QString m_path;
};

} // namespace parlune
