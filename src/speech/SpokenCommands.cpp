// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/SpokenCommands.h"

namespace parlune {

namespace {

// One line of a table: the words said, what they write, the words that keep them words (before and
// after them, each list separated by spaces) and whether they can be a decimal separator.
struct Entry
{
    const char16_t* spoken;
    const char16_t* written;
    const char16_t* keptAfter = u"";
    const char16_t* keptBefore = u"";
    bool decimal = false;
};

QStringList words(const char16_t* list)
{
    return QString::fromUtf16(list).split(u' ', Qt::SkipEmptyParts);
}

// Words after which a command word is a noun of the sentence: articles, possessives, demonstratives
// and the few words that come before a noun but seldom end a clause ("le point", "un dernier point").
// Adjectives that end clauses as often ("c'est bon", "quand même", "it stays the same") are left out.
constexpr const char16_t* frenchDeterminers =
    u"le la les l' un une ce cet cette ces du des au aux mon ton son ma ta sa mes tes ses notre votre leur "
    u"nos vos leurs chaque quel quelle premier dernier autre tel";
constexpr const char16_t* spanishDeterminers =
    u"el la los las un una unos unas este esta estos estas ese esa esos esas aquel aquella cada del al mi "
    u"tu su mis tus sus nuestro nuestra otro otra cierto cierta buen mal primer ningún algún qué cuál gran";
constexpr const char16_t* englishDeterminers =
    u"the a an this that these those each every any no my your his her its our their another whole entire "
    u"first second third last next previous big huge";

QString joined(const char16_t* determiners, const char16_t* more)
{
    return QString::fromUtf16(determiners) + u' ' + QString::fromUtf16(more);
}

QList<SpokenCommand> build(std::initializer_list<Entry> entries, const char16_t* determiners)
{
    QList<SpokenCommand> commands;
    for (const Entry& entry : entries) {
        SpokenCommand command;
        command.spoken = words(entry.spoken);
        command.written = QString::fromUtf16(entry.written);
        // Every command is a noun after an article; the entries name what else keeps them words.
        command.keptAfter = joined(determiners, entry.keptAfter).split(u' ', Qt::SkipEmptyParts);
        command.keptBefore = words(entry.keptBefore);
        command.decimal = entry.decimal;
        commands.append(std::move(command));
    }
    return commands;
}

QList<SpokenCommand> french()
{
    constexpr const char16_t* scored = u"de à par sur en entre a ont avons avez reste restent marqué gagné "
                                       u"perdu pris obtenu marque gagne perd prend obtient";
    return build(
        {
            {u"virgule", u",", u"sans", u"", true},
            {u"point", u".", u"",
             u"commun important essentiel crucial faible culminant précis particulier mort chaud noir fixe "
             u"névralgique presse relais"},
            {u"point final", u"."},
            {u"point d'interrogation", u"?"},
            {u"point d'exclamation", u"!"},
            {u"deux points", u":", scored, u"sont communs essentiels importants principaux faibles"},
            {u"deux-points", u":", scored},
            {u"point-virgule", u";"},
            {u"point virgule", u";"},
            {u"points de suspension", u"…", u"trois"},
            {u"à la ligne", u"\n", u"pêche pêcher pêchent pêcheur pêcheurs", u"suivante précédente"},
            {u"nouvelle ligne", u"\n"},
            {u"nouveau paragraphe", u"\n\n"},
            {u"ouvrir les guillemets", u"«"},
            {u"ouvrez les guillemets", u"«"},
            {u"ouvrir guillemets", u"«"},
            {u"fermer les guillemets", u"»"},
            {u"fermez les guillemets", u"»"},
            {u"fermer guillemets", u"»"},
            {u"ouvrir la parenthèse", u"("},
            {u"ouvrez la parenthèse", u"("},
            {u"fermer la parenthèse", u")"},
            {u"fermez la parenthèse", u")"},
        },
        frenchDeterminers);
}

QList<SpokenCommand> spanish()
{
    return build(
        {
            {u"coma", u",", u"en estado", u"profundo etílico inducido diabético", true},
            {u"punto", u".", u"en a hasta",
             u"clave débil medio muerto crítico álgido exacto cardinal culminante neurálgico ciego"},
            {u"punto y coma", u";"},
            {u"punto y seguido", u"."},
            {u"punto y aparte", u".\n\n"},
            {u"punto final", u".", u"poner puso pone pongo"},
            {u"dos puntos", u":",
             u"de a por en entre con hay tiene tengo quedan faltan ganó perdió sumó gana pierde suma obtuvo "
             u"marcó sacó",
             u"clave importantes principales débiles"},
            {u"puntos suspensivos", u"…", u"tres con"},
            {u"signo de interrogación", u"?"},
            {u"signo de exclamación", u"!"},
            {u"signo de admiración", u"!"},
            {u"nueva línea", u"\n"},
            {u"nuevo párrafo", u"\n\n"},
            {u"abrir comillas", u"«"},
            {u"cerrar comillas", u"»"},
            {u"abrir paréntesis", u"("},
            {u"cerrar paréntesis", u")"},
        },
        spanishDeterminers);
}

QList<SpokenCommand> english()
{
    return build(
        {
            {u"comma", u",", u"oxford serial inverted"},
            {u"period", u".",
             u"trial grace waiting time cooling notice probation reporting holding transition rest long "
             u"short "
             u"brief given certain extended limited specific introductory free",
             u"piece drama costume"},
            {u"full stop", u"."},
            {u"question mark", u"?"},
            {u"exclamation mark", u"!"},
            {u"exclamation point", u"!"},
            {u"colon", u":", u"sigmoid descending ascending transverse", u"cancer polyps"},
            {u"semicolon", u";"},
            {u"semi colon", u";"},
            {u"semi-colon", u";"},
            {u"ellipsis", u"…"},
            {u"dot dot dot", u"…"},
            {u"new line", u"\n", u"brand"},
            {u"newline", u"\n"},
            {u"new paragraph", u"\n\n"},
            {u"open quote", u"“"},
            {u"open quotes", u"“"},
            {u"close quote", u"”"},
            {u"close quotes", u"”"},
            {u"end quote", u"”"},
            {u"unquote", u"”"},
            {u"open parenthesis", u"("},
            {u"open paren", u"("},
            {u"close parenthesis", u")"},
            {u"close paren", u")"},
        },
        englishDeterminers);
}

} // namespace

const QList<SpokenCommand>& spokenCommands(Language language)
{
    static const QList<SpokenCommand> fr = french();
    static const QList<SpokenCommand> es = spanish();
    static const QList<SpokenCommand> en = english();
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

const QStringList& numberWords(Language language)
{
    static const QStringList fr =
        words(u"zéro un une deux trois quatre cinq six sept huit neuf dix onze douze "
              u"treize quatorze quinze seize vingt trente quarante cinquante soixante "
              u"cent mille");
    static const QStringList es =
        words(u"cero uno una dos tres cuatro cinco seis siete ocho nueve diez once "
              u"doce trece catorce quince veinte treinta cuarenta cincuenta sesenta "
              u"cien ciento mil");
    // English says "point" for a decimal point, which is not a command.
    static const QStringList en;
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
