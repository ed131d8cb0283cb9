// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's and the walkthrough's models: their texts, their permission pages and their buttons.
#include "StagedCoordinator.h"
#include "ui/MainWindowModel.h"
#include "ui/OnboardingModel.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

using namespace parlune;
using Step = OnboardingModel::Step;

namespace {

const KeyCombo rightControl{62, 0, true};

} // namespace

class TestWindowModels : public QObject
{
    Q_OBJECT

    FakeClock m_clock;
    std::unique_ptr<StagedDesktop> m_staged;
    // What the system answers, and what was asked of it.
    bool m_micAuthorized = false;
    bool m_micAnswer = false;
    bool m_fnFree = false;
    QStringList m_asked;

    StagedCoordinator& coordinator() { return m_staged->coordinator; }

    std::unique_ptr<MainWindowModel> window()
    {
        ViewServices services;
        services.clock = &m_clock;
        services.pasteboard = &m_staged->desktop.pasteboard;
        services.microphoneAuthorized = [this] { return m_micAuthorized; };
        services.requestMicrophone = [this]() -> QCoro::Task<bool> {
            m_asked << QStringLiteral("microphone");
            co_return m_micAnswer;
        };
        services.requestAccessibility = [this] { m_asked << QStringLiteral("accessibility"); };
        services.openKeyboardSettings = [this] { m_asked << QStringLiteral("keyboard settings"); };
        services.fnKeyIsFree = [this] { return m_fnFree; };
        return std::make_unique<MainWindowModel>(coordinator(), services);
    }

    // The walkthrough as the view starts it, moved on to `step`.
    std::unique_ptr<OnboardingModel> walkthrough(Step step = OnboardingModel::Welcome)
    {
        std::unique_ptr<OnboardingModel> model(window()->makeOnboarding(nullptr));
        model->start();
        while (model->step() != step && model->stepIndex() + 1 < model->stepCount())
            model->next();
        return model;
    }

private Q_SLOTS:
    void init()
    {
        m_staged = std::make_unique<StagedDesktop>();
        coordinator().setShortcut(rightControl);
        m_micAuthorized = true;
        m_micAnswer = m_fnFree = false;
        m_asked.clear();
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }

    void heroTitleAndPermissions_data()
    {
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<bool>("mic");
        QTest::addColumn<bool>("accessibility");
        QTest::addColumn<QString>("title");

        const auto idle = RecordingStatus::idle();
        QTest::newRow("ready") << idle << true << true << "Prêt";
        QTest::newRow("no accessibility") << idle << true << false << "Encore une étape";
        QTest::newRow("no microphone") << idle << false << true << "Encore une étape";
        QTest::newRow("recording, access missing")
            << RecordingStatus::recording() << true << false << "Je vous écoute";
        QTest::newRow("message") << RecordingStatus::message(QStringLiteral("Micro indisponible")) << true
                                 << true << "Micro indisponible";
    }

    void heroTitleAndPermissions()
    {
        QFETCH(RecordingStatus, status);
        QFETCH(bool, mic);
        QFETCH(bool, accessibility);
        QFETCH(QString, title);
        auto model = window();
        coordinator().setAccessibilityGranted(accessibility);
        coordinator().setStatus(status);
        // The window reads the microphone again whenever the program comes back to the front.
        QSignalSpy texts(model.get(), &MainWindowModel::textsChanged);
        m_micAuthorized = mic;
        model->refreshMicrophone();
        QCOMPARE(texts.isEmpty(), mic);
        QCOMPARE(model->title(), title);
        QCOMPARE(model->showsPermissions(), !mic || !accessibility);
    }

    void subtitleNamesTheShortcutTwice()
    {
        auto model = window();
        QCOMPARE(model->subtitle(),
                 "Maintenez ⌃ droite et parlez.\nTapez ⌃ droite une fois pour les mains libres.");
        QSignalSpy changed(model.get(), &MainWindowModel::textsChanged);
        coordinator().setShortcut(KeyCombo{49, ModifierFlag::control | ModifierFlag::option, false});
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
        QTest::newRow("two decimals kept") << french << QVariant(1.0) << false << "1,00 s";
        QTest::newRow("english") << QLocale(QLocale::English, QLocale::UnitedStates) << QVariant(0.426)
                                 << false << "0.43 s";
        QTest::newRow("hidden while recording") << french << QVariant(0.42) << true << "";
    }

