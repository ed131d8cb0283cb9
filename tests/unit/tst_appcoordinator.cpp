// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDesktop.h"
#include "app/AppCoordinator.h"
#include "input/GlobalHotkeys.h"
#include "speech/SpeechEngine.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

// The coordinator with its status writable, as the dictation flow writes it.
class Coordinator : public AppCoordinator
{
public:
    using AppCoordinator::AppCoordinator;
    using AppCoordinator::setStatus;
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// The coordinator's state: settings, history and the panel's return to idle.
class TestAppCoordinator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;

    QString settingsPath() const { return m_dir.filePath(QStringLiteral("settings.json")); }
    QString historyPath() const { return m_dir.filePath(QStringLiteral("history.json")); }

    std::unique_ptr<Coordinator> make(bool live)
    {
        return std::make_unique<Coordinator>(m_desktop->services(), live);
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QFile::remove(historyPath());
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
    }

    void cleanup() { m_desktop.reset(); }

    void insertedReturnsToIdleAfterNineTenths()
    {
        auto coordinator = make(true);
        coordinator->setStatus(RecordingStatus::inserted(3));
        QVERIFY(m_desktop->hud.visible);
        m_desktop->clock.advance(Seconds(0.899));
        QCOMPARE(coordinator->status(), RecordingStatus::inserted(3));
        m_desktop->clock.advance(Seconds(0.001));
        QCOMPARE(coordinator->status(), RecordingStatus::idle());
        QVERIFY(!m_desktop->hud.visible);
    }

    void aNewMessageGetsItsFullThreeSeconds()
    {
        auto coordinator = make(true);
        const auto second = RecordingStatus::message(QStringLiteral("Deuxième"));
        coordinator->setStatus(RecordingStatus::message(QStringLiteral("Premier")));
        m_desktop->clock.advance(Seconds(2));
        coordinator->setStatus(second);
        m_desktop->clock.advance(Seconds(2.9));
        QCOMPARE(coordinator->status(), second);
        m_desktop->clock.advance(Seconds(0.1));
        QCOMPARE(coordinator->status(), RecordingStatus::idle());
    }

    void recordingCancelsThePendingReturnToIdle()
    {
        auto coordinator = make(true);
        coordinator->setStatus(RecordingStatus::message(QStringLiteral("Aucun micro disponible.")));
        m_desktop->clock.advance(Seconds(1));
        coordinator->setStatus(RecordingStatus::recording());
        m_desktop->clock.advance(Seconds(10));
        QCOMPARE(coordinator->status(), RecordingStatus::recording());
        QVERIFY(m_desktop->hud.visible);
    }

    void quietCoordinatorKeepsAMessage()
    {
        auto coordinator = make(false);
        coordinator->setStatus(RecordingStatus::message(QStringLiteral("Bonjour")));
        m_desktop->clock.advance(Seconds(3600));
        QCOMPARE(coordinator->status(), RecordingStatus::message(QStringLiteral("Bonjour")));
        QCOMPARE(m_desktop->hud.shows, 0);
    }

    void theReturnToIdleOutlivesNoCoordinator()
    {
        auto coordinator = make(true);
        coordinator->setStatus(RecordingStatus::inserted(1));
        coordinator.reset();
        m_desktop->clock.advance(Seconds(1)); // must not touch the destroyed coordinator
        QCOMPARE(m_desktop->clock.pendingSleeps(), 0u);
    }

    void liveStartWithoutSettingsUsesDefaultsAndWritesNothing()
    {
        m_desktop->autostart.registered = true;
        auto coordinator = make(true);
        QCOMPARE(coordinator->language(), Language::fr);
        QCOMPARE(coordinator->shortcut(), KeyCombo::defaultCombo());
        QVERIFY(!coordinator->onboardingDone());
        QVERIFY(coordinator->soundsEnabled());
        QVERIFY(!QFile::exists(settingsPath()));
        QVERIFY2(!m_desktop->autostart.registered, "the login entry follows the settings once at start");
    }

    void liveStartAppliesStoredSettingsWithoutRewritingThem()
    {
        const QByteArray stored = R"({"soundsEnabled":false,"language":"en","onboardingDone":true,"x":1})";
        {
            QFile file(settingsPath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(stored);
        }
        auto coordinator = make(true);
        QCOMPARE(coordinator->language(), Language::en);
        QVERIFY(!coordinator->soundsEnabled());
        QVERIFY(coordinator->onboardingDone());
        QCOMPARE(contents(settingsPath()), stored);
    }

    void eachSettingChangeSavesTheWholeRecord()
    {
        auto coordinator = make(true);
        coordinator->setOnboardingDone(true);
        QVERIFY2(!QFile::exists(settingsPath()), "the walkthrough flag is saved by whoever sets it");

        coordinator->setLanguage(Language::es);
        QCOMPARE(
            contents(settingsPath()),
            QByteArray(R"({"language":"es","shortcut":{"keyCode":63,"modifiers":0,"isModifierKey":true},)"
                       R"("launchAtLogin":false,"muteWhileRecording":false,"onboardingDone":true,)"
                       R"("soundsEnabled":true})"));

        const KeyCombo controlOptionSpace{49, ModifierFlag::control | ModifierFlag::option, false};
        coordinator->setShortcut(controlOptionSpace);
        QCOMPARE(coordinator->hotkeys()->combo(), controlOptionSpace);
        coordinator->setLaunchAtLogin(true);
        QVERIFY(m_desktop->autostart.registered);
        const AppSettings saved = AppSettingsStore(settingsPath()).load();
        QCOMPARE(saved.shortcut, controlOptionSpace);
        QVERIFY(saved.launchAtLogin);
    }

    void quietCoordinatorNeverSaves()
    {
        auto coordinator = make(false);
        QVERIFY(coordinator->onboardingDone());
        coordinator->setLanguage(Language::en);
        coordinator->setSoundsEnabled(false);
        coordinator->persistSettings();
        QVERIFY(!QFile::exists(settingsPath()));
        QVERIFY(!coordinator->hotkeys());
    }

    void clearHistoryEmptiesTheFileAndTheList()
    {
        {
            TranscriptStore store(historyPath());
            store.add(QStringLiteral("bonjour"), Date::now());
        }
        auto coordinator = make(false);
        QCOMPARE(coordinator->history().size(), 1);
        QSignalSpy changed(coordinator.get(), &AppCoordinator::historyChanged);
        coordinator->clearHistory();
        QVERIFY(coordinator->history().isEmpty());
        QCOMPARE(changed.size(), 1);
        QCOMPARE(contents(historyPath()), QByteArray("[]"));
    }
};

QTEST_GUILESS_MAIN(TestAppCoordinator)
#include "tst_appcoordinator.moc"
