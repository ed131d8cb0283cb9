// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's and the walkthrough's models: their texts, their permission pages and their buttons.
#include "FakeDesktopKeybinding.h"
#include "FakeDesktopShortcut.h"
#include "StagedCoordinator.h"
#include "platform/DesktopShortcutChoice.h"
#include "ui/MainWindowModel.h"
#include "ui/OnboardingModel.h"
#include "ui/RecognitionModel.h"

#include <QLocale>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;
using Step = OnboardingModel::Step;

class TestWindowModels : public QObject
{
    Q_OBJECT

    FakeClock m_clock;
    std::unique_ptr<StagedDesktop> m_staged;
    // What the system answers, and what was asked of it.
    bool m_micAuthorized = false;
    bool m_micAnswer = false;
    QStringList m_asked;

    StagedCoordinator& coordinator() { return m_staged->coordinator; }

    std::unique_ptr<MainWindowModel> window(AppCoordinator* on = nullptr,
                                            DesktopKeybinding* keybinding = nullptr)
    {
        ViewServices services;
        services.keybinding = keybinding;
        services.clock = &m_clock;
        services.pasteboard = &m_staged->desktop.pasteboard;
        services.microphoneAuthorized = [this] { return m_micAuthorized; };
        services.requestMicrophone = [this]() -> QCoro::Task<bool> {
            m_asked << QStringLiteral("microphone");
            co_return m_micAnswer;
        };
        services.canRequestAccessibility = [] { return true; };
        services.requestAccessibility = [this] { m_asked << QStringLiteral("accessibility"); };
        services.openShortcutSettings = [this] { m_asked << QStringLiteral("shortcut settings"); };
        services.canOpenShortcutSettings = [] { return true; };
        return std::make_unique<MainWindowModel>(on ? *on : coordinator(), services);
    }

    // The walkthrough as the view starts it, moved on to `step`.
    std::unique_ptr<OnboardingModel> walkthrough(Step step, AppCoordinator* on = nullptr,
                                                 DesktopKeybinding* keybinding = nullptr)
    {
        std::unique_ptr<OnboardingModel> model(window(on, keybinding)->makeOnboarding(nullptr));
        model->start();
        while (model->step() != step && model->stepIndex() + 1 < model->stepCount())
            model->next();
        return model;
    }

private Q_SLOTS:
    void init()
    {
        m_staged = std::make_unique<StagedDesktop>();
        m_micAuthorized = true;
        m_micAnswer = false;
        m_asked.clear();
        QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    }

    void windowTextsFollowTheState()
    {
        coordinator().setAccessibilityGranted(true);
        auto model = window();
        // The window reads the microphone again whenever the program comes back to the front.
        QSignalSpy texts(model.get(), &MainWindowModel::textsChanged);
        m_micAuthorized = false;
        model->refreshMicrophone();
        QVERIFY(!texts.isEmpty() && model->showsPermissions());
        QCOMPARE(model->title(), "Encore une étape");
        texts.clear();
        coordinator().setShortcut(KeyCombo{49, ModifierFlag::control | ModifierFlag::option, false});
        QVERIFY(!texts.isEmpty());
        QCOMPARE(model->subtitle().count(QStringLiteral("Ctrl+Alt+Espace")), 2);
        // The last latency in the user's decimals, hidden while a dictation runs; a dictation under way
        // says so, even with a permission missing.
        coordinator().setLastLatency(0.4249);
        QCOMPARE(model->latencyText(), "0,42 s");
        coordinator().setStatus(RecordingStatus::recording());
        coordinator().setIsRecording(true);
        QCOMPARE(model->title(), "Je vous écoute");
        QCOMPARE(model->latencyText(), QString());
    }

    // While the language's model downloads the title says so, also once the panel's message is gone.
    void titleSaysTheLanguageIsNotReadyWhileItsModelDownloads()
    {
        m_staged = std::make_unique<StagedDesktop>(true);
        auto installation = std::make_shared<FakeInstallation>();
        m_staged->desktop.recognizer->installation = installation;
        coordinator().setAccessibilityGranted(true);
        coordinator().setLanguage(Language::es);
        auto model = window();
        QCOMPARE(model->title(), "Téléchargement du modèle espagnol… 0\u00a0%");
        QSignalSpy texts(model.get(), &MainWindowModel::textsChanged);
        coordinator().setStatus(RecordingStatus::idle());
        QCOMPARE(model->title(), "Préparation : Español…");
        installation->end();
        coordinator().setStatus(RecordingStatus::idle());
        QCOMPARE(model->title(), "Prêt");
        QVERIFY(texts.size() >= 2);
    }