    void latencyPill()
    {
        QFETCH(QLocale, locale);
        QFETCH(QVariant, latency);
        QFETCH(bool, recording);
        QFETCH(QString, text);
        QLocale::setDefault(locale);
        auto model = window();
        if (latency.isValid())
            coordinator().setLastLatency(latency.toDouble());
        coordinator().setIsRecording(recording);
        QCOMPARE(model->latencyText(), text);
    }

    void recentListsTheThreeNewestWithTheirTime()
    {
        const QDateTime afternoon(QDate(2026, 3, 2), QTime(14, 5), QTimeZone::systemTimeZone());
        QList<TranscriptEntry> history;
        for (int i = 0; i < 5; ++i)
            history << TranscriptEntry{QUuid::createUuid(), Date::fromDateTime(afternoon.addSecs(-60 * i)),
                                       QStringLiteral("Texte %1").arg(i)};
        auto model = window();
        QSignalSpy changed(model.get(), &MainWindowModel::recentChanged);
        coordinator().setHistory(history);
        QCOMPARE(changed.size(), 1);
        QStringList rows;
        for (const QVariant& row : model->recent()) {
            const QVariantMap fields = row.toMap();
            rows << fields[QStringLiteral("text")].toString() + " " +
                        fields[QStringLiteral("time")].toString();
        }
        QCOMPARE(rows, QStringList({"Texte 0 14:05", "Texte 1 14:04", "Texte 2 14:03"}));

        // Hours and minutes only, with the marker of a twelve-hour clock (after a narrow no-break space in
        // recent locale data); the C locale's short format has seconds, left out.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(MainWindowModel::timeText(afternoon).replace(QChar(0x202f), u' '), "2:05 PM");
        QLocale::setDefault(QLocale::c());
        QCOMPARE(MainWindowModel::timeText(afternoon), "14:05");
    }

    void copyLeavesOnlyTheTranscriptOnTheClipboard()
    {
        FakePasteboard& clipboard = m_staged->desktop.pasteboard;
        clipboard.copyFromOtherProgram({PasteboardItem{{{QStringLiteral("image/png"), QByteArray("png")}}}});
        window()->copy(QStringLiteral("Écrire à Léa"));
        QCOMPARE(clipboard.content.size(), std::size_t(1));
        for (const auto& [type, bytes] : clipboard.content.front().data) {
            QVERIFY2(type.startsWith(QStringLiteral("text/plain")), qPrintable(type));
            QCOMPARE(QString::fromUtf8(bytes), "Écrire à Léa");
        }
    }

    void fnPageOnlyWhenFnIsHeldAndNotFree_data()
    {
        QTest::addColumn<KeyCombo>("shortcut");
        QTest::addColumn<bool>("fnFree");
        QTest::addColumn<int>("pages");

        QTest::newRow("fn, still used by the system") << KeyCombo::defaultCombo() << false << 7;
        QTest::newRow("fn, free") << KeyCombo::defaultCombo() << true << 6;
        QTest::newRow("right control") << rightControl << false << 6;
        QTest::newRow("fn with a key is not fn alone")
            << KeyCombo{63, ModifierFlag::function, false} << false << 6;
    }

    void fnPageOnlyWhenFnIsHeldAndNotFree()
    {
        QFETCH(KeyCombo, shortcut);
        QFETCH(bool, fnFree);
        QFETCH(int, pages);
        coordinator().setShortcut(shortcut);
        m_fnFree = fnFree;
        auto model = walkthrough();
        QCOMPARE(model->stepCount(), pages);
        QCOMPARE(model->steps().contains(OnboardingModel::FnKey), pages == 7);
    }

    void anotherKeyChosenOnTheFnPageKeepsThePage()
    {
        coordinator().setShortcut(KeyCombo::defaultCombo());
        auto model = walkthrough(OnboardingModel::FnKey);
        QCOMPARE(model->secondary(), OnboardingModel::ShortcutRecorder);
        model->primaryAction();
        QCOMPARE(m_asked, QStringList{"keyboard settings"});
        coordinator().setShortcut(rightControl);
        m_clock.advance(Seconds(OnboardingModel::pollInterval));
        QCOMPARE(model->stepCount(), 7);
        QCOMPARE(model->step(), OnboardingModel::FnKey);
    }

