// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeRecognizer.h"
#include "speech/DictationSession.h"

#include <QTest>

using namespace parlune;

namespace {

AudioBufferPtr bufferOf(quint32 frames)
{
    auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, frames);
    buffer->setFrameLength(frames);
    return buffer;
}

// "F:text" is a final reading, "V:text" a volatile one.
void deliverAll(FakeAnalyzer& analyzer, const QStringList& readings)
{
    for (const QString& reading : readings)
        analyzer.deliver(reading.mid(2), reading.startsWith(QLatin1String("F:")));
}

} // namespace

class DictationSessionTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void previewsAndFinalText_data()
    {
        QTest::addColumn<QStringList>("readings");
        QTest::addColumn<QStringList>("previews");
        QTest::addColumn<QString>("finalText");

        QTest::newRow("volatile readings stand only until the next one")
            << QStringList{"F:A", "V:B", "V:B2", "F:C"} << QStringList{"A", "A B", "A B2", "A C"}
            << QStringLiteral("A C");
        QTest::newRow("volatile reading never settled")
            << QStringList{"F:bonjour", "V:tout le"} << QStringList{"bonjour", "bonjour tout le"}
            << QStringLiteral("bonjour");
        QTest::newRow("blank final adds nothing")
            << QStringList{"F:un", "F: \t ", "F:deux"} << QStringList{"un", "un", "un deux"}
            << QStringLiteral("un deux");
        QTest::newRow("white space inside collapses")
            << QStringList{"F:  ligne\nsuivante ", "V:\u00a0et\tfin  "}
            << QStringList{"ligne suivante", "ligne suivante et fin"} << QStringLiteral("ligne suivante");
        QTest::newRow("no readings") << QStringList{} << QStringList{} << QString();
    }

    void previewsAndFinalText()
    {
        QFETCH(QStringList, readings);
        QFETCH(QStringList, previews);
        QFETCH(QString, finalText);

        for (const bool withPreview : {true, false}) {
            FakeRecognizer recognizer;
            QStringList shown;
            DictationSession::PreviewCallback onPreview;
            if (withPreview)
                onPreview = [&shown](const QString& preview) { shown.append(preview); };
            DictationSession session(recognizer, Language::fr, onPreview);

            deliverAll(recognizer.lastAnalyzer(), readings);
            auto text = QCoro::waitFor(session.finish());
            QVERIFY(text);
            QCOMPARE(text.value(), finalText);
            QCOMPARE(shown, withPreview ? previews : QStringList{});
        }
    }

    // The last words, settled by the analyser only once the input has ended, belong to the final text.
    void readingsOfTheEndOfInputAreIncluded()
    {
        FakeRecognizer recognizer;
        QStringList shown;
        DictationSession session(recognizer, Language::en,
                                 [&shown](const QString& preview) { shown.append(preview); });
        FakeAnalyzer& analyzer = recognizer.lastAnalyzer();
        analyzer.readingsOnFinalize = {{QStringLiteral("ten meters"), true}};

        QVERIFY(session.input()->push(bufferOf(2048)));
        QCOMPARE(analyzer.input, session.input());
        analyzer.deliver(QStringLiteral("go forward"), true);
        analyzer.deliver(QStringLiteral("ten"), false);

        auto text = QCoro::waitFor(session.finish());
        QCOMPARE(text.value(), QStringLiteral("go forward ten meters"));
        QCOMPARE(shown.last(), QStringLiteral("go forward ten meters"));
        QCOMPARE(analyzer.finalizeCalls, 1);
        // The input is closed: audio of a late buffer is discarded.
        QVERIFY(!session.input()->push(bufferOf(2048)));
    }

    void failuresComeOutOfFinish_data()
    {
        QTest::addColumn<QString>("failingStep");
        QTest::addColumn<int>("finalizeCalls");
        QTest::newRow("start") << "start" << 0;
        QTest::newRow("finalisation") << "finalize" << 1;
        QTest::newRow("results") << "results" << 1;
    }

    void failuresComeOutOfFinish()
    {
        QFETCH(QString, failingStep);
        QFETCH(int, finalizeCalls);
        const RecognitionError error{QStringLiteral("Le modèle a cessé de répondre.")};

        FakeRecognizer recognizer;
        if (failingStep == QLatin1String("start"))
            recognizer.startError = error;
        if (failingStep == QLatin1String("finalize"))
            recognizer.finalizeError = error;

        DictationSession session(recognizer, Language::es);
        FakeAnalyzer* analyzer = &recognizer.lastAnalyzer();
        analyzer->deliver(QStringLiteral("hola"), true);
        if (failingStep == QLatin1String("results"))
            analyzer->results()->end(error);

        auto text = QCoro::waitFor(session.finish());
        QVERIFY(!text);
        QCOMPARE(text.error().description, error.description);
        QCOMPARE(analyzer->finalizeCalls, finalizeCalls);
    }

    void cancelProducesNoFinalText()
    {
        FakeRecognizer recognizer;
        QStringList shown;
        auto session = std::make_unique<DictationSession>(
            recognizer, Language::fr, [&shown](const QString& preview) { shown.append(preview); });
        FakeAnalyzer& analyzer = recognizer.lastAnalyzer();
        analyzer.deliver(QStringLiteral("à moitié"), false);

        session->cancel();
        QCOMPARE(analyzer.cancelCalls, 1);
        QCOMPARE(analyzer.finalizeCalls, 0);
        QVERIFY(analyzer.results()->hasEnded());
        QVERIFY(!session->input()->push(bufferOf(512)));
        QCOMPARE(shown, QStringList{QStringLiteral("à moitié")});
        session.reset();
    }

    // The coordinator lets go of the session when capture stops; the analysis and the result loop
    // carry on and end by themselves.
    void releasedSessionKeepsCollecting()
    {
        FakeRecognizer recognizer;
        QStringList shown;
        auto session = std::make_unique<DictationSession>(
            recognizer, Language::en, [&shown](const QString& preview) { shown.append(preview); });
        std::shared_ptr<FakeAnalyzer> analyzer = recognizer.analyzers.back();
        session.reset();

        analyzer->deliver(QStringLiteral("still here"), true);
        analyzer->results()->end();
        QCOMPARE(shown, QStringList{QStringLiteral("still here")});
    }
};

QTEST_GUILESS_MAIN(DictationSessionTest)
#include "tst_dictationsession.moc"
