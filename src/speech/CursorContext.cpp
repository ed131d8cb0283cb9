// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/CursorContext.h"

#include "speech/Typography.h"

namespace parlune {

using namespace typography;

namespace {

bool isWordCharacter(QChar character)
{
    return character.isLetterOrNumber() || character.isMark() || isApostrophe(character) || character == u'-';
}

// A straight quote opens when nothing or a blank comes before it, and closes otherwise.
bool isOpeningAt(QStringView text, qsizetype index)
{
    const QChar character = text[index];
    if (character == u'"' || character == u'\'')
        return index == 0 || text[index - 1].isSpace();
    return isOpeningMark(character);
}

// A closing quote or bracket: what it closes may have ended a sentence.
bool closesQuote(QChar character)
{
    return QStringView(u")]}»”’\"'").contains(character);
}

} // namespace

CursorContext CursorContext::fromTextBefore(const std::optional<QString>& text, Language language)
{
    CursorContext context;
    if (!text || text->isEmpty())
        return context;
    const QStringView before(*text);
    const qsizetype last = before.size() - 1;
    context.lastCharacter = before[last];

    // "l'" in French is an elision the next word completes; elsewhere an apostrophe after a letter
    // closes a possessive ("the students'").
    const bool elision =
        language == Language::fr && isApostrophe(before[last]) && last > 0 && before[last - 1].isLetter();
    if (context.lastCharacter.isSpace())
        context.join = Join::nothing;
    else if (elision || isOpeningAt(before, last) || context.lastCharacter == u'-' ||
             context.lastCharacter == u'/')
        context.join = Join::glued;
    else
        context.join = Join::space;

    // The capital: the end of a sentence or a line break before the cursor, past blanks, opening marks
    // and closing quotes or brackets ("Fin. « " and "« Fin. » " both end one).
    qsizetype index = last;
    while (index >= 0 && !isLineBreak(before[index]) &&
           (before[index].isSpace() || isOpeningAt(before, index) || closesQuote(before[index])))
        --index;
    context.sentenceStart =
        !elision && (index < 0 || isLineBreak(before[index]) || endsSentence(before[index]));

    // The last word, past the blanks that may follow it on the same line.
    qsizetype end = last + 1;
    while (end > 0 && before[end - 1].isSpace() && !isLineBreak(before[end - 1]))
        --end;
    qsizetype start = end;
    while (start > 0 && isWordCharacter(before[start - 1]))
        --start;
    if (!elision && start < end)
        context.lastWord = folded(before.mid(start, end - start));
    return context;
}

} // namespace parlune
