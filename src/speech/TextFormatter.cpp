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

// The marks that close a clause or a sentence: where a recogniser that punctuates puts its guesses.
bool separates(QChar mark)
{
    return QStringView(u",.;:?!…").contains(mark);
}

// The recogniser's text in order: its words, the marks it wrote itself, and the commands said.
struct Piece
{
    enum class Kind { word, mark, command };
    Kind kind = Kind::word;
    // The word, the recogniser's mark, or what the command writes.
    QString text;
    // A recogniser's mark that opens what follows ("«", "(", a straight quote before a word).
    bool opens = false;
    // A word the recogniser may have capitalised only because its phrase began there.
    bool phraseStart = false;
    // A recogniser's mark that a command next to it replaces.
    bool dropped = false;
};

// Whether the recogniser wrote the text itself, with capitals or punctuation, rather than giving bare
// lower-case words.
bool isWritten(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isUpper() || separates(c); });
}

// The words and marks of a text, blanks dropped. Marks are taken off the ends of the words ("vas-tu ?",
// "« Oui »", "Bonjour,"); those inside a word stay ("vas-tu", "3,5", "aujourd'hui"). Bare words are
// taken whole. A French elision the recogniser left apart ("l' homme") joins its word.
QList<Piece> piecesOf(QStringView text, bool written, Language language)
{
    QList<Piece> pieces;
    const auto addWord = [&](QStringView word) {
        Piece* last = pieces.isEmpty() ? nullptr : &pieces.last();
        if (language == Language::fr && last && last->kind == Piece::Kind::word && last->text.size() > 1 &&
            isApostrophe(last->text.back()))
            last->text += word;
        else
            pieces.append(Piece{Piece::Kind::word, word.toString()});
    };
    const auto addMark = [&](QChar mark, bool opens) {
        pieces.append(Piece{Piece::Kind::mark, QString(mark), opens});
    };
    for (const QStringView chunk : text.tokenize(u' ', Qt::SkipEmptyParts)) {
        if (!written) {
            addWord(chunk);
            continue;
        }
        qsizetype start = 0;
        while (start < chunk.size() && (isOpeningMark(chunk[start]) || chunk[start] == u'"'))
            addMark(chunk[start++], true);
        qsizetype end = chunk.size();
        while (end > start && (isClosingMark(chunk[end - 1]) || chunk[end - 1] == u'"') &&
               !isApostrophe(chunk[end - 1]))
            --end;
        if (end > start)
            addWord(chunk.mid(start, end - start));
        for (qsizetype mark = end; mark < chunk.size(); ++mark)
            addMark(chunk[mark], false);
    }
    return pieces;
}

// A recogniser that punctuates guesses marks at the pauses around a command's words ("virgule,",
// "Nouvelle ligne."): the command says what the user wants there, so the guesses touching it go. A
// clause mark before a closing quote goes too, but a sentence may end right after it, and a line may
// end with a mark. A word whose sentence mark went was capitalised for nothing.
void dropGuessesAroundCommands(QList<Piece>& pieces)
{
    const auto isGuess = [&pieces](qsizetype index) {
        return index >= 0 && index < pieces.size() && pieces[index].kind == Piece::Kind::mark &&
               separates(pieces[index].text.front());
    };
    for (qsizetype index = 0; index < pieces.size(); ++index) {
        if (pieces[index].kind != Piece::Kind::command)
            continue;
        const QChar first = pieces[index].text.front();
        const QChar last = pieces[index].text.back();
        for (qsizetype before = index - 1; isGuess(before); --before) {
            const QChar guess = pieces[before].text.front();
            if (!separates(first) && !(isClosingMark(first) && clauseMarks.contains(guess)))
                break;
            pieces[before].dropped = true;
        }
        if (isClosingMark(last) && !separates(last))
            continue;
        qsizetype after = index + 1;
        bool endedSentence = false;
        for (; isGuess(after); ++after) {
            pieces[after].dropped = true;
            endedSentence = endedSentence || endsSentence(pieces[after].text.front());
        }
        if (endedSentence && after < pieces.size() && pieces[after].kind == Piece::Kind::word)
            pieces[after].phraseStart = true;
    }
}

// Capitalised as the first word of a sentence would be: one capital, at the start. Names written in
// capitals ("ONU") or with more than one ("McDonald") are not, nor English "I".
bool hasSentenceCapital(const QString& word, Language language)
{
    if (word.isEmpty() || !word.front().isUpper())
        return false;
    if (language == Language::en && word.front() == u'I' && (word.size() == 1 || isApostrophe(word[1])))
        return false;
    return std::none_of(word.begin() + 1, word.end(), [](QChar c) { return c.isUpper(); });
}

