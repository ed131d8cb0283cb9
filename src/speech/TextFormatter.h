// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "speech/CursorContext.h"
#include "speech/Language.h"

#include <QString>
#include <QStringView>

namespace parlune {

struct SpokenCommand;

// Makes the recogniser's text read like written text in the dictation's language: spoken punctuation
// and layout commands become marks and line breaks, sentences begin with a capital, English "i" is "I",
// and the spacing follows the language's typography and the text already before the cursor. A command
// word that plainly belongs to the sentence ("le point de vue") stays a word; no word that is not a
// command is ever dropped.
//
// Two kinds of text come in. Bare words (lower case, no punctuation, blanks collapsed) get every capital
// and mark from here. A recogniser that writes ("Bonjour, comment vas-tu ?") keeps its capitals and marks,
// spaced again by the language's rules; the commands still apply, and the marks it guessed at the pauses
// around them give way. Its capital on the first word goes when the dictation continues a sentence
// already in the field: it only says that a phrase began.
//
// Pure and fast: no I/O, no state between calls, usable from any thread.
class TextFormatter
{
public:
    explicit TextFormatter(Language language);

    // The text to insert after what `before` describes: with a leading space when it continues a word,
    // never with a trailing one.
    QString format(QStringView words, const CursorContext& before = {}) const;

private:
    struct Commands;
    static const Commands& commandsOf(Language language);
    // The command said at `index`, the longest first, or none.
    const SpokenCommand* commandAt(const QStringList& folded, qsizetype index) const;
    bool keptAsWords(const SpokenCommand& command, const QString& previous, const QString& next) const;

    Language m_language;
    const Commands& m_commands;
};

} // namespace parlune
