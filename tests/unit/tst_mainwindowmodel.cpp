// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakePasteboard.h"
#include "TestCoordinator.h"
#include "ui/MainWindowModel.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

using namespace parlune;

namespace {

TranscriptEntry entry(const QString& text, const QDateTime& date)
{
    return TranscriptEntry{QUuid::createUuid(), Date::fromDateTime(date), text};
}

} // namespace

class TestMainWindowModel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<TestCoordinator> m_coordinator;
    FakePasteboard m_pasteboard;
    bool m_micAuthorized = true;

    std::unique_ptr<MainWindowModel> make()
    {
        ViewServices services;
        services.pasteboard = &m_pasteboard;
        services.microphoneAuthorized = [this] { return m_micAuthorized; };
        return std::make_unique<MainWindowModel>(*m_coordinator, services);
    }

private Q_SLOTS:
    void init()
    {
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        m_coordinator = std::make_unique<TestCoordinator>(*m_desktop);
        m_coordinator->setShortcut(KeyCombo{62, 0, true});
        m_micAuthorized = true;
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_desktop.reset();
    }

    void heroTitle_data()
    {
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<bool>("mic");
        QTest::addColumn<bool>("accessibility");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("permissionsPanel");

        QTest::newRow("ready") << RecordingStatus::idle() << true << true << "Prêt" << false;
        QTest::newRow("no accessibility")
            << RecordingStatus::idle() << true << false << "Encore une étape" << true;
        QTest::newRow("no microphone")
            << RecordingStatus::idle() << false << true << "Encore une étape" << true;
        QTest::newRow("recording") << RecordingStatus::recording() << true << true << "Je vous écoute"
                                   << false;
        QTest::newRow("recording, access missing")
            << RecordingStatus::recording() << true << false << "Je vous écoute" << true;
        QTest::newRow("inserted") << RecordingStatus::inserted(3) << true << true << "3 mots insérés"
                                  << false;
        QTest::newRow("message") << RecordingStatus::message(QStringLiteral("Micro indisponible")) << true
                                 << true << "Micro indisponible" << false;
    }

    void heroTitle()
    {
        QFETCH(RecordingStatus, status);
        QFETCH(bool, mic);
        QFETCH(bool, accessibility);
        QFETCH(QString, title);
        QFETCH(bool, permissionsPanel);

        m_micAuthorized = mic;
        m_coordinator->setAccessibilityGranted(accessibility);
        auto model = make();
        m_coordinator->setStatus(status);
        QCOMPARE(model->title(), title);
        QCOMPARE(model->showsPermissions(), permissionsPanel);
    }

    void subtitleNamesTheShortcutTwice()
    {
        auto model = make();
        QCOMPARE(
            model->subtitle(),
            QStringLiteral("Maintenez ⌃ droite et parlez.\nTapez ⌃ droite une fois pour les mains libres."));
        QSignalSpy changed(model.get(), &MainWindowModel::textsChanged);
        m_coordinator->setShortcut(KeyCombo{49, ModifierFlag::control | ModifierFlag::option, false});
        QVERIFY(!changed.isEmpty());
        QVERIFY(model->subtitle().startsWith(QStringLiteral("Maintenez ⌃⌥Espace et parlez.")));
    }

    void latencyPill_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QVariant>("latency");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<QString>("text");

        const QLocale french(QLocale::French, QLocale::France);
        QTest::newRow("before the first dictation") << french << QVariant() << false << "";
        QTest::newRow("french decimals") << french << QVariant(0.4249) << false << "0,42 s";
        QTest::newRow("rounded, two decimals kept") << french << QVariant(1.0) << false << "1,00 s";
        QTest::newRow("english decimals")
            << QLocale(QLocale::English, QLocale::UnitedStates) << QVariant(0.426) << false << "0.43 s";
        QTest::newRow("hidden while recording") << french << QVariant(0.42) << true << "";
    }

    void latencyPill()
    {
        QFETCH(QLocale, locale);
        QFETCH(QVariant, latency);
        QFETCH(bool, recording);
        QFETCH(QString, text);

        QLocale::setDefault(locale);
        auto model = make();
        if (latency.isValid())
            m_coordinator->setLastLatency(latency.toDouble());
        m_coordinator->setIsRecording(recording);
        QCOMPARE(model->latencyText(), text);
    }

    void recentListsTheThreeNewest()
    {
        const QDateTime afternoon(QDate(2026, 3, 2), QTime(14, 5), QTimeZone::systemTimeZone());
        QList<TranscriptEntry> history;
        for (int i = 0; i < 5; ++i)
            history << entry(QStringLiteral("Texte %1").arg(i), afternoon.addSecs(-60 * i));
        auto model = make();
        QSignalSpy changed(model.get(), &MainWindowModel::recentChanged);
        m_coordinator->setHistory(history);
        QCOMPARE(changed.size(), 1);

        const QVariantList recent = model->recent();
        QCOMPARE(recent.size(), 3);
        QCOMPARE(recent.at(0).toMap().value(QStringLiteral("text")), QStringLiteral("Texte 0"));
        QCOMPARE(recent.at(2).toMap().value(QStringLiteral("text")), QStringLiteral("Texte 2"));
        QCOMPARE(recent.at(0).toMap().value(QStringLiteral("id")), history.at(0).idString());
        QCOMPARE(recent.at(0).toMap().value(QStringLiteral("time")), QStringLiteral("14:05"));
        QCOMPARE(recent.at(1).toMap().value(QStringLiteral("time")), QStringLiteral("14:04"));

        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // Recent locale data puts a narrow no-break space before the marker.
        QCOMPARE(MainWindowModel::timeText(afternoon).replace(QChar(0x202f), u' '),
                 QStringLiteral("2:05 PM"));

        QLocale::setDefault(QLocale::c());
        QCOMPARE(MainWindowModel::timeText(afternoon), QStringLiteral("14:05"));

        model->clearHistory();
        QVERIFY(model->recent().isEmpty());
    }

    void copyLeavesOnlyTheTranscriptOnTheClipboard()
    {
        m_pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("image/png"), QByteArray("png")}}}});
        auto model = make();
        const int before = m_pasteboard.changeCount();
        model->copy(QStringLiteral("Écrire à Léa"));
        QVERIFY(m_pasteboard.changeCount() > before);
        QCOMPARE(m_pasteboard.content.size(), std::size_t(1));
        const auto& data = m_pasteboard.content.front().data;
        QVERIFY(!data.empty());
        for (const auto& [type, bytes] : data) {
            QVERIFY2(type.startsWith(QStringLiteral("text/plain")), qPrintable(type));
            QCOMPARE(QString::fromUtf8(bytes), QStringLiteral("Écrire à Léa"));
        }
    }

    void settingsSegmentsFollowTheLanguage()
    {
        auto model = make();
        QCOMPARE(model->languageCodes(), (QStringList{"FR", "ES", "EN"}));
        QCOMPARE(model->languageNames(), (QStringList{"Français", "Español", "English"}));
        QSignalSpy changed(model.get(), &MainWindowModel::languageIndexChanged);
        model->setLanguageIndex(2);
        QCOMPARE(m_coordinator->language(), Language::en);
        QCOMPARE(model->languageIndex(), 2);
        QCOMPARE(changed.size(), 1);
        model->setLanguageIndex(7);
        QCOMPARE(m_coordinator->language(), Language::en);
    }
};

QTEST_MAIN(TestMainWindowModel)
#include "tst_mainwindowmodel.moc"
