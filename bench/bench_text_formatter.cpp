// SPDX-License-Identifier: GPL-3.0-or-later
// What formatting costs a dictation of 50 words, as the recognisers give it: bare words (lower case, no
// punctuation, commands said aloud), or text the recogniser punctuated itself. It runs on every final
// text and on every preview.
#include "speech/TextFormatter.h"

#include <QStringList>

#include <benchmark/benchmark.h>

using namespace parlune;

namespace {

// 50 words each, with commands in the middle and at the end, and command words that stay words.
QString dictation(Language language)
{
    switch (language) {
    case Language::fr:
        return QStringLiteral(
            "bonjour à tous virgule la réunion de demain est encore déplacée point de mon "
            "point de vue c'est un point important deux points il faut prévenir l' équipe avant midi point "
            "d'interrogation pouvez-vous ouvrir les guillemets relire fermer les guillemets le compte rendu "
            "à la ligne merci d'avance point d'exclamation");
    case Language::es:
        return QStringLiteral(
            "hola a todos coma la reunión de mañana se movió punto el punto de partida "
            "es la oficina dos puntos hay que avisar al equipo antes de las doce en punto signo de "
            "interrogación podéis abrir comillas revisar cerrar comillas el acta nueva línea gracias de "
            "antemano signo de exclamación");
    case Language::en:
        break;
    }
    return QStringLiteral(
        "hello everyone comma i wanted to say tomorrow's meeting moved period the period of "
        "the review stays the same colon we need to warn the team before noon question mark could you "
        "open quote read close quote the minutes and i'll send them new line thanks in advance "
        "exclamation mark");
}

// The same dictations as a recogniser that writes gives them: its capitals and marks, the commands
// still said, with the marks it guessed around them.
QString written(Language language)
{
    switch (language) {
    case Language::fr:
        return QStringLiteral(
            "Bonjour à tous virgule, la réunion de demain est encore déplacée point. De mon point de vue, "
            "c'est un point important deux points, il faut prévenir l'équipe avant midi point "
            "d'interrogation. Pouvez-vous ouvrir les guillemets relire fermer les guillemets le compte rendu "
            "? À la ligne. Merci d'avance point d'exclamation.");
    case Language::es:
        return QStringLiteral(
            "Hola a todos coma, la reunión de mañana se movió punto. El punto de partida es la oficina dos "
            "puntos, hay que avisar al equipo antes de las doce en punto signo de interrogación. ¿Podéis "
            "abrir comillas revisar cerrar comillas el acta? Nueva línea. Gracias de antemano signo de "
            "exclamación.");
    case Language::en:
        break;
    }
    return QStringLiteral(
        "Hello everyone comma, I wanted to say tomorrow's meeting moved period. The period of the review "
        "stays the same colon, we need to warn the team before noon question mark. Could you open quote "
        "read close quote the minutes, and I'll send them? New line. Thanks in advance exclamation mark.");
}

void formatDictation(benchmark::State& state)
{
    const auto language = Language(state.range(0) % 3);
    const bool isWritten = state.range(0) >= 3;
    const QString words = isWritten ? written(language) : dictation(language);
    const TextFormatter formatter(language);
    const CursorContext before = CursorContext::fromTextBefore(QStringLiteral("Comme prévu."), language);
    state.SetLabel(rawValue(language).toStdString() + ", " + std::to_string(words.split(u' ').size()) +
                   (isWritten ? " words, written" : " words"));
    for (auto _ : state)
        benchmark::DoNotOptimize(formatter.format(words, before));
}

BENCHMARK(formatDictation)->DenseRange(0, 5)->Unit(benchmark::kMicrosecond);

// The text read before the cursor, turned into where the dictation starts.
void readCursorContext(benchmark::State& state)
{
    const std::optional<QString> before = QStringLiteral("le 3 mai. Comme convenu « Déjà vu » ");
    for (auto _ : state)
        benchmark::DoNotOptimize(CursorContext::fromTextBefore(before, Language::fr));
}

BENCHMARK(readCursorContext)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
