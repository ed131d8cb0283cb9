// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeRecognizer.h"
#include "speech/SpeechEngine.h"

#include <QTest>

using namespace parlune;

namespace {

QString outcomeText(const SpeechEngine::PrepareOutcome& outcome)
{
    if (outcome)
        return QStringLiteral("%1 Hz x%2").arg(outcome.value().sampleRate).arg(outcome.value().channelCount);
    return SpeechEngine::description(outcome.error());
}

} // namespace

class SpeechEngineTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void preparedFormatIsCachedForTheRun()
    {
        auto recognizer = std::make_shared<FakeRecognizer>();
        SpeechEngine engine(recognizer);
        QVERIFY(!engine.readyFormat(Language::fr));

        auto first = QCoro::waitFor(engine.prepare(Language::fr));
        QVERIFY(first);
        QCOMPARE(first.value(), (AudioFormat{16000, 1}));
        QCOMPARE(engine.readyFormat(Language::fr), std::optional(AudioFormat{16000, 1}));
        QVERIFY(!engine.readyFormat(Language::es));

        // A ready language asks the recogniser nothing more, even if it would now answer otherwise.
        recognizer->format = AudioFormat{48000, 2};
        auto again = QCoro::waitFor(engine.prepare(Language::fr));
        QCOMPARE(again.value(), (AudioFormat{16000, 1}));
        QCOMPARE(recognizer->askedLocales.size(), std::size_t(1));
        QCOMPARE(recognizer->preparations, 1);
    }

    void overlappingRequestsShareOnePreparation_data()
    {
        QTest::addColumn<bool>("supported");
        QTest::addColumn<QString>("expected");
        QTest::newRow("success") << true << QStringLiteral("16000 Hz x1");
        QTest::newRow("failure") << false << QStringLiteral("Español n'est pas disponible sur ce Mac.");
    }

    void overlappingRequestsShareOnePreparation()
    {
        QFETCH(bool, supported);
        QFETCH(QString, expected);
        auto recognizer = std::make_shared<FakeRecognizer>();
        recognizer->supported = supported;
        recognizer->holdLoads = true;
        SpeechEngine engine(recognizer);

        auto first = engine.prepare(Language::es);
        auto second = engine.prepare(Language::es);
        QVERIFY(!first.isReady());
        QVERIFY(!second.isReady());
        // Another language is prepared on its own, beside it.
        auto other = engine.prepare(Language::en);
        QCOMPARE(recognizer->askedLocales, (std::vector<QString>{"es-ES", "en-US"}));

        recognizer->releaseLoads();
        QCOMPARE(outcomeText(QCoro::waitFor(first)), expected);
        QCOMPARE(outcomeText(QCoro::waitFor(second)), expected);
        QCOMPARE(engine.readyFormat(Language::es).has_value(), supported);
        QCOMPARE(recognizer->askedLocales.size(), std::size_t(2));
    }

    void failedPreparationStartsAgainFromTheBeginning()
    {
        auto recognizer = std::make_shared<FakeRecognizer>();
        recognizer->needsInstallation = true;
        recognizer->installationError = RecognitionError{QStringLiteral("Le téléchargement a échoué.")};
        SpeechEngine engine(recognizer);

        auto failed = QCoro::waitFor(engine.prepare(Language::fr));
        QVERIFY(!failed);
        QCOMPARE(SpeechEngine::description(failed.error()), QStringLiteral("Le téléchargement a échoué."));
        QVERIFY(!engine.readyFormat(Language::fr));

        recognizer->installationError.reset();
        auto retried = QCoro::waitFor(engine.prepare(Language::fr));
        QVERIFY(retried);
        QCOMPARE(recognizer->askedLocales.size(), std::size_t(2));
        QCOMPARE(recognizer->installations, 2);
        QVERIFY(engine.readyFormat(Language::fr));
    }

    // Each step of the preparation, in order, and what its failure tells the user.
    void preparationSteps_data()
    {
        QTest::addColumn<Language>("language");
        QTest::addColumn<bool>("supported");
        QTest::addColumn<bool>("needsInstallation");
        QTest::addColumn<QString>("requestError");
        QTest::addColumn<QString>("installationError");
        QTest::addColumn<bool>("hasFormat");
        QTest::addColumn<QString>("loadError");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("installations");
        QTest::addColumn<int>("loads");

        const QString ready = QStringLiteral("16000 Hz x1");
        QTest::newRow("model present: no download") << Language::en << true << false << ""
                                                    << "" << true << "" << ready << 0 << 1;
        QTest::newRow("model missing: downloaded first") << Language::fr << true << true << ""
                                                         << "" << true << "" << ready << 1 << 1;
        QTest::newRow("French unsupported")
            << Language::fr << false << true << ""
            << "" << true << "" << QStringLiteral("Français n'est pas disponible sur ce Mac.") << 0 << 0;
        QTest::newRow("no installation request") << Language::es << true << true << "Catalogue illisible."
                                                 << "" << true << ""
                                                 << "Catalogue illisible." << 0 << 0;
        QTest::newRow("download fails") << Language::es << true << true << ""
                                        << "Réseau coupé." << true << ""
                                        << "Réseau coupé." << 1 << 0;
        QTest::newRow("no audio format")
            << Language::en << true << false << ""
            << "" << false << "" << QStringLiteral("Le moteur de dictée ne répond pas.") << 0 << 0;
        QTest::newRow("model does not load") << Language::en << true << false << ""
                                             << "" << true << "Modèle illisible."
                                             << "Modèle illisible." << 0 << 1;
    }

    void preparationSteps()
    {
        QFETCH(Language, language);
        QFETCH(bool, supported);
        QFETCH(bool, needsInstallation);
        QFETCH(QString, requestError);
        QFETCH(QString, installationError);
        QFETCH(bool, hasFormat);
        QFETCH(QString, loadError);
        QFETCH(QString, expected);
        QFETCH(int, installations);
        QFETCH(int, loads);

        auto recognizer = std::make_shared<FakeRecognizer>();
        recognizer->supported = supported;
        recognizer->needsInstallation = needsInstallation;
        if (!requestError.isEmpty())
            recognizer->requestError = RecognitionError{requestError};
        if (!installationError.isEmpty())
            recognizer->installationError = RecognitionError{installationError};
        if (!hasFormat)
            recognizer->format.reset();
        if (!loadError.isEmpty())
            recognizer->prepareError = RecognitionError{loadError};

        SpeechEngine engine(recognizer);
        QCOMPARE(outcomeText(QCoro::waitFor(engine.prepare(language))), expected);
        QCOMPARE(recognizer->installations, installations);
        QCOMPARE(recognizer->preparations, loads);
        QCOMPARE(recognizer->askedLocales, std::vector<QString>{localeIdentifier(language)});
    }
};

QTEST_GUILESS_MAIN(SpeechEngineTest)
#include "tst_speechengine.moc"