    // A stored fn shortcut can never fire: the window warns and offers the default in one click (the
    // walkthrough's fn page, which does the same, is checked in the rendered views).
    void fnShortcutIsSwappedForTheDefaultInOneClick()
    {
        coordinator().setAccessibilityGranted(true);
        coordinator().setShortcut(KeyCombo{63, 0, true});
        auto model = window();
        QVERIFY(model->warnsAboutFn() && model->showsPermissions());
        model->useDefaultShortcut();
        QCOMPARE(coordinator().shortcut(), KeyCombo::defaultCombo());
        QVERIFY(!model->warnsAboutFn() && !model->showsPermissions());
    }

    void whereTheDesktopBindsTheShortcutItsPagesFollowIt()
    {
        QTemporaryDir folder;
        FakeDesktop desktop(folder.path());
        FakeDesktopShortcut shortcut;
        desktop.desktopShortcut = &shortcut;
        StagedCoordinator wayland(desktop, false);
        wayland.setAccessibilityGranted(true);

        // No fn page; the desktop's shortcut comes before typing.
        auto model = walkthrough(OnboardingModel::Shortcut, &wayland);
        QCOMPARE(model->steps().mid(1, 3),
                 (QList<Step>{OnboardingModel::Microphone, OnboardingModel::Shortcut,
                              OnboardingModel::Accessibility}));
        // Not bound yet: the desktop's settings, or later.
        QCOMPARE(model->secondary(), OnboardingModel::Later);
        model->primaryAction();
        QCOMPARE(m_asked, QStringList{"shortcut settings"});

        // Bound, the page is done; refused, it says why.
        shortcut.set(QStringLiteral("Ctrl+Alt+Space"));
        QVERIFY(model->visualDone());
        shortcut.set({}, QStringLiteral("Refusé."));
        QVERIFY(model->text().startsWith(QStringLiteral("Refusé.")));
    }

    // What the window says of the shortcut on each Wayland desktop: bound by the portal, refused with or
    // without GNOME's keybindings at hand, or the program's GNOME keybinding. Never keys nothing binds.
    void windowTellsWhatTheDesktopShortcutIs_data()
    {
        QTest::addColumn<QString>("bound");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("gnome");
        QTest::addColumn<bool>("created");
        QTest::addColumn<QString>("keycap");
        QTest::addColumn<QString>("subtitle");
        QTest::addColumn<bool>("offers");

        const QString absent = QStringLiteral("Ce bureau ne prête pas de raccourcis globaux.");
        QTest::newRow("portal") << "Ctrl+Alt+Space"
                                << "" << true << false << "Ctrl+Alt+Space"
                                << "Maintenez Ctrl+Alt+Space et parlez." << false;
        QTest::newRow("portal still binding") << ""
                                              << "" << true << false << "Ctrl+Alt+Espace"
                                              << "Maintenez Ctrl+Alt+Espace et parlez." << false;
        QTest::newRow("GNOME without a keybinding")
            << "" << absent << true << false << "Aucun raccourci"
            << "Pas encore de raccourci.\nCréez-le dans GNOME" << true;
        QTest::newRow("GNOME's keybinding") << "" << absent << true << true << "Alt+Super+Espace"
                                            << "Maintenez Alt+Super+Espace et parlez." << false;
        QTest::newRow("neither") << "" << absent << false << false << "Aucun raccourci"
                                 << "Pas encore de raccourci.\nDémarrez les dictées depuis l'icône" << false;
    }

