// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/TextFormatter.h"

#include "speech/SpokenCommands.h"
#include "speech/Typography.h"

#include <QHash>

#include <algorithm>

namespace parlune {

using namespace typography;

// A language's commands by their first word, the longest first, so that "point d'interrogation" wins
// over "point".
struct TextFormatter::Commands
{
    explicit Commands(Language language)
    {
        for (const SpokenCommand& command : spokenCommands(language))
            byFirstWord[command.spoken.first()].append(&command);
        for (QList<const SpokenCommand*>& candidates : byFirstWord) {
            std::stable_sort(candidates.begin(), candidates.end(), [](const auto* a, const auto* b) {
                return a->spoken.size() > b->spoken.size();
            });
        }
    }

    QHash<QString, QList<const SpokenCommand*>> byFirstWord;
};

namespace {

const QStringView frenchNarrowSpaced = u";!?";
const QStringView frenchSpaced = u":»";
const QStringView clauseMarks = u",;:";

// Writes words and marks one after the other, deciding the space before each and the capitals.
class Writer
{
public:
    Writer(Language language, const CursorContext& before)
        : m_language(language)
        , m_join(before.join)
        , m_last(before.lastCharacter)
        , m_sentenceStart(before.sentenceStart)
    {}

    void word(const QString& word)
    {
        if (m_join == CursorContext::Join::space)
            m_text += u' ';
        else if (m_join == CursorContext::Join::glued && m_language == Language::fr && m_last == u'«')
            m_text += noBreakSpace;
        if (m_clauseStart < 0)
            m_clauseStart = m_text.size();
        const qsizetype at = m_text.size();
        m_text += word;
        if (m_sentenceStart && m_text[at].isLetter())
            m_text[at] = m_text[at].toTitleCase();
        else if (m_language == Language::en && word[0] == u'i' && (word.size() == 1 || isApostrophe(word[1])))
            m_text[at] = u'I';
        m_last = word.back();
        m_join = CursorContext::Join::space;
        m_sentenceStart = endsSentence(m_last);
        if (m_sentenceStart)
            m_clauseStart = -1;
    }

    void write(QStringView written)
    {
        for (const QChar mark : written)
            this->mark(mark);
    }

    QString take() { return std::move(m_text); }

private:
    void mark(QChar mark)
    {
        if (isLineBreak(mark)) {
            // No space before it: a line never ends with a blank.
            m_text += mark;
            m_join = CursorContext::Join::nothing;
            m_sentenceStart = true;
            m_clauseStart = -1;
        } else if (isOpeningMark(mark)) {
            if (m_join == CursorContext::Join::space)
                m_text += u' ';
            m_text += mark;
            m_join = CursorContext::Join::glued;
        } else {
            if (m_join == CursorContext::Join::space && m_language == Language::fr) {
                if (frenchNarrowSpaced.contains(mark))
                    m_text += narrowNoBreakSpace;
                else if (frenchSpaced.contains(mark))
                    m_text += noBreakSpace;
            }
            // Spanish opens a question or an exclamation where its sentence begins.
            if (m_language == Language::es && (mark == u'?' || mark == u'!') && m_clauseStart >= 0)
                m_text.insert(m_clauseStart, mark == u'?' ? u'¿' : u'¡');
            m_text += mark;
            m_join = CursorContext::Join::space;
            if (endsSentence(mark)) {
                m_sentenceStart = true;
                m_clauseStart = -1;
            } else if (clauseMarks.contains(mark)) {
                m_sentenceStart = false;
            }
        }
        m_last = mark;
    }

    const Language m_language;
    QString m_text;
    CursorContext::Join m_join;
    QChar m_last;
    bool m_sentenceStart;
    // Where the first word of the sentence being written is, once there is one.
    qsizetype m_clauseStart = -1;
};

// An entry ending in an apostrophe stands for every word it begins ("d'" for "d'honneur").
bool listed(const QStringList& list, const QString& word)
{
    if (word.isEmpty())
        return false;
    return std::any_of(list.begin(), list.end(), [&word](const QString& entry) {
        return entry.endsWith(u'\'') ? word.startsWith(entry) : word == entry;
    });
}

bool isNumber(const QString& word, Language language)
{
    return !word.isEmpty() && (word[0].isDigit() || numberWords(language).contains(word));
}

} // namespace

TextFormatter::TextFormatter(Language language)
    : m_language(language)
    , m_commands(commandsOf(language))
{}

QString TextFormatter::format(QStringView words, const CursorContext& before) const
{
    // The words as said, and as compared with the commands. A French elision the recogniser left apart
    // ("l' homme") joins its word.
    QStringList said;
    for (const QStringView word : words.tokenize(u' ', Qt::SkipEmptyParts)) {
        if (m_language == Language::fr && !said.isEmpty() && said.last().size() > 1 &&
            isApostrophe(said.last().back()))
            said.last() += word;
        else
            said.append(word.toString());
    }
    QStringList foldedWords;
    foldedWords.reserve(said.size());
    for (const QString& word : std::as_const(said))
        foldedWords.append(folded(word));

    Writer writer(m_language, before);
    // The word said just before, to tell a command from a word of the sentence; a command separates.
    QString previous = before.lastWord;
    for (qsizetype index = 0; index < said.size();) {
        const SpokenCommand* command = commandAt(foldedWords, index);
        const qsizetype length = command ? command->spoken.size() : 1;
        const QString next = index + length < said.size() ? foldedWords[index + length] : QString();
        if (command && !keptAsWords(*command, previous, next)) {
            writer.write(command->written);
            previous.clear();
        } else {
            for (qsizetype word = index; word < index + length; ++word)
                writer.word(said[word]);
            previous = foldedWords[index + length - 1];
        }
        index += length;
    }
    return writer.take();
}

const SpokenCommand* TextFormatter::commandAt(const QStringList& folded, qsizetype index) const
{
    const auto candidates = m_commands.byFirstWord.constFind(folded[index]);
    if (candidates == m_commands.byFirstWord.cend())
        return nullptr;
    for (const SpokenCommand* command : *candidates) {
        const qsizetype length = command->spoken.size();
        if (index + length > folded.size())
            continue;
        bool matches = true;
        for (qsizetype word = 1; word < length && matches; ++word)
            matches = folded[index + word] == command->spoken[word];
        if (matches)
            return command;
    }
    return nullptr;
}

bool TextFormatter::keptAsWords(const SpokenCommand& command, const QString& previous,
                                const QString& next) const
{
    return listed(command.keptAfter, previous) || listed(command.keptBefore, next) ||
           (command.decimal && isNumber(previous, m_language) && isNumber(next, m_language));
}

const TextFormatter::Commands& TextFormatter::commandsOf(Language language)
{
    static const Commands fr(Language::fr);
    static const Commands es(Language::es);
    static const Commands en(Language::en);
    switch (language) {
    case Language::fr:
        return fr;
    case Language::es:
        return es;
    case Language::en:
        break;
    }
    return en;
}

} // namespace parlune
