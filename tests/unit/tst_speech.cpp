// SPDX-License-Identifier: GPL-3.0-or-later
// Preparing a language, and one dictation's previews and final text.
#include "FakeRecognizer.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QTest>

using namespace parlune;

namespace {

QString outcomeText(const SpeechEngine::PrepareOutcome& outcome)
{
    return outcome ? QStringLiteral("%1 Hz").arg(outcome.value().sampleRate)
                   : SpeechEngine::description(outcome.error());
}

} // namespace

class SpeechTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Requests made during a preparation share it and its outcome, a failure with its description; the
    // next request after a failure starts over; a ready language asks the recogniser nothing more.
    void preparation()
    {
        auto recognizer = std::make_shared<FakeRecognizer>();
        recognizer->prepareError = RecognitionError{QStringLiteral("Modèle illisible.")};
        recognizer->holdLoads = true;
        SpeechEngine engine(recognizer);
        QVERIFY(!engine.readyFormat(Language::fr));
        auto first = engine.prepare(Language::fr);
        auto second = engine.prepare(Language::fr);
        auto other = engine.prepare(Language::es); // prepared on its own, beside it
        recognizer->releaseLoads();
        QCOMPARE(outcomeText(QCoro::waitFor(first)), QStringLiteral("Modèle illisible."));
        QCOMPARE(outcomeText(QCoro::waitFor(second)), QStringLiteral("Modèle illisible."));
        QCOMPARE(recognizer->askedLocales, (std::vector<QString>{"fr-FR", "es-ES"}));

        recognizer->prepareError.reset();
        recognizer->holdLoads = false;
        QCOMPARE(outcomeText(QCoro::waitFor(engine.prepare(Language::fr))), QStringLiteral("16000 Hz"));
        recognizer->format = AudioFormat{48000, 2};
        QCOMPARE(outcomeText(QCoro::waitFor(engine.prepare(Language::fr))), QStringLiteral("16000 Hz"));
        QCOMPARE(engine.readyFormat(Language::fr), std::optional(AudioFormat{16000, 1}));
        QCOMPARE(recognizer->askedLocales.size(), std::size_t(3));
    }

    // "F:" marks a final reading, "V:" a volatile one, "E:" a failure of the recogniser. The last reading
    // or failure comes only as the input ends; a failure is what finish() gives.
    void previewsAndFinalText_data()
    {
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QStringList>("previews");
        QTest::addColumn<QString>("finalText");

        QTest::newRow("volatile readings stand only until the next one")
            << QStringList{"F:A", "V:B", "V:B2", "F:C"} << QStringList{"A", "A B", "A B2", "A C"} << "A C";
        QTest::newRow("white space inside collapses")
            << QStringList{"F:  ligne\nsuivante ", "V:\u00a0et\tfin  "}
            << QStringList{"ligne suivante", "ligne suivante et fin"} << "ligne suivante";
        QTest::newRow("failed finalisation")
            << QStringList{"F:hola", "E:Modèle perdu."} << QStringList{"hola"} << "Modèle perdu.";
    }

    void previewsAndFinalText()
    {
        QFETCH(QStringList, readings);
        QFETCH(QStringList, previews);
        QFETCH(QString, finalText);
        FakeRecognizer recognizer;
        QStringList shown;
        DictationSession session(recognizer, Language::fr, [&](const QString& preview) { shown << preview; });
        FakeAnalyzer& analyzer = recognizer.lastAnalyzer();
        for (qsizetype i = 0; i < readings.size(); ++i) {
            const TranscriptionResult result{readings[i].mid(2), readings[i].startsWith("F:")};
            if (readings[i].startsWith("E:"))
                analyzer.finalizeError = RecognitionError{result.text};
            else if (i == readings.size() - 1)
                analyzer.readingsOnFinalize = {result};
            else
                analyzer.deliver(result.text, result.isFinal);
        }
        auto text = QCoro::waitFor(session.finish());
        QCOMPARE(text ? text.value() : text.error().description, finalText);
        QCOMPARE(shown, previews);
        QVERIFY(!session.input()->push(
            std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 512))); // audio after the end is dropped
    }

    // cancel(), or letting go of a session neither finished nor cancelled, abandons the dictation: no
    // final text. Its analysis would otherwise wait for audio forever, holding the language's decoder.
    void abandonedSessionProducesNoFinalText()
    {
        for (const bool letGo : {false, true}) {
            FakeRecognizer recognizer;
            QStringList shown;
            auto session = std::make_unique<DictationSession>(
                recognizer, Language::fr, [&](const QString& preview) { shown << preview; });
            FakeAnalyzer& analyzer = recognizer.lastAnalyzer();
            const std::shared_ptr<AudioBufferQueue> input = session->input();
            analyzer.deliver(QStringLiteral("à moitié"), false);
            if (!letGo)
                session->cancel();
            session.reset();
            QCOMPARE(analyzer.cancelCalls, 1);
            QCOMPARE(analyzer.finalizeCalls, 0);
            QVERIFY(!input->push(std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 512)));
            QCOMPARE(shown, QStringList{QStringLiteral("à moitié")});
        }
    }
};

QTEST_GUILESS_MAIN(SpeechTest)
#include "tst_speech.moc"
