// SPDX-License-Identifier: GPL-3.0-or-later
// The coordinator's own state: the return of the panel to idle, the settings and the model download.
#include "FakeDesktop.h"
#include "StagedCoordinator.h"
#include "speech/SpeechEngine.h"
#include "store/AppSettingsStore.h"
#include "store/TranscriptStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

class TestAppCoordinator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;

    QString settingsPath() const { return m_dir.filePath(QStringLiteral("settings.json")); }
    std::unique_ptr<StagedCoordinator> make(bool live)
    {
        return std::make_unique<StagedCoordinator>(*m_desktop, live);
    }
    void advance(double seconds) { m_desktop->clock.advance(Seconds(seconds)); }

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QFile::remove(m_dir.filePath(QStringLiteral("history.json")));
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
    }

    void cleanup() { m_desktop.reset(); }

    void transientStatusFallsBackToIdle_data()
    {
        QTest::addColumn<RecordingStatus>("earlier");
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<double>("shownFor");

        const auto message = RecordingStatus::message(QStringLiteral("Aucun micro disponible."));
        QTest::newRow("words inserted: 0.9 s") << RecordingStatus() << RecordingStatus::inserted(3) << 0.9;
        QTest::newRow("message: 3 s") << RecordingStatus() << message << 3.0;
        QTest::newRow("a new message gets its full 3 s") << message << message << 3.0;
    }

    void transientStatusFallsBackToIdle()
    {
        QFETCH(RecordingStatus, earlier);
        QFETCH(RecordingStatus, status);
        QFETCH(double, shownFor);
        auto coordinator = make(true);
        coordinator->setStatus(earlier);
        advance(2);
        coordinator->setStatus(status);
        QVERIFY(m_desktop->hud.visible);
        advance(shownFor - 0.001);
        QCOMPARE(coordinator->status(), status);
        advance(0.001);
        QCOMPARE(coordinator->status(), RecordingStatus::idle());
        QVERIFY(!m_desktop->hud.visible);
    }

    // At a live start the settings come from the file, not written back (an unknown key stays), and the
    // login entry follows them; the user's changes are saved at once by a live coordinator only.
    void settingsComeFromTheFileAndOnlyALiveCoordinatorSavesChanges()
    {
        m_desktop->autostart.registered = true;
        auto coordinator = make(true);
        QVERIFY(!coordinator->onboardingDone());
        QVERIFY(!QFile::exists(settingsPath()));
        QVERIFY2(!m_desktop->autostart.registered, "the login entry follows the settings at start");

        const QByteArray stored = R"({"soundsEnabled":false,"language":"en","onboardingDone":true,"x":1})";
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(stored) && file.flush());
        file.close();
        make(false)->setLanguage(Language::es);
        coordinator = make(true);
        QCOMPARE(coordinator->language(), Language::en);
        QVERIFY(!coordinator->soundsEnabled() && coordinator->onboardingDone());
        coordinator->setOnboardingDone(false);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), stored);

        coordinator->setLanguage(Language::es);
        const KeyCombo controlOptionSpace{49, ModifierFlag::control | ModifierFlag::option, false};
        coordinator->setShortcut(controlOptionSpace);
        coordinator->setLaunchAtLogin(true);
        QVERIFY(m_desktop->autostart.registered);
        const AppSettings saved = AppSettingsStore(settingsPath()).load();
        QCOMPARE(saved.language, Language::es);
        QCOMPARE(saved.shortcut, controlOptionSpace);
        QVERIFY(saved.launchAtLogin && !saved.onboardingDone && !saved.soundsEnabled);
    }

    // Chosen in the settings, the accurate model downloads at start while the fast engine serves. A failed
    // download is told and tried again at the next dictation; once loaded the accurate engine serves.
    // Going back to fast frees its model, prepares the language again for the fast engine, and is saved.
    void accurateRecognitionIsRetriedAtTheNextDictationAndFreedOnTheWayBack()
    {
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path(), true);
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(R"({"recognition":"accurate"})") &&
                file.flush());
        file.close();
        FakeRecognizer& accurate = *m_desktop->accurate;
        auto download = std::make_shared<FakeInstallation>();
        accurate.installation = download;
        auto coordinator = make(true);
        QVERIFY(coordinator->engine().readyFormat(Language::fr));
        QCOMPARE(coordinator->accurateWork().phase, BackgroundWork::Phase::installing);

        download->end(RecognitionError{QStringLiteral("Pas de réseau.")});
        QCOMPARE(coordinator->accurateWork().failure->description, QStringLiteral("Pas de réseau."));
        QVERIFY(!coordinator->accurateInUse());
        coordinator->shortcutPressed();
        QVERIFY(coordinator->isRecording());
        QVERIFY(coordinator->accurateInUse());
        coordinator->escapePressed();

        const std::size_t fastPreparations = m_desktop->recognizer->askedLocales.size();
        coordinator->setRecognition(Recognition::fast);
        QCOMPARE(accurate.unloaded, std::vector<QString>{QStringLiteral("fr-FR")});
        QVERIFY(!coordinator->accurateInUse());
        QCOMPARE(m_desktop->recognizer->askedLocales.size(), fastPreparations + 1);
        QVERIFY(coordinator->engine().readyFormat(Language::fr));
        QCOMPARE(AppSettingsStore(settingsPath()).load().recognition, Recognition::fast);
    }

    // Picking a language whose model must be downloaded shows each step of the installation in the panel
    // and the windows, in French units: the download with its speed and time left once they are known,
    // never 100 % while work remains, then the steps that cannot be measured, without a bar. Cancelled
    // while it can be (not once loading), it ends the preparation with a message.
    void modelInstallationSteps_data()
    {
        QTest::addColumn<InstallationProgress::Step>("step");
        QTest::addColumn<qint64>("completed");
        QTest::addColumn<qint64>("total");
        QTest::addColumn<double>("speed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("fraction");

        using Step = InstallationProgress::Step;
        const QString downloading = QStringLiteral("Téléchargement du modèle espagnol… ");
        QTest::newRow("speed not known yet")
            << Step::downloading << 0ll << 0ll << -1.0 << downloading + "0\u00a0%" << 0.0;
        QTest::newRow("Mo/s, seconds left")
            << Step::downloading << 42'900'000ll << 100'000'000ll << 2'100'000.0
            << downloading + "42\u00a0% — 2,1\u00a0Mo/\u2060s, encore 28\u00a0s" << 0.429;
        QTest::newRow("ko/s, minutes left")
            << Step::downloading << 10'000'000ll << 670'000'000ll << 850'000.0
            << downloading + "1\u00a0% — 850\u00a0ko/\u2060s, encore 13\u00a0min" << 10.0 / 670;
        QTest::newRow("hours left") << Step::downloading << 0ll << 670'000'000ll << 100'000.0
                                    << downloading + "0\u00a0% — 100\u00a0ko/\u2060s, encore 1\u00a0h\u00a052"
                                    << 0.0;
        QTest::newRow("last byte in")
            << Step::downloading << 100'000'000ll << 100'000'000ll << 12'000'000.0
            << downloading + "99\u00a0% — 12\u00a0Mo/\u2060s, encore 1\u00a0s" << 1.0;
        QTest::newRow("another Parlune downloads it")
            << Step::waiting << 300'000'000ll << 670'000'000ll << -1.0
            << "Téléchargement du modèle espagnol par un autre Parlune… 44\u00a0%" << 300.0 / 670;
        QTest::newRow("kept bytes checked") << Step::verifying << 300'000'000ll << 670'000'000ll << -1.0
                                            << "Vérification du modèle espagnol…" << -1.0;
        QTest::newRow("loading") << Step::loading << 670'000'000ll << 670'000'000ll << -1.0
                                 << "Chargement du modèle espagnol…" << -1.0;
    }

    void modelInstallationSteps()
    {
        QFETCH(InstallationProgress::Step, step);
        QFETCH(qint64, completed);
        QFETCH(qint64, total);
        QFETCH(double, speed);
        QFETCH(QString, text);
        QFETCH(double, fraction);
        auto coordinator = make(true);
        auto installation = std::make_shared<FakeInstallation>();
        m_desktop->recognizer->installation = installation;
        coordinator->setLanguage(Language::es);
        QVERIFY(m_desktop->hud.visible);
        InstallationProgress& progress = *installation->progress();
        progress.setStep(step);
        progress.setTransfer(completed, total, speed < 0 ? std::nullopt : std::optional(speed));
        QCOMPARE(coordinator->status().label(), text);
        QCOMPARE(coordinator->modelDownloadText(), text);
        QCOMPARE(coordinator->modelDownloadFraction(), fraction);
        const bool cancellable = step != InstallationProgress::Step::loading;
        QCOMPARE(coordinator->modelDownloadCancellable(), cancellable);
        if (cancellable)
            coordinator->cancelModelDownload();
        else
            installation->end();
        QCOMPARE(coordinator->status(),
                 cancellable ? RecordingStatus::message(QStringLiteral("Téléchargement annulé."))
                             : RecordingStatus());
        QVERIFY(!coordinator->modelDownloadActive());
    }

    // Clearing the history empties the file too: the next start finds nothing.
    void clearingTheHistoryEmptiesTheFileToo()
    {
        TranscriptStore(m_dir.filePath(QStringLiteral("history.json")))
            .add(QStringLiteral("un"), Date::now());
        auto coordinator = make(false);
        QCOMPARE(coordinator->history().size(), 1);
        coordinator->clearHistory();
        QVERIFY(make(false)->history().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestAppCoordinator)
#include "tst_appcoordinator.moc"
