// SPDX-License-Identifier: GPL-3.0-or-later
// The Vosk recogniser through its real loader and adapter on a fake libvosk that plays scripted results
// (FakeVoskLibrary.cpp), the real libvosk's refusal of a folder that is not a model, and the engine choice.
#include "FakeClock.h"
#include "FakeRecognizer.h"
#include "FakeVoskModel.h"
#include "platform/RecognizerChoice.h"
#include "platform/models/ModelGuard.h"
#include "platform/vosk/VoskLibrary.h"
#include "platform/vosk/VoskRecognizer.h"
#include "speech/DictationSession.h"
#include "speech/SpeechEngine.h"

#include <QCryptographicHash>
#include <QTest>

#include <atomic>
#include <dlfcn.h>

using namespace parlune;

namespace {

// 100 ms of 16 kHz audio at half the full scale.
AudioBufferPtr chunk()
{
    auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 1600);
    buffer->setFrameLength(1600);
    std::fill_n(buffer->samples(), 1600, 0.5f);
    return buffer;
}

// A counter of the fake library, already loaded.
int fakeCount(const char* name)
{
    void* handle = dlopen(QFile::encodeName(fakeVoskLibraryPath()).constData(), RTLD_NOW | RTLD_NOLOAD);
    const auto* count = handle ? static_cast<std::atomic<int>*>(dlsym(handle, name)) : nullptr;
    return count ? count->load() : -1;
}

// The check in a child, as it would end: a model refused when its folder holds a file named "damaged".
QCoro::Task<ModelVerdicts::Verdict> pretendCheck(QString folder)
{
    co_return QFileInfo::exists(folder + QStringLiteral("/damaged")) ? ModelVerdicts::Verdict::refused
                                                                     : ModelVerdicts::Verdict::loads;
}

// The engine the locale's next dictation runs on, by name.
QString engineOf(const RecognizerChoice& choice, const QString& locale)
{
    switch (choice.engineFor(locale)) {
    case RecognizerChoice::Engine::vosk:
        return QStringLiteral("vosk");
    case RecognizerChoice::Engine::fallback:
        return QStringLiteral("pocketsphinx");
    case RecognizerChoice::Engine::accurate:
        return QStringLiteral("accurate");
    }
    return {};
}

QString textOf(DictationSession& session)
{
    auto text = QCoro::waitFor(session.finish());
    return text ? text.value() : text.error().description;
}

} // namespace

class VoskTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::shared_ptr<const VoskLibrary> m_fake;
    // Downloads time their speed on it; what still waits on it ends with the test.
    FakeClock m_clock;
    ModelSource m_download;
    int m_folders = 0;

    // A recogniser on the fake library whose French model plays `script`.
    std::shared_ptr<VoskRecognizer> frenchRecognizer(const QStringList& script, ModelSource source = {})
    {
        const QString models = m_dir.filePath(QStringLiteral("models%1").arg(++m_folders));
        if (!script.isEmpty())
            writeFakeVoskModel(models + QStringLiteral("/fr-FR"), script);
        source.localeIdentifier = QStringLiteral("fr-FR");
        return std::make_shared<VoskRecognizer>(m_fake, ModelCatalogue({source}), models, nullptr, m_clock);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_fake = VoskLibrary::load(fakeVoskLibraryPath()).value();
        // A model the catalogue offers, as an archive read from a local file: no network.
        writeFakeVoskModel(m_dir.filePath("download"), {"result le modèle téléchargé"});
        const QByteArray archive = zipped(m_dir.filePath("download"), "vosk-model-small-fr");
        QFile file(m_dir.filePath("model.zip"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(archive) == archive.size());
        const QByteArray checksum = QCryptographicHash::hash(archive, QCryptographicHash::Sha256).toHex();
        m_download = {{}, QUrl::fromLocalFile(file.fileName()), archive.size(), checksum, {}};
    }

    // A missing library is a reason given; the real one turns a folder that is not a model into a message.
    void libraryLoading()
    {
        const auto missing = VoskLibrary::load(m_dir.filePath("none/libvosk.so"));
        QVERIFY(!missing && missing.error().contains("No such file"));
        QVERIFY2(QFileInfo::exists(realVoskLibraryPath()), "scripts/setup puts the real libvosk.so there");
        auto library = VoskLibrary::load(realVoskLibraryPath());
        QVERIFY2(library, qPrintable(library ? QString() : library.error()));
        QTemporaryDir notAModel;
        writeFakeVoskModel(notAModel.path(), {});
        VoskModelSlot slot(library.value(), notAModel.path(), QStringLiteral("Français"));
        auto model = slot.get();
        QCOMPARE(model ? QString() : model.error().description,
                 QStringLiteral("Français : le modèle de reconnaissance n'a pas pu être chargé."));
    }

    // One buffer per line of the script (and one more, beyond it): the previews are the settled text
    // and the partial one, the final text the settled ones and what the end flushes.
    void dictation_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QStringList>("previews");
        QTest::addColumn<QString>("finalText");
        QTest::newRow("an utterance ends in the middle")
            << QStringList{"partial bon", "partial bonjour à", "result bonjour à tous", "partial demain",
                           "final demain matin"}
            << QStringList{"bon", "bonjour à", "bonjour à tous", "bonjour à tous demain",
                           "bonjour à tous demain matin"}
            << "bonjour à tous demain matin";
        QTest::newRow("empty texts") << QStringList{"partial euh", "result ", "partial ", "final "}
                                     << QStringList{"euh", ""} << "";
        QTest::newRow("the recogniser fails")
            << QStringList{"partial un", "error", "final deux"} << QStringList{"un"}
            << "La reconnaissance vocale s'est arrêtée sur une erreur.";
    }

    void dictation()
    {
        QFETCH(QStringList, script);
        QFETCH(QStringList, previews);
        QFETCH(QString, finalText);
        auto recognizer = frenchRecognizer(script);
        QVERIFY(QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::fr)));
        QStringList shown;
        DictationSession session(*recognizer, Language::fr,
                                 [&](const QString& preview) { shown << preview; });
        for (qsizetype i = 0; i < script.size(); ++i)
            session.input()->push(chunk());
        QCOMPARE(textOf(session), finalText);
        QCOMPARE(shown, previews);
        QCOMPARE(fakeCount("fake_vosk_last_sample"), 16384);
    }

    // Two dictations at once share the loaded model, each with a recogniser of its own, and a cancelled
    // one leaves the other's text alone; a later dictation takes a recogniser given back, reset.
    void dictationsShareTheModelNotTheRecogniser()
    {
        auto recognizer = frenchRecognizer({"partial un", "result un deux", "final trois"});
        const int models = fakeCount("fake_vosk_models");
        QVERIFY(QCoro::waitFor(SpeechEngine(recognizer).prepare(Language::fr)));
        DictationSession cancelled(*recognizer, Language::fr);
        DictationSession finished(*recognizer, Language::fr);
        for (auto* session : {&cancelled, &finished}) {
            session->input()->push(chunk());
            session->input()->push(chunk());
        }
        // Both are decoding, each with its own recogniser.
        QTRY_COMPARE(recognizer->recognizerCount(QStringLiteral("fr-FR")), 2);
        cancelled.cancel();
        QCOMPARE(textOf(finished), QStringLiteral("un deux trois"));

        DictationSession later(*recognizer, Language::fr);
        later.input()->push(chunk());
        later.input()->push(chunk());
        QCOMPARE(textOf(later), QStringLiteral("un deux trois"));
        QCOMPARE(fakeCount("fake_vosk_models") - models, 1);
        QCOMPARE(recognizer->recognizerCount(QStringLiteral("fr-FR")), 2);
    }

    // Vosk where its model is installed; pocketsphinx at once where it has a model, while the Vosk
    // model downloads in the background and takes over; otherwise the download, with its progress;
    // without the library, pocketsphinx or nothing.
    void engineChoice_data()
    {
        QTest::addColumn<bool>("voskModel");
        QTest::addColumn<bool>("pocketsphinxModel");
        QTest::addColumn<bool>("library");
        QTest::addColumn<QString>("expected");
        QTest::newRow("Vosk model installed") << true << true << true << "vosk";
        QTest::newRow("only a pocketsphinx model") << false << true << true << "pocketsphinx, then vosk";
        QTest::newRow("no model") << false << false << true << "download, vosk";
        QTest::newRow("no library, pocketsphinx model") << false << true << false << "pocketsphinx";
        QTest::newRow("no library, no model")
            << false << false << false << "Français n'est pas disponible sur ce Mac.";
    }

    void engineChoice()
    {
        QFETCH(bool, voskModel);
        QFETCH(bool, pocketsphinxModel);
        QFETCH(bool, library);
        QFETCH(QString, expected);

        auto vosk = frenchRecognizer(voskModel ? QStringList{"result installé"} : QStringList{}, m_download);
        auto pocketsphinx = std::make_shared<FakeRecognizer>();
        pocketsphinx->supported = pocketsphinxModel;
        RecognizerChoice choice(library ? vosk : nullptr, pocketsphinx);
        SpeechEngine engine(std::shared_ptr<Recognizer>(&choice, [](Recognizer*) {}));
        std::shared_ptr<InstallationProgress> download;
        engine.setOnInstallation([&](Language, auto progress) { download = progress; });
        const auto prepared = QCoro::waitFor(engine.prepare(Language::fr));
        QString outcome = prepared ? engineOf(choice, "fr-FR") : SpeechEngine::description(prepared.error());
        if (download) {
            QCOMPARE(download->fractionCompleted(), 1.0);
            outcome.prepend("download, ");
        }
        if (choice.voskWork("fr-FR").isRunning()) {
            QTRY_VERIFY(!choice.voskWork("fr-FR").isRunning());
            outcome += ", then " + engineOf(choice, "fr-FR");
        }
        QCOMPARE(outcome, expected);
        // Pocketsphinx's model is let go of once Vosk takes the language over, and only then.
        QCOMPARE(pocketsphinx->unloaded.size(), expected.contains(", then vosk") ? 1u : 0u);
        if (outcome.endsWith("vosk")) {
            DictationSession session(choice, Language::fr);
            session.input()->push(chunk());
            QCOMPARE(textOf(session), voskModel ? "installé" : "le modèle téléchargé");
        }
    }

    // A Vosk model that cannot be loaded, refused by the check in a child or by the library itself:
    // English goes on with pocketsphinx and says so; French says it and offers a fresh copy, which sets
    // the model aside and installs the catalogue's through the usual installation.
    void modelThatCannotBeLoaded_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("refusedBy");
        QTest::addColumn<QString>("expected");
        const QString notLoaded = " : le modèle de reconnaissance n'a pas pu être chargé";
        const QString french = "Français" + notLoaded + ". | download again | vosk";
        const auto row = [](const char* tag, const char* locale, const char* refusedBy,
                            const QString& expected) {
            QTest::newRow(tag) << QString(locale) << QString(refusedBy) << expected;
        };
        row("English, refused by the child", "en-US", "child",
            "pocketsphinx | English" + notLoaded + " ; un modèle plus simple le remplace.");
        row("French, refused by the child", "fr-FR", "child", french);
        row("French, refused by the library", "fr-FR", "library", french);
        row("French, loads", "fr-FR", "", "vosk");
    }

    void modelThatCannotBeLoaded()
    {
        QFETCH(QString, locale);
        QFETCH(QString, refusedBy);
        QFETCH(QString, expected);
        const Language language = locale == "en-US" ? Language::en : Language::fr;
        const QString models = m_dir.filePath(QStringLiteral("models%1").arg(++m_folders));
        const QString folder = models + "/" + locale;
        writeFakeVoskModel(folder, {"result installé"});
        if (refusedBy == "child")
            QFile(folder + "/damaged").open(QIODevice::WriteOnly);
        else if (refusedBy == "library")
            QFile::remove(folder + "/script");
        ModelSource source = m_download;
        source.localeIdentifier = locale;
        auto vosk = std::make_shared<VoskRecognizer>(m_fake, ModelCatalogue({source}), models,
                                                     std::make_shared<ModelGuard>(pretendCheck), m_clock);
        auto pocketsphinx = std::make_shared<FakeRecognizer>();
        pocketsphinx->supported = language == Language::en;
        RecognizerChoice choice(vosk, pocketsphinx);
        SpeechEngine engine(std::shared_ptr<Recognizer>(&choice, [](Recognizer*) {}));

        auto prepared = QCoro::waitFor(engine.prepare(language));
        QString outcome = prepared ? engineOf(choice, locale) : SpeechEngine::description(prepared.error());
        if (const auto problem = choice.modelProblem(locale)) {
            if (prepared)
                outcome += " | " + problem->description;
            if (problem->canDownloadAgain) {
                QVERIFY(choice.setModelAside(locale));
                QVERIFY(QFileInfo::exists(folder + ".refused/am/final.mdl"));
                prepared = QCoro::waitFor(engine.prepare(language));
                outcome += " | download again | " + (prepared ? engineOf(choice, locale)
                                                              : SpeechEngine::description(prepared.error()));
                QVERIFY(!choice.modelProblem(locale));
            }
        }
        QCOMPARE(outcome, expected);
        if (outcome.endsWith("vosk")) {
            DictationSession session(choice, language);
            session.input()->push(chunk());
            QCOMPARE(textOf(session), refusedBy.isEmpty() ? "installé" : "le modèle téléchargé");
        }
    }

    // Once chosen, the accurate engine serves every language as soon as its model is loaded: an installed
    // model is loaded as the language is prepared; otherwise Vosk serves while it downloads and loads in
    // the background. A failure is kept for the window and tried again. Let go of, its model is unloaded
    // and Vosk serves again.
    void accurateEngine_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* model, const char* expected) {
            QTest::newRow(model) << QString(model) << QString::fromUtf8(expected);
        };
        row("installed", "accurate");
        row("download", "vosk while downloading, accurate");
        row("download fails", "vosk while downloading, vosk, Réseau absent., accurate after a retry");
        row("load fails", "vosk, Modèle illisible., accurate after a retry");
        row("none", "vosk");
    }

    void accurateEngine()
    {
        QFETCH(QString, model);
        QFETCH(QString, expected);
        auto vosk = frenchRecognizer({"result rapide"});
        auto accurate = std::make_shared<FakeRecognizer>();
        accurate->readingsOnFinalize = {{QStringLiteral("précis"), true}};
        auto download = std::make_shared<FakeInstallation>();
        if (model.startsWith("download"))
            accurate->installation = download;
        if (model == "load fails")
            accurate->prepareError = RecognitionError{QStringLiteral("Modèle illisible.")};
        // The installed model takes its time to be found: the preparation waits for it.
        accurate->holdRequests = model == "installed";
        RecognizerChoice choice(vosk, std::make_shared<FakeRecognizer>(),
                                model == "none" ? nullptr : accurate);
        const int voskModels = fakeCount("fake_vosk_models");
        const Transcriber french = SpeechEngine::makeTranscriber(Language::fr);
        choice.chooseAccurate(true, french);
        SpeechEngine engine(std::shared_ptr<Recognizer>(&choice, [](Recognizer*) {}));
        auto preparation = engine.prepare(Language::fr);
        accurate->holdRequests = false;
        accurate->releaseLoads();
        QVERIFY(QCoro::waitFor(std::move(preparation)));
        const auto engineNow = [&] { return engineOf(choice, "fr-FR"); };
        QString trace = engineNow();
        if (choice.accurateWork().phase == BackgroundWork::Phase::installing) {
            trace += " while downloading";
            download->end(model == "download fails"
                              ? std::optional(RecognitionError{QStringLiteral("Réseau absent.")})
                              : std::nullopt);
            trace += ", " + engineNow();
        }
        if (const auto failure = choice.accurateWork().failure) {
            trace += ", " + failure->description;
            accurate->prepareError.reset();
            choice.retryFailedWork(french);
            trace += ", " + engineNow() + " after a retry";
        }
        QCOMPARE(trace, expected);
        const bool accurateServes = engineNow() == "accurate";
        // Vosk's model is loaded only when it had to serve, and let go of once the accurate engine does.
        QCOMPARE(fakeCount("fake_vosk_models") - voskModels, model == "installed" ? 0 : 1);
        QCOMPARE(vosk->isLoaded("fr-FR"), !accurateServes);
        DictationSession session(choice, Language::fr);
        session.input()->push(chunk());
        QCOMPARE(textOf(session), accurateServes ? "précis" : "rapide");

        choice.chooseAccurate(false, french);
        QCOMPARE(accurate->unloaded.size(), model == "none" ? 0u : 1u);
        QCOMPARE(engineNow(), "vosk");
    }
};

QTEST_GUILESS_MAIN(VoskTest)
#include "tst_vosk.moc"
