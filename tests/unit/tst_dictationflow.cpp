// SPDX-License-Identifier: GPL-3.0-or-later
// One dictation from the shortcut to the delivered text, on fakes of the desktop: the exact texts,
// orders and time limits. The random sequences of tst_dictationproperties cover the rest.
#include "FakeDesktop.h"
#include "input/GlobalHotkeys.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

const RunningApplication editor{QStringLiteral("Gedit"), QStringLiteral("gedit"), 42, 7};
constexpr quint32 speakers = 1;

QString clipboardText(const FakePasteboard& pasteboard)
{
    for (const PasteboardItem& item : pasteboard.content) {
        for (const auto& [type, bytes] : item.data) {
            if (type == QLatin1String("text/plain"))
                return QString::fromUtf8(bytes);
        }
    }
    return {};
}

} // namespace

class TestDictationFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<AppCoordinator> m_coordinator;

    FakeDesktop& desktop() { return *m_desktop; }
    AppCoordinator& app() { return *m_coordinator; }
    FakeAnalyzer& analyzer() { return desktop().recognizer->lastAnalyzer(); }
    int endSounds() { return int(desktop().endSoundLog.count(QStringLiteral("play"))); }
    int pastes() { return int(desktop().keySynth.posted.size()); }
    bool outputMuted() { return desktop().mixer.mute[speakers]; }

    void build() { m_coordinator = std::make_unique<AppCoordinator>(desktop().services(), true); }

    // Presses the shortcut; the dictation, if one starts, will give `text`.
    void press(const QString& text = QStringLiteral("bonjour"))
    {
        app().shortcutPressed();
        if (app().isRecording())
            analyzer().readingsOnFinalize = {{text, true}};
    }

    // Queued calls run (levels, notices), and time passes for the coordinator and the media queue.
    void advance(double seconds)
    {
        QCoreApplication::sendPostedEvents();
        desktop().clock.advance(Seconds(seconds));
        desktop().mediaQueue.advance(Seconds(seconds));
        QCoreApplication::sendPostedEvents();
    }

    void releaseAfter(double seconds)
    {
        advance(seconds);
        app().shortcutReleased();
        advance(0);
    }

    static AudioBufferPtr loudBuffer()
    {
        auto buffer = std::make_shared<AudioBuffer>(AudioFormat{48000, 1}, 2048);
        buffer->setFrameLength(2048);
        std::fill_n(buffer->samples(), 2048, 0.02f); // level 0.4
        return buffer;
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("history.json")));
        QFile::remove(m_dir.filePath(QStringLiteral("settings.json")));
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        desktop().workspace.frontmost = editor;
        desktop().focusedElement.facts = FocusedElementFacts{QStringLiteral("text"), true};
        desktop().mixer.defaultDevice = speakers;
        desktop().mixer.mute[speakers] = false;
        build();
        QVERIFY(app().engine().readyFormat(Language::fr));
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_desktop.reset();
    }

    void heldDictationIsPastedCountedAndRemembered()
    {
        press(QStringLiteral(" bonjour  le monde "));
        QCOMPARE(app().status(), RecordingStatus::recording());
        QVERIFY(app().hotkeys()->capturesEscape());
        QCOMPARE(desktop().startSoundLog, QStringList({QStringLiteral("stop"), QStringLiteral("play")}));

        releaseAfter(1.5);
        QVERIFY(!app().hotkeys()->capturesEscape());
        QCOMPARE(app().status(), RecordingStatus::inserted(3));
        QCOMPARE(pastes(), 1);
        QCOMPARE(app().history().first().text, QStringLiteral("bonjour le monde"));
        QCOMPARE(endSounds(), 1);
    }

    void gestureDecidesHowTheDictationGoesOn_data()
    {
        QTest::addColumn<double>("held");
        QTest::addColumn<QString>("key");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<bool>("cancelled");

        QTest::newRow("a tap shorter than 0.3 s keeps recording hands-free")
            << 0.299 << QString() << true << false;
        QTest::newRow("a release at 0.3 s finishes") << 0.3 << QString() << false << false;
        QTest::newRow("another key during the hold abandons")
            << 1.0 << QStringLiteral("other during") << false << true;
        QTest::newRow("escape during the hold abandons")
            << 1.0 << QStringLiteral("escape during") << false << true;
        QTest::newRow("typing during a hands-free dictation is ignored")
            << 0.1 << QStringLiteral("other after") << true << false;
        QTest::newRow("escape ends a hands-free dictation too")
            << 0.1 << QStringLiteral("escape after") << false << true;
    }

    void gestureDecidesHowTheDictationGoesOn()
    {
        QFETCH(double, held);
        QFETCH(QString, key);
        QFETCH(bool, recording);
        QFETCH(bool, cancelled);

        press();
        if (key == QLatin1String("other during"))
            app().otherKeyPressed();
        if (key == QLatin1String("escape during"))
            app().escapePressed();
        releaseAfter(held);
        if (key == QLatin1String("other after"))
            app().otherKeyPressed();
        if (key == QLatin1String("escape after"))
            app().escapePressed();

        QCOMPARE(app().isRecording(), recording);
        QCOMPARE(app().handsFree(), recording);
        QCOMPARE(analyzer().cancelCalls, cancelled ? 1 : 0);
        QCOMPARE(app().history().size(), !recording && !cancelled ? 1 : 0);
        QCOMPARE(endSounds(), !recording && !cancelled ? 1 : 0);
        if (cancelled)
            QCOMPARE(app().status(), RecordingStatus::idle());
    }

    void nextPressFinishesAHandsFreeDictationAndItsReleaseDoesNothing()
    {
        press();
        releaseAfter(0.1);
        advance(5);
        app().shortcutPressed();
        QVERIFY(!app().isRecording());
        releaseAfter(0.1);
        QVERIFY(!app().isRecording());
        QCOMPARE(pastes(), 1);

        app().toggle(); // the menu starts hands-free, and finishes
        QVERIFY(app().handsFree());
        app().toggle();
        QVERIFY(!app().isRecording());
    }

    void pressThatCannotRecordSaysWhy_data()
    {
        QTest::addColumn<std::function<void(FakeDesktop&)>>("arrange");
        QTest::addColumn<RecordingStatus>("status");

        QTest::newRow("microphone refused") << std::function<void(FakeDesktop&)>([](FakeDesktop& d) {
            d.microphone = MicrophoneAuthorization::Denied;
        }) << RecordingStatus::message(QStringLiteral("Micro refusé : autorisez-le dans Parlune"));
        QTest::newRow("language not ready")
            << std::function<void(FakeDesktop&)>([](FakeDesktop& d) { d.recognizer->holdLoads = true; })
            << RecordingStatus::preparing(QStringLiteral("Préparation : Français…"));
        QTest::newRow("microphone that fails to start")
            << std::function<void(FakeDesktop&)>([](FakeDesktop& d) {
                   d.audio.configure = [](FakeAudioInput& input) {
                       input.startErrors[1] =
                           Error{QStringLiteral("Parlune.PulseAudio"), 1, QStringLiteral("Pas de son.")};
                   };
               })
            << RecordingStatus::message(QStringLiteral("Pas de son."));
    }

    void pressThatCannotRecordSaysWhy()
    {
        QFETCH(std::function<void(FakeDesktop&)>, arrange);
        QFETCH(RecordingStatus, status);
        m_coordinator.reset();
        arrange(desktop());
        build();

        press();
        QVERIFY(!app().isRecording());
        QCOMPARE(app().status(), status);
        QVERIFY(desktop().startSoundLog.isEmpty());
        releaseAfter(1);
        QVERIFY(!app().isRecording());

        // Once the cause is gone, the next press records.
        desktop().microphone = MicrophoneAuthorization::Authorized;
        desktop().audio.configure = [](FakeAudioInput&) {};
        desktop().recognizer->releaseLoads();
        press();
        QVERIFY(app().isRecording());
    }

    void outcomeDependsOnAccessAndTheFocusedField_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<std::optional<FocusedElementFacts>>("focus");
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<int>("pastes");

        const auto field = FocusedElementFacts{QStringLiteral("entry"), true};
        const auto button = FocusedElementFacts{QStringLiteral("push button"), false};
        QTest::newRow("text field") << true << std::optional(field) << RecordingStatus::inserted(2) << 1;
        QTest::newRow("no answer counts as a field")
            << true << std::optional<FocusedElementFacts>() << RecordingStatus::inserted(2) << 1;
        QTest::newRow("not a text field")
            << true << std::optional(button)
            << RecordingStatus::message(
                   QStringLiteral("Aucun champ de texte actif : le texte est copié, collez-le avec ⌘V"))
            << 1;
        QTest::newRow("no input access")
            << false << std::optional(field)
            << RecordingStatus::message(QStringLiteral("Copié dans le presse-papier (Accessibilité requise)"))
            << 0;
    }

    void outcomeDependsOnAccessAndTheFocusedField()
    {
        QFETCH(bool, trusted);
        QFETCH(std::optional<FocusedElementFacts>, focus);
        QFETCH(RecordingStatus, status);
        QFETCH(int, pastes);
        desktop().inputAccess.trusted = trusted;
        desktop().focusedElement.facts = focus;
        desktop().pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("text/plain"), "avant"}}}});

        press(QStringLiteral("deux mots"));
        releaseAfter(1);
        QCOMPARE(app().status(), status);
        QCOMPARE(this->pastes(), pastes);
        QCOMPARE(clipboardText(desktop().pasteboard), QStringLiteral("deux mots"));

        // Only a paste into a field gets the user's clipboard back, 0.6 s later.
        advance(0.6);
        const bool restored = trusted && (!focus || focus->editable);
        QCOMPARE(clipboardText(desktop().pasteboard),
                 restored ? QStringLiteral("avant") : QStringLiteral("deux mots"));
    }

    void targetComesBackOnlyWhenThisProgramTookTheFront_data()
    {
        QTest::addColumn<bool>("selfAtStart");
        QTest::newRow("our panel was clicked during the dictation") << false;
        QTest::newRow("this program was in front at the start") << true;
    }

    void targetComesBackOnlyWhenThisProgramTookTheFront()
    {
        QFETCH(bool, selfAtStart);
        FakeWorkspace& workspace = desktop().workspace;
        if (selfAtStart)
            workspace.frontmost = workspace.self;
        press();
        workspace.frontmost = workspace.self;
        releaseAfter(1);
        QCOMPARE(workspace.activated, selfAtStart ? std::vector<RunningApplication>() : std::vector{editor});
        // The application brought back gets 0.15 s to take the focus before the paste.
        QCOMPARE(pastes(), selfAtStart ? 1 : 0);
        advance(0.15);
        QCOMPARE(pastes(), 1);
    }

    void dictationLimits_data()
    {
        QTest::addColumn<bool>("handsFree");
        QTest::addColumn<double>("soundAt");
        QTest::addColumn<double>("limit");
        QTest::newRow("30 s of silence end a hands-free dictation") << true << 0.0 << 30.0;
        QTest::newRow("sound starts the 30 s again") << true << 20.0 << 50.0;
        QTest::newRow("a held dictation runs up to 600 s, silent or not") << false << 0.0 << 600.0;
    }

    void dictationLimits()
    {
        QFETCH(bool, handsFree);
        QFETCH(double, soundAt);
        QFETCH(double, limit);
        press();
        if (handsFree)
            releaseAfter(0.1);
        advance(soundAt);
        if (soundAt > 0)
            desktop().audio.last().deliver(loudBuffer());
        advance(limit - soundAt - 0.1);
        app().tick();
        QVERIFY(app().isRecording());
        advance(0.2);
        app().tick();
        QVERIFY(!app().isRecording());
        QCOMPARE(app().history().size(), 1); // what was said is still delivered
    }

    void levelQueuedBeforeTheStopLeavesTheMeterAtZero()
    {
        press();
        desktop().audio.last().deliver(loudBuffer());
        app().escapePressed();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(app().audioLevel(), 0.0f);
    }

    void watchTimerInstallsTheKeyboardTapOnceAccessIsGranted()
    {
        m_coordinator.reset();
        desktop().inputAccess.trusted = false;
        desktop().keyboardTap.refuses = true;
        build();
        QVERIFY(!app().hotkeys()->tap());

        desktop().inputAccess.trusted = true;
        desktop().keyboardTap.refuses = false;
        app().tick();
        QVERIFY(app().accessibilityGranted());
        QVERIFY(app().hotkeys()->tap());
        desktop().keyboardTap.setEnabled(false);
        app().tick();
        QVERIFY(desktop().keyboardTap.isEnabled());
    }

    void outputIsMutedOnceTheStartSoundIsOver_data()
    {
        QTest::addColumn<bool>("sounds");
        QTest::newRow("sounds on: 0.3 s after the start") << true;
        QTest::newRow("sounds off: at once") << false;
    }

    void outputIsMutedOnceTheStartSoundIsOver()
    {
        QFETCH(bool, sounds);
        app().setSoundsEnabled(sounds);
        app().setMuteWhileRecording(true);
        press();
        advance(sounds ? 0.29 : 0);
        QCOMPARE(outputMuted(), !sounds);
        advance(0.01);
        QVERIFY(outputMuted());
        advance(0.3);
        app().shortcutReleased();
        QVERIFY(outputMuted());
        QCOMPARE(endSounds(), 0);
        advance(0);
        QVERIFY(!outputMuted());
        QCOMPARE(endSounds(), sounds ? 1 : 0);
    }
};

QTEST_GUILESS_MAIN(TestDictationFlow)
#include "tst_dictationflow.moc"