// Writes words and marks one after the other, deciding the space before each and the capitals.
class Writer
{
public:
    Writer(Language language, const CursorContext& before, bool written)
        : m_language(language)
        , m_written(written)
        , m_join(before.join)
        , m_last(before.lastCharacter)
        , m_sentenceStart(before.sentenceStart)
    {}

    void word(const QString& word, bool phraseStart)
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
        else if (m_written && phraseStart && hasSentenceCapital(word, m_language))
            // The recogniser began a phrase there, in the middle of the user's sentence.
            m_text[at] = m_text[at].toLower();
        else if (m_language == Language::en && word[0] == u'i' && (word.size() == 1 || isApostrophe(word[1])))
            m_text[at] = u'I';
        m_last = word.back();
        m_join = CursorContext::Join::space;
        m_sentenceStart = endsSentence(m_last);
        if (m_sentenceStart)
            endSentence();
    }

    // What a spoken command writes.
    void command(QStringView written)
    {
        for (const QChar mark : written)
            this->mark(mark, isOpeningMark(mark), true);
    }

    // A mark the recogniser wrote itself.
    void recognised(QChar mark, bool opens) { this->mark(mark, opens, false); }

    QString take() { return std::move(m_text); }

private:
    void mark(QChar mark, bool opens, bool said)
    {
        if (isLineBreak(mark)) {
            // No space before it: a line never ends with a blank.
            m_text += mark;
            m_join = CursorContext::Join::nothing;
            m_sentenceStart = true;
            endSentence();
        } else if (opens) {
            if (m_join == CursorContext::Join::space)
                m_text += u' ';
            m_text += mark;
            m_join = CursorContext::Join::glued;
            if (mark == u'¿' || mark == u'¡')
                m_opened += mark;
        } else {
            if (m_join == CursorContext::Join::space && m_language == Language::fr) {
                if (frenchNarrowSpaced.contains(mark))
                    m_text += narrowNoBreakSpace;
                else if (frenchSpaced.contains(mark))
                    m_text += noBreakSpace;
            }
            // Spanish opens a question or an exclamation where its sentence begins, unless the
            // recogniser already did.
            const QChar opening = mark == u'?' ? u'¿' : u'¡';
            if (m_language == Language::es && (mark == u'?' || mark == u'!') && m_clauseStart >= 0 &&
                !m_opened.contains(opening))
                m_text.insert(m_clauseStart, opening);
            m_text += mark;
            m_join = CursorContext::Join::space;
            if (endsSentence(mark)) {
                // After the recogniser's own full stop its capitals are kept as written ("etc. et").
                m_sentenceStart = said || !m_written;
                endSentence();
            } else if (clauseMarks.contains(mark) || !said) {
                m_sentenceStart = false;
            }
        }
        m_last = mark;
    }

    void endSentence()
    {
        m_clauseStart = -1;
        m_opened.clear();
    }

    const Language m_language;
    // The recogniser wrote its own capitals and marks.
    const bool m_written;
    QString m_text;
    CursorContext::Join m_join;
    QChar m_last;
    bool m_sentenceStart;
    // Where the first word of the sentence being written is, once there is one.
    qsizetype m_clauseStart = -1;
    // The Spanish opening marks written in that sentence.
    QString m_opened;
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
    const bool written = isWritten(words);
    const QList<Piece> said = piecesOf(words, written, m_language);
    // The words as compared with the commands; nothing for a mark.
    QStringList foldedWords;
    foldedWords.reserve(said.size());
    for (const Piece& piece : said)
        foldedWords.append(piece.kind == Piece::Kind::word ? folded(piece.text) : QString());

    QList<Piece> pieces;
    // The word said just before, to tell a command from a word of the sentence; a command or a mark
    // separates.
    QString previous = before.lastWord;
    for (qsizetype index = 0; index < said.size();) {
        if (said[index].kind == Piece::Kind::mark) {
            pieces.append(said[index++]);
            previous.clear();
            continue;
        }
        const SpokenCommand* command = commandAt(foldedWords, index);
        const qsizetype length = command ? command->spoken.size() : 1;
        const QString next = index + length < said.size() ? foldedWords[index + length] : QString();
        if (command && !keptAsWords(*command, previous, next)) {
            pieces.append(Piece{Piece::Kind::command, command->written});
            previous.clear();
        } else {
            pieces.append(said.mid(index, length));
            previous = foldedWords[index + length - 1];
        }
        index += length;
    }
    dropGuessesAroundCommands(pieces);

    Writer writer(m_language, before, written);
    bool first = true;
    for (const Piece& piece : std::as_const(pieces)) {
        switch (piece.kind) {
        case Piece::Kind::word:
            writer.word(piece.text, piece.phraseStart || first);
            first = false;
            break;
        case Piece::Kind::mark:
            if (!piece.dropped)
                writer.recognised(piece.text.front(), piece.opens);
            break;
        case Piece::Kind::command:
            writer.command(piece.text);
            break;
        }
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
