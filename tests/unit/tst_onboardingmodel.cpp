// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeClock.h"
#include "TestCoordinator.h"
#include "ui/OnboardingModel.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTest>

using namespace parlune;
using Step = OnboardingModel::Step;

namespace {

const KeyCombo rightControl{62, 0, true};

} // namespace

class TestOnboardingModel : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeClock m_clock;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<TestCoordinator> m_coordinator;
    // What the system answers.
    bool m_micAuthorized = false;
    bool m_micAnswer = false;
    bool m_fnFree = false;
    int m_micRequests = 0;
    int m_accessibilityRequests = 0;
    int m_keyboardSettingsOpened = 0;

    std::unique_ptr<OnboardingModel> make()
    {
        ViewServices services;
        services.clock = &m_clock;
        services.microphoneAuthorized = [this] { return m_micAuthorized; };
        services.requestMicrophone = [this]() -> QCoro::Task<bool> {
            ++m_micRequests;
            co_return m_micAnswer;
        };
        services.requestAccessibility = [this] { ++m_accessibilityRequests; };
        services.openKeyboardSettings = [this] { ++m_keyboardSettingsOpened; };
        services.fnKeyIsFree = [this] { return m_fnFree; };
        auto model = std::make_unique<OnboardingModel>(*m_coordinator, services);
        model->start();
        return model;
    }

    static void goTo(OnboardingModel& model, Step step)
    {
        while (model.step() != step && model.stepIndex() + 1 < model.stepCount())
            model.next();
        QCOMPARE(model.step(), step);
    }

