// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace parlune {

// The files pocketsphinx needs for one locale, as found in a model folder: the acoustic model (the
// folder holding `mdef`), the language model and the pronunciation dictionary.
struct ModelFiles
{
    QString acousticModel;
    QString languageModel;
    QString dictionary;

    // The model laid out in `folder`: the acoustic model is the folder itself or one of its
    // subfolders; the language model is a `.lm.bin`, `.lm` or `.lm.dmp` file (a phonetic one is
    // never taken); the dictionary a `.dict` or `.dic` file. None when a piece is missing.
    static std::optional<ModelFiles> find(const QString& folder);
};

} // namespace parlune