    void windowTellsWhatTheDesktopShortcutIs()
    {
        QFETCH(QString, bound);
        QFETCH(QString, refusal);
        QFETCH(bool, gnome);
        QFETCH(bool, created);
        QTemporaryDir folder;
        FakeDesktop desktop(folder.path());
        FakeDesktopShortcut portal;
        FakeDesktopKeybinding keybinding;
        DesktopShortcutChoice choice(portal, keybinding);
        desktop.desktopShortcut = gnome ? static_cast<DesktopShortcut*>(&choice) : &portal;
        StagedCoordinator wayland(desktop, false);
        wayland.setAccessibilityGranted(true);
        wayland.setShortcut(KeyCombo{49, ModifierFlag::control | ModifierFlag::option, false});
        portal.set(bound, refusal);
        if (created)
            QCOMPARE(keybinding.create(), std::nullopt);

        auto model = window(&wayland, gnome ? &keybinding : nullptr);
        QTEST(model->keycapLabel(), "keycap");
        QFETCH(QString, subtitle);
        QVERIFY2(model->subtitle().startsWith(subtitle), qPrintable(model->subtitle()));
        QTEST(model->offersKeybinding(), "offers");
        QCOMPARE(model->hasKeybinding(), created);
        // The panel of what is missing lists the shortcut exactly when none works.
        QCOMPARE(model->showsPermissions(), !wayland.shortcutReady());
        QCOMPARE(wayland.shortcutReady(), !bound.isEmpty() || created);
        if (model->offersKeybinding())
            QVERIFY(model->shortcutDetail().contains(QStringLiteral("Alt+Super+Espace")));
    }

    // The walkthrough's shortcut page creates GNOME's keybinding (saying why when GNOME refuses), then
    // tells how it behaves (the window's buttons are clicked in the rendered views).
    void gnomeKeybindingIsCreatedFromTheWalkthroughAndRemovedFromTheWindow()
    {
        QTemporaryDir folder;
        FakeDesktop desktop(folder.path());
        FakeDesktopShortcut portal;
        FakeDesktopKeybinding keybinding;
        DesktopShortcutChoice choice(portal, keybinding);
        desktop.desktopShortcut = &choice;
        StagedCoordinator gnome(desktop, false);
        portal.set({}, QStringLiteral("Ce bureau ne prête pas de raccourcis globaux."));
        QVERIFY(gnome.shortcutProblem().contains(QStringLiteral("GNOME")));

        auto model = walkthrough(OnboardingModel::Shortcut, &gnome, &keybinding);
        QCOMPARE(model->primaryTitle(), "Créer le raccourci dans GNOME");
        QCOMPARE(model->secondary(), OnboardingModel::Later);
        QVERIFY(model->text().contains(QStringLiteral("Alt+Super+Espace")));
        keybinding.refusal = QStringLiteral("Verrouillé.");
        model->primaryAction();
        QCOMPARE(model->text(), "Verrouillé.");
        QCOMPARE(model->step(), OnboardingModel::Shortcut);
        keybinding.refusal.reset();
        model->primaryAction();
        QVERIFY(model->visualDone());
        QCOMPARE(model->primaryTitle(), "Continuer");
        QVERIFY(model->text().contains(QStringLiteral("relâchement")));
        QVERIFY(m_asked.isEmpty());
        QVERIFY(model->textFor(OnboardingModel::Done).contains(QStringLiteral("Alt+Super+Espace")));
        QVERIFY(!model->textFor(OnboardingModel::Done).contains(QStringLiteral("Annuler")));
        QCOMPARE(gnome.shortcutLabel(), "Alt+Super+Espace");
    }

    // Recommended from 4 cores and 8 GB, which the system reports as a little less than fitted.
    void recognitionRecommendationFollowsCoresAndMemory_data()
    {
        QTest::addColumn<int>("cores");
        QTest::addColumn<qint64>("memory");
        QTest::addColumn<QString>("expected");
        constexpr qint64 gib = qint64(1) << 30;
        const QString fast =
            QStringLiteral("Rapide conseillée\u00a0: Précise demande 4\u00a0cœurs et 8\u00a0Go de mémoire.");
        QTest::newRow("4 cores, 7.5 GiB: an 8 GB computer")
            << 4 << 15 * gib / 2
            << "Précise conseillée\u00a0: cet ordinateur a 4\u00a0cœurs et 8\u00a0Go de mémoire.";
        QTest::newRow("4 cores, just under 7.5 GiB") << 4 << 15 * gib / 2 - 1 << fast;
        QTest::newRow("3 cores, 16 GiB") << 3 << 16 * gib << fast;
    }

