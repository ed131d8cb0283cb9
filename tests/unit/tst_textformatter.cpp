// SPDX-License-Identifier: GPL-3.0-or-later
// Dictations as the recognisers give them (lower case, no punctuation) and the text they must become.
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

        const auto fr = [](const char* name, const QString& said, const QString& written) {
            QTest::newRow(name) << Language::fr << QString() << said << written;
        };
        fr("fr: two sentences, ? and ! with narrow spaces",
           "est-ce que tu viens demain point d'interrogation je t'attends point d'exclamation",
           "Est-ce que tu viens demain" + narrow + "? Je t'attends" + narrow + "!");
        fr("fr: colon, semicolon, no space before the comma",
           "voici la liste deux points le pain virgule le lait point-virgule le reste demain",
           "Voici la liste" + noBreak + ": le pain, le lait" + narrow + "; le reste demain");
        fr("fr: quotes with no-break spaces inside",
           "il a dit ouvrir les guillemets je reviens fermer les guillemets point",
           "Il a dit «" + noBreak + "je reviens" + noBreak + "».");
        fr("fr: point as a noun stays a word, after an article or before its adjective",
           "de mon point de vue voici deux points communs point",
           "De mon point de vue voici deux points communs.");
        fr("fr: the sentence after a period may begin with de",
           "la réunion est déplacée point de mon côté tout va bien point",
           "La réunion est déplacée. De mon côté tout va bien.");
        fr("fr: an elision left apart by the recogniser still reads as one word",
           "quel est le point d' interrogation de l' histoire",
           "Quel est le point d'interrogation de l'histoire");
        fr("fr: line and paragraph, capitals after them",
           "cher paul à la ligne merci pour ton message nouveau paragraphe à bientôt",
           "Cher paul\nMerci pour ton message\n\nÀ bientôt");
        fr("fr: ellipsis and parentheses",
           "je crois points de suspension mais ouvrir la parenthèse sans certitude fermer la parenthèse on "
           "verra",
           "Je crois… Mais (sans certitude) on verra");
        fr("fr: fishing line and a decimal comma stay words",
           "à la pêche à la ligne on prend trois virgule cinq kilos",
           "À la pêche à la ligne on prend trois virgule cinq kilos");

        const auto es = [](const char* name, const QString& said, const QString& written) {
            QTest::newRow(name) << Language::es << QString() << said << written;
        };
        es("es: questions and exclamations open with ¿ and ¡",
           "cuándo llegas signo de interrogación qué sorpresa signo de exclamación te espero punto",
           "¿Cuándo llegas? ¡Qué sorpresa! Te espero.");
        es("es: punto as a noun, en punto, coma as a noun",
           "el punto de partida es a las tres en punto punto el paciente sigue en coma",
           "El punto de partida es a las tres en punto. El paciente sigue en coma");
        es("es: colon, commas, semicolon",
           "compra tres cosas dos puntos pan coma leche y huevos punto y coma nada más",
           "Compra tres cosas: pan, leche y huevos; nada más");
        es("es: quotes, new line and paragraph",
           "estimado cliente nueva línea le escribo abrir comillas urgente cerrar comillas nuevo párrafo "
           "saludos",
           "Estimado cliente\nLe escribo «urgente»\n\nSaludos");

        const auto en = [](const char* name, const QString& said, const QString& written) {
            QTest::newRow(name) << Language::en << QString() << said << written;
        };
        en("en: I forms", "i think i'm ready comma but i'll wait and i've said so period",
           "I think I'm ready, but I'll wait and I've said so.");
        en("en: the period of, full stop, question mark",
           "the period of waiting is over full stop is it question mark",
           "The period of waiting is over. Is it?");
        en("en: a full stop and a comma as nouns", "the car came to a full stop so add a comma here",
           "The car came to a full stop so add a comma here");
        en("en: colon, semicolon, ellipsis, quotes",
           "she said open quote we need two things colon time semicolon and patience ellipsis close quote",
           "She said “we need two things: time; and patience…”");
        en("en: parentheses begin a sentence, exclamation, paragraph",
           "open parenthesis see below close parenthesis new line well done exclamation mark new paragraph "
           "thanks",
           "(See below)\nWell done!\n\nThanks");

        QTest::newRow("nothing said") << Language::fr << QStringLiteral("Bonjour.") << QString() << QString();

        // After the text already in the field.
        const auto after = [](const char* name, Language language, const QString& before, const QString& said,
                              const QString& written) {
            QTest::newRow(name) << language << before << said << written;
        };
        after("after a sentence: a space and a capital", Language::en, "It rained.", "we stayed in",
              " We stayed in");
        after("after a word: a space, no capital", Language::en, "It rained", "all day", " all day");
        after("after a word, a comma attaches", Language::fr, "Bonjour",
              "virgule ça va point d'interrogation", ", ça va" + narrow + "?");
        after("after an opening quote: glued, French no-break space", Language::fr, "Il a dit «", "oui",
              noBreak + "oui");
        after("after an elision: glued", Language::fr, "Je pense que l'", "homme est là", "homme est là");
        after("the word before the cursor keeps point a noun", Language::fr, "Nous voilà au", "point",
              " point");
        after("mid-sentence question: ¿ where the dictation begins", Language::es, "Oye, ",
              "vienes mañana signo de interrogación", "¿vienes mañana?");
        after("after a closing quote that ends a sentence", Language::en, "He said “Go.” ", "we went",
              "We went");
        after("after a line break", Language::en, "Dear Ann,\n", "thanks", "Thanks");
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