    void microphonePage_data()
    {
        QTest::addColumn<bool>("authorized");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("button");

        QTest::newRow("already given") << true << false << "Continuer";
        QTest::newRow("granted when asked") << false << true << "Autoriser le micro";
        QTest::newRow("refused") << false << false << "Autoriser le micro";
    }

    void microphonePage()
    {
        QFETCH(bool, authorized);
        QFETCH(bool, answer);
        QFETCH(QString, button);
        m_micAuthorized = authorized;
        m_micAnswer = answer;
        auto model = walkthrough(OnboardingModel::Microphone);
        QCOMPARE(model->primaryTitle(), button);
        // Already given: the green check, and nothing to put off.
        QCOMPARE(model->visualSymbol(), authorized ? "checkmark" : "mic.fill");
        QCOMPARE(model->secondary(), authorized ? OnboardingModel::Nothing : OnboardingModel::Later);
        model->primaryAction();
        QCOMPARE(m_asked.size(), authorized ? 0 : 1);
        QCOMPARE(model->micGranted(), authorized || answer);
        QCOMPARE(model->step(),
                 authorized || answer ? OnboardingModel::Accessibility : OnboardingModel::Microphone);
        // Given later in the system's settings: the next tick of the poll sees it.
        m_micAuthorized = true;
        m_clock.advance(Seconds(OnboardingModel::pollInterval));
        QVERIFY(model->micGranted());
    }

    void accessibilityGrantedAdvancesAtTheNextTick()
    {
        auto model = walkthrough(OnboardingModel::Accessibility);
        model->primaryAction();
        QCOMPARE(m_asked, QStringList{"accessibility"});
        // Granted between two ticks: the button changes at once, the page at the next tick.
        m_clock.advance(Seconds(1.5));
        coordinator().setAccessibilityGranted(true);
        QCOMPARE(model->primaryTitle(), "Continuer");
        m_clock.advance(Seconds(0.4));
        QCOMPARE(model->step(), OnboardingModel::Accessibility);
        m_clock.advance(Seconds(0.1));
        QCOMPARE(model->step(), OnboardingModel::Language);
        // Only the accessibility page moves by itself; the poll ends with the walkthrough.
        m_clock.advance(Seconds(5));
        QCOMPARE(model->step(), OnboardingModel::Language);
        model.reset();
        m_clock.advance(Seconds(1));
        QCOMPARE(m_clock.pendingSleeps(), std::size_t(0));
    }

    void practicePageFollowsTheDictation()
    {
        auto model = walkthrough(OnboardingModel::Language);
        QSignalSpy focus(model.get(), &OnboardingModel::practiceFocusRequested);
        model->primaryAction();
        QCOMPARE(focus.size(), 1);
        QCOMPARE(model->practiceTitle(), "À vous");
        QCOMPARE(model->secondary(), OnboardingModel::SkipPractice);
        QCOMPARE(model->practiceInstruction(), "Maintenez ⌃ droite, dites une phrase, puis relâchez.");
        // The level meter replaces the instruction while the dictation runs.
        coordinator().setIsRecording(true);
        QCOMPARE(model->practiceInstruction(), QString());
        coordinator().setIsRecording(false);
        coordinator().setLastLatency(0.4249);
        model->setPracticeText(QStringLiteral("Bonjour"));
        QCOMPARE(model->practiceTitle(), "Ça marche");
        QCOMPARE(model->secondary(), OnboardingModel::Nothing);
        QCOMPARE(model->practiceInstruction(),
                 "Texte prêt 0,42 s après la fin de votre phrase. Pour parler "
                 "longtemps, tapez ⌃ droite une fois, puis retapez-le à la fin.");
    }

    void finalPageTurnsLaunchAtLoginOnOnce()
    {
        auto model = walkthrough(OnboardingModel::Practice);
        model->primaryAction();
        QCOMPARE(model->step(), OnboardingModel::Done);
        QVERIFY(coordinator().launchAtLogin());
        QCOMPARE(model->text(),
                 "Parlune reste dans la barre des menus. Gardez ⌃ droite enfoncé dans n'importe "
                 "quelle app, et Échap annule une dictée en cours.");
        // Switched off there, it stays off when the walkthrough ends.
        coordinator().setLaunchAtLogin(false);
        coordinator().setOnboardingDone(false);
        model->primaryAction();
        QVERIFY(coordinator().onboardingDone());
        QVERIFY(!coordinator().launchAtLogin());
    }
};

QTEST_MAIN(TestWindowModels)
#include "tst_windowmodels.moc"