private Q_SLOTS:
    void init()
    {
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        m_coordinator = std::make_unique<TestCoordinator>(*m_desktop);
        m_micAuthorized = m_micAnswer = m_fnFree = false;
        m_micRequests = m_accessibilityRequests = m_keyboardSettingsOpened = 0;
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_desktop.reset();
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

        m_coordinator->setShortcut(shortcut);
        m_fnFree = fnFree;
        auto model = make();
        QCOMPARE(model->stepCount(), pages);
        QCOMPARE(model->steps().contains(OnboardingModel::FnKey), pages == 7);
        QCOMPARE(model->steps().first(), OnboardingModel::Welcome);
        QCOMPARE(model->steps().last(), OnboardingModel::Done);
    }

    void anotherKeyChosenOnTheFnPageKeepsThePage()
    {
        auto model = make();
        goTo(*model, OnboardingModel::FnKey);
        QCOMPARE(model->secondary(), OnboardingModel::ShortcutRecorder);
        QCOMPARE(model->secondaryTitle(), QStringLiteral("Choisir une autre touche que fn"));
        QCOMPARE(model->primaryTitle(), QStringLiteral("Ouvrir les réglages du clavier"));
        model->primaryAction();
        QCOMPARE(m_keyboardSettingsOpened, 1);
        QCOMPARE(model->step(), OnboardingModel::FnKey);

        m_coordinator->setShortcut(rightControl);
        m_clock.advance(Seconds(OnboardingModel::pollInterval));
        QCOMPARE(model->stepCount(), 7);
        QCOMPARE(model->step(), OnboardingModel::FnKey);
    }

    void microphonePage_data()
    {
        QTest::addColumn<bool>("authorized");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("title");
        QTest::addColumn<Step>("after");
        QTest::addColumn<int>("requests");

        QTest::newRow("already given") << true << false << "Continuer" << OnboardingModel::Accessibility << 0;
        QTest::newRow("granted when asked")
            << false << true << "Autoriser le micro" << OnboardingModel::Accessibility << 1;
        QTest::newRow("refused stays")
            << false << false << "Autoriser le micro" << OnboardingModel::Microphone << 1;
    }

    void microphonePage()
    {
        QFETCH(bool, authorized);
        QFETCH(bool, answer);
        QFETCH(QString, title);
        QFETCH(Step, after);
        QFETCH(int, requests);

        m_micAuthorized = authorized;
        m_micAnswer = answer;
        auto model = make();
        goTo(*model, OnboardingModel::Microphone);
        QCOMPARE(model->primaryTitle(), title);
        QCOMPARE(model->visualDone(), authorized);
        QCOMPARE(model->visualSymbol(),
                 authorized ? QStringLiteral("checkmark") : QStringLiteral("mic.fill"));
        QCOMPARE(model->secondary(), authorized ? OnboardingModel::Nothing : OnboardingModel::Later);
        model->primaryAction();
        QCOMPARE(m_micRequests, requests);
        QCOMPARE(model->step(), after);
        QCOMPARE(model->micGranted(), authorized || answer);
        if (model->step() == OnboardingModel::Microphone) {
            // "Plus tard" moves on anyway.
            model->next();
            QCOMPARE(model->step(), OnboardingModel::Accessibility);
        }
    }

    void accessibilityGrantedAdvancesAtTheNextTick()
    {
        m_micAuthorized = true;
        auto model = make();
        goTo(*model, OnboardingModel::Accessibility);
        QCOMPARE(model->primaryTitle(), QStringLiteral("Ouvrir les réglages"));
        QCOMPARE(model->secondaryTitle(), QStringLiteral("Plus tard"));
        model->primaryAction();
        QCOMPARE(m_accessibilityRequests, 1);
        QCOMPARE(model->step(), OnboardingModel::Accessibility);

        m_clock.advance(Seconds(1.5));
        m_coordinator->setAccessibilityGranted(true);
        QCOMPARE(model->step(), OnboardingModel::Accessibility);
        QCOMPARE(model->primaryTitle(), QStringLiteral("Continuer"));
        m_clock.advance(Seconds(0.4));
        QCOMPARE(model->step(), OnboardingModel::Accessibility);
        m_clock.advance(Seconds(0.1));
        QCOMPARE(model->step(), OnboardingModel::FnKey);
        // Only the accessibility page moves by itself.
        m_clock.advance(Seconds(5));
        QCOMPARE(model->step(), OnboardingModel::FnKey);
    }

    void thePollReadsThePermissionsAgain()
    {
        auto model = make();
        QSignalSpy micChanged(model.get(), &OnboardingModel::micGrantedChanged);
        m_micAuthorized = true;
        m_clock.advance(Seconds(0.999));
        QVERIFY(!model->micGranted());
        m_clock.advance(Seconds(0.001));
        QVERIFY(model->micGranted());
        QCOMPARE(micChanged.size(), 1);
        model.reset();
        QCOMPARE(m_clock.pendingSleeps(), std::size_t(1));
        m_clock.advance(Seconds(1));
        QCOMPARE(m_clock.pendingSleeps(), std::size_t(0));
    }

    void practicePage()
    {
        m_coordinator->setShortcut(rightControl);
        auto model = make();
        QSignalSpy focus(model.get(), &OnboardingModel::practiceFocusRequested);
        goTo(*model, OnboardingModel::Practice);
        QCOMPARE(focus.size(), 1);
        QCOMPARE(model->practiceTitle(), QStringLiteral("À vous"));
        QCOMPARE(model->secondaryTitle(), QStringLiteral("Passer l'essai"));
        QCOMPARE(model->practiceInstruction(),
                 QStringLiteral("Maintenez ⌃ droite, dites une phrase, puis relâchez."));

        m_coordinator->setIsRecording(true);
        QCOMPARE(model->practiceInstruction(), QString());
        m_coordinator->setIsRecording(false);
        m_coordinator->setLastLatency(0.4249);
        model->setPracticeText(QStringLiteral("Bonjour"));
        QCOMPARE(model->practiceTitle(), QStringLiteral("Ça marche"));
        QCOMPARE(model->secondary(), OnboardingModel::Nothing);
        QCOMPARE(
            model->practiceInstruction(),
            QStringLiteral("Texte prêt 0,42 s après la fin de votre phrase. Pour parler longtemps, tapez "
                           "⌃ droite une fois, puis retapez-le à la fin."));
    }

    void finalPageTurnsLaunchAtLoginOnOnce()
    {
        m_coordinator->setShortcut(rightControl);
        auto model = make();
        goTo(*model, OnboardingModel::Practice);
        QVERIFY(!m_coordinator->launchAtLogin());
        model->primaryAction();
        QCOMPARE(model->step(), OnboardingModel::Done);
        QVERIFY(m_coordinator->launchAtLogin());
        QCOMPARE(model->text(),
                 QStringLiteral("Parlune reste dans la barre des menus. Gardez ⌃ droite enfoncé dans "
                                "n'importe quelle app, et Échap annule une dictée en cours."));

        m_coordinator->setLaunchAtLogin(false);
        model->next();
        QCOMPARE(model->primaryTitle(), QStringLiteral("Terminer"));
        m_coordinator->setOnboardingDone(false);
        model->primaryAction();
        QVERIFY(m_coordinator->onboardingDone());
        QVERIFY(!m_coordinator->launchAtLogin());
    }
};

QTEST_MAIN(TestOnboardingModel)
#include "tst_onboardingmodel.moc"
