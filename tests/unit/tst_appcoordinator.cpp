// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"
#include "FakeHud.h"
#include "app/AppCoordinator.h"
#include "store/AppSettingsStore.h"
#include "store/TranscriptStore.h"

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

class TestAppCoordinator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeClock m_clock;
    FakeHud::State m_hud;

    QString settingsPath() const { return m_dir.filePath(QStringLiteral("settings.json")); }
    QString historyPath() const { return m_dir.filePath(QStringLiteral("history.json")); }

    std::unique_ptr<Coordinator> make(bool live)
    {
        AppCoordinatorServices services;
        services.clock = &m_clock;
        services.transcripts = std::make_unique<TranscriptStore>(historyPath());
        services.settingsStore = std::make_unique<AppSettingsStore>(settingsPath());
        services.hud = std::make_unique<FakeHud>(m_hud);
        return std::make_unique<Coordinator>(std::move(services), live);
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QFile::remove(historyPath());
        m_hud = {};
    }

    void insertedReturnsToIdleAfterNineTenths()
    {
        auto coordinator = make(true);
        coordinator->setStatus(RecordingStatus::inserted(3));
        QVERIFY(m_hud.visible);
        m_clock.advance(Seconds(0.899));
        QCOMPARE(coordinator->status(), RecordingStatus::inserted(3));
        m_clock.advance(Seconds(0.001));
        QCOMPARE(coordinator->status(), RecordingStatus::idle());
        QVERIFY(!m_hud.visible);
    }

    void aNewMessageGetsItsFullThreeSeconds()
    {
        auto coordinator = make(true);
        const auto second = RecordingStatus::message(QStringLiteral("Deuxième"));
        coordinator->setStatus(RecordingStatus::message(QStringLiteral("Premier")));
        m_clock.advance(Seconds(2));
        coordinator->setStatus(second);
        m_clock.advance(Seconds(2.9));
        QCOMPARE(coordinator->status(), second);
        m_clock.advance(Seconds(0.1));
        QCOMPARE(coordinator->status(), RecordingStatus::idle());
        QCOMPARE(m_clock.pendingSleeps(), 0u);
    }

    void recordingCancelsThePendingReturnToIdle()
    {
        auto coordinator = make(true);
        coordinator->setStatus(RecordingStatus::message(QStringLiteral("Aucun micro disponible.")));
        m_clock.advance(Seconds(1));
        coordinator->setStatus(RecordingStatus::recording());
        m_clock.advance(Seconds(10));
        QCOMPARE(coordinator->status(), RecordingStatus::recording());
        QVERIFY(m_hud.visible);
    }

    void quietCoordinatorKeepsAMessage()
    {
        auto coordinator = make(false);
        coordinator->setStatus(RecordingStatus::message(QStringLiteral("Bonjour")));
        m_clock.advance(Seconds(3600));
        QCOMPARE(coordinator->status(), RecordingStatus::message(QStringLiteral("Bonjour")));
        QCOMPARE(m_hud.shows, 0);
    }

    void theReturnToIdleOutlivesNoCoordinator()
    {
        auto coordinator = make(true);
        coordinator->setStatus(RecordingStatus::inserted(1));
        coordinator.reset();
        m_clock.advance(Seconds(1)); // must not touch the destroyed coordinator
        QCOMPARE(m_clock.pendingSleeps(), 0u);
    }

    void liveStartWithoutSettingsUsesDefaultsAndWritesNothing()
    {
        auto coordinator = make(true);
        QCOMPARE(coordinator->language(), Language::fr);
        QCOMPARE(coordinator->shortcut(), KeyCombo::defaultCombo());
        QVERIFY(!coordinator->onboardingDone());
        QVERIFY(coordinator->soundsEnabled());
        QVERIFY(!QFile::exists(settingsPath()));
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

        coordinator->setShortcut(KeyCombo{49, ModifierFlag::control | ModifierFlag::option, false});
        coordinator->setMuteWhileRecording(true);
        QCOMPARE(AppSettingsStore(settingsPath()).load().shortcut.keyCode, 49);
        QVERIFY(AppSettingsStore(settingsPath()).load().muteWhileRecording);
    }

    void quietCoordinatorNeverSaves()
    {
        auto coordinator = make(false);
        QVERIFY(coordinator->onboardingDone());
        coordinator->setLanguage(Language::en);
        coordinator->setSoundsEnabled(false);
        coordinator->persistSettings();
        QVERIFY(!QFile::exists(settingsPath()));
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
