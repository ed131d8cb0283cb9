// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "speech/Language.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace parlune {

// A punctuation or layout command said while dictating ("virgule", "new line") and what it writes.
struct SpokenCommand
{
    // The words said, in lower case. Each spelling a recogniser may give ("point-virgule", "point
    // virgule") is a command of its own.
    QStringList spoken;
    // What it writes: marks and line breaks.
    QString written;
    // Said right after one of these words, or right before one of these, the words belong to the
    // sentence and stay words ("le point de vue", "un point important"). The words after are those that
    // follow such a noun and seldom begin a sentence: a command is mostly followed by a new sentence,
    // which may begin with "De" or "When". An entry ending in an apostrophe stands for every word it
    // begins ("l'" for "l'autre").
    QStringList keptAfter;
    QStringList keptBefore;
    // Between two numbers it is a decimal separator said aloud ("trois virgule cinq") and stays a word.
    bool decimal = false;
};

// The commands of a language.
const QList<SpokenCommand>& spokenCommands(Language language);
// The numbers a decimal separator stands between, written as words, in lower case.
const QStringList& numberWords(Language language);

} // namespace parlune
