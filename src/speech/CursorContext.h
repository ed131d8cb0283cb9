// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "speech/Language.h"

#include <QString>

#include <optional>

namespace parlune {

// How a dictation meets the text already before the text cursor: whether it begins a sentence, and
// what comes between the last character there and the dictation's first word.
struct CursorContext
{
    // How many characters before the cursor are worth reading: enough to see past a few blanks and
    // closing marks to the end of a sentence, and the last word whole.
    static constexpr int readLength = 32;

    // What separates the text before from the dictation's first word.
    enum class Join {
        // Nothing: the start of the field, or after a blank or a line break.
        nothing,
        // A space: after a word or a punctuation mark. A closing mark attaches with no space.
        space,
        // Nothing either, but after an opening mark or an elision ("(", "«", "l'"): the dictation
        // continues what is there.
        glued,
    };

    // From the characters just before the cursor. None, when the field tells nothing, is the start of a
    // sentence with nothing before it.
    static CursorContext fromTextBefore(const std::optional<QString>& text, Language language);

    // The dictation's first word gets a capital.
    bool sentenceStart = true;
    Join join = Join::nothing;
    // The last character before the cursor; null at the start of the field or when nothing is known.
    QChar lastCharacter;
    // The word that ends the text before, in lower case; empty unless the text ends with a word. It tells
    // a command word from a word of the sentence ("le" before "point de vue").
    QString lastWord;
};

} // namespace parlune
