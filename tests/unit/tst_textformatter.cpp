// SPDX-License-Identifier: GPL-3.0-or-later
// Dictations as the recognisers give them (bare lower-case words, or text the recogniser punctuated
// itself) and the text they must become.
#include "speech/TextFormatter.h"

#include <QTest>

using namespace parlune;

namespace {

// French puts these before ; ! ? and : » and after «.
const QString narrow(QChar(0x202F));
const QString noBreak(QChar(0x00A0));

} // namespace

class TestTextFormatter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void dictationsReadLikeWrittenText_data()
    {
        QTest::addColumn<Language>("language");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("written");

        const auto row = [](const char* name, Language language, const QString& said, const QString& written,
                            const QString& before = {}) {
            QTest::newRow(name) << language << before << said << written;
        };
        const Language fr = Language::fr, es = Language::es, en = Language::en;
        row("fr: : ; ? ! spaced, the comma not, capitals after sentences", fr,
            "voici la liste deux points le pain virgule le lait point-virgule tu viens point d'interrogation "
            "je t'attends point d'exclamation",
            "Voici la liste" + noBreak + ": le pain, le lait" + narrow + "; tu viens" + narrow +
                "? Je t'attends" + narrow + "!");
        row("fr: quotes with no-break spaces inside", fr,
            "il a dit ouvrir les guillemets je reviens fermer les guillemets point",
            "Il a dit «" + noBreak + "je reviens" + noBreak + "».");
        row("fr: point as a noun stays a word, after an article or before its adjective", fr,
            "de mon point de vue voici deux points communs point",
            "De mon point de vue voici deux points communs.");
        row("fr: an elision left apart by the recogniser still reads as one word", fr,
            "quel est le point d' interrogation de l' histoire",
            "Quel est le point d'interrogation de l'histoire");
        row("fr: line and paragraph, capitals after them", fr,
            "cher paul à la ligne merci pour ton message nouveau paragraphe à bientôt",
            "Cher paul\nMerci pour ton message\n\nÀ bientôt");
        row("fr: fishing line and a decimal comma stay words", fr,
            "à la pêche à la ligne on prend trois virgule cinq kilos",
            "À la pêche à la ligne on prend trois virgule cinq kilos");
        row("es: questions and exclamations open with ¿ and ¡", es,
            "cuándo llegas signo de interrogación qué sorpresa signo de exclamación te espero punto",
            "¿Cuándo llegas? ¡Qué sorpresa! Te espero.");
        row("es: punto as a noun, en punto, coma as a noun", es,
            "el punto de partida es a las tres en punto punto el paciente sigue en coma",
            "El punto de partida es a las tres en punto. El paciente sigue en coma");
        row("en: I forms", en, "i think i'm ready comma but i'll wait and i've said so period",
            "I think I'm ready, but I'll wait and I've said so.");
        row("en: the period of, full stop, question mark", en,
            "the period of waiting is over full stop is it question mark",
            "The period of waiting is over. Is it?");
        row("en: colon, semicolon, ellipsis, quotes", en,
            "she said open quote we need two things colon time semicolon and patience ellipsis close quote",
            "She said “we need two things: time; and patience…”");
        row("en: parentheses begin a sentence, exclamation, paragraph", en,
            "open parenthesis see below close parenthesis new line well done exclamation mark new paragraph "
            "thanks",
            "(See below)\nWell done!\n\nThanks");
        row("nothing said", fr, QString(), QString(), "Bonjour.");

        // After the text already in the field.
        row("after a sentence: a space and a capital", en, "we stayed in", " We stayed in", "It rained.");
        row("after a word, a comma attaches", fr, "virgule ça va point d'interrogation",
            ", ça va" + narrow + "?", "Bonjour");
        row("after an opening quote: glued, French no-break space", fr, "oui", noBreak + "oui", "Il a dit «");
        row("the word before the cursor keeps point a noun", fr, "point", " point", "Nous voilà au");
        row("mid-sentence question: ¿ where the dictation begins", es, "vienes mañana signo de interrogación",
            "¿vienes mañana?", "Oye, ");
        row("after a closing quote that ends a sentence", en, "we went", "We went", "He said “Go.” ");
        row("after a line break", en, "thanks", "Thanks", "Dear Ann,\n");

        // A recogniser that writes its own capitals and marks.
        row("fr: its marks spaced again, with or without its own space", fr,
            "Bonjour, comment vas-tu ? Voici la liste: le pain.",
            "Bonjour, comment vas-tu" + narrow + "? Voici la liste" + noBreak + ": le pain.");
        row("fr: commands win over the marks guessed around them", fr,
            "Bonjour virgule, comment vas-tu point d'interrogation. Je reviens point.",
            "Bonjour, comment vas-tu" + narrow + "? Je reviens.");
        row("fr: a phrase cut after a command loses its full stop and its capital", fr,
            "Bonjour virgule. Comment vas-tu ?", "Bonjour, comment vas-tu" + narrow + "?");
        row("fr: a line may end with its mark, never begin with one", fr,
            "Cher Paul, nouvelle ligne. Merci pour ton message.", "Cher Paul,\nMerci pour ton message.");
        row("fr: quotes said around a quotation, the sentence ending after them", fr,
            "Il a dit, ouvrez les guillemets, je reviens, fermez les guillemets.",
            "Il a dit, «" + noBreak + "je reviens" + noBreak + "».");
        row("fr: its quotes, its decimal comma, its lower case after an abbreviation", fr,
            "Il a dit « 3,5 kilos, etc. » et il est parti.",
            "Il a dit «" + noBreak + "3,5 kilos, etc." + noBreak + "» et il est parti.");
        row("fr: a phrase that continues the sentence in the field", fr, "Chat dort.", " chat dort.",
            "Il regarde le");
        row("fr: names in capitals keep them there", fr, "ONU a voté.", "ONU a voté.", "Hier, l'");
        row("fr: after a sentence in the field the capital stays", fr, "Je reviens.", " Je reviens.", "Fin.");
        row("en: I keeps its capital in the middle of a sentence", en, "I stayed home.", " I stayed home.",
            "You went out and");
        row("es: its opening marks are not doubled, and follow the sentence in the field", es,
            "¿Cómo estás? Qué sorpresa!", "¿cómo estás? ¡Qué sorpresa!", "Oye, ");
    }

    void dictationsReadLikeWrittenText()
    {
        QFETCH(Language, language);
        QFETCH(QString, before);
        QFETCH(QString, said);
        QFETCH(QString, written);
        const CursorContext context = CursorContext::fromTextBefore(before, language);
        QCOMPARE(TextFormatter(language).format(said, context), written);
    }
};

QTEST_GUILESS_MAIN(TestTextFormatter)
#include "tst_textformatter.moc"