    void recognitionRecommendationFollowsCoresAndMemory()
    {
        QFETCH(int, cores);
        QFETCH(qint64, memory);
        QFETCH(QString, expected);
        m_staged = std::make_unique<StagedDesktop>(false, true);
        QCOMPARE(RecognitionModel(coordinator(), MachineResources{cores, memory}).recommendation(), expected);
    }

    // With "Précise" chosen and its model not in use yet, the window says that "Rapide" serves meanwhile,
    // with the download's progress and a way to stop it, or why it failed and a way to try again.
    void recognitionTellsWhatServesMeanwhile_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("stateText");
        QTest::addColumn<QString>("progressText");
        QTest::addColumn<bool>("canRetry");
        const auto row = [](const char* situation, const char* state, const char* progress, bool canRetry) {
            QTest::newRow(situation) << QString(situation) << QString::fromUtf8(state)
                                     << QString::fromUtf8(progress) << canRetry;
        };
        row("fast", "", "", false);
        row("installed", "", "", false);
        row("downloading", "Rapide sert pendant le téléchargement du modèle précis.",
            "Téléchargement du modèle précis… 42\u00a0%", false);
        row("called off", "Téléchargement annulé. Rapide sert en attendant.", "", true);
        row("load fails", "Modèle illisible. Rapide sert en attendant.", "", true);
        row("no library",
            "Précise est indisponible ici\u00a0: sa bibliothèque, sherpa-onnx, manque. Rapide sert à sa "
            "place.",
            "", false);
    }

    void recognitionTellsWhatServesMeanwhile()
    {
        QFETCH(QString, situation);
        QFETCH(QString, stateText);
        QFETCH(QString, progressText);
        QFETCH(bool, canRetry);
        m_staged = std::make_unique<StagedDesktop>(true, situation != "no library");
        auto download = std::make_shared<FakeInstallation>();
        if (FakeRecognizer* accurate = m_staged->desktop.accurate.get()) {
            if (situation == "downloading" || situation == "called off")
                accurate->installation = download;
            if (situation == "load fails")
                accurate->prepareError = RecognitionError{QStringLiteral("Modèle illisible.")};
        }
        auto model = window();
        RecognitionModel& recognition = *model->recognition();
        QSignalSpy changed(&recognition, &RecognitionModel::changed);
        recognition.setChoiceIndex(situation == "fast" ? 0 : 1);
        download->progress()->setFractionCompleted(0.429);
        if (situation == "called off")
            recognition.cancel();
        if (situation != "fast")
            QVERIFY(!changed.isEmpty());
        QCOMPARE(recognition.stateText(), stateText);
        QCOMPARE(recognition.showsProgress(), !progressText.isEmpty());
        QCOMPARE(recognition.progressText(), progressText);
        QCOMPARE(recognition.canRetry(), canRetry);
        if (canRetry) {
            m_staged->desktop.accurate->prepareError.reset();
            recognition.retry();
            QVERIFY(coordinator().accurateInUse());
            QCOMPARE(recognition.stateText(), QString());
        }
        // A download left running would keep its attempt, and the recogniser, to the end of the run.
        download->end();
    }

    void microphonePage_data()
    {
        QTest::addColumn<bool>("authorized");
        QTest::addColumn<bool>("answer");

        QTest::newRow("already given") << true << false;
        QTest::newRow("granted when asked") << false << true;
        QTest::newRow("refused") << false << false;
    }

    void microphonePage()
    {
        QFETCH(bool, authorized);
        QFETCH(bool, answer);
        m_micAuthorized = authorized;
        m_micAnswer = answer;
        auto model = walkthrough(OnboardingModel::Microphone);
        // Already given: nothing to put off.
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

    void finalPageTurnsLaunchAtLoginOnOnce()
    {
        auto model = walkthrough(OnboardingModel::Practice);
        model->primaryAction();
        QCOMPARE(model->step(), OnboardingModel::Done);
        QVERIFY(coordinator().launchAtLogin());
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
