// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDesktop.h"
#include "app/AppCoordinator.h"
#include "input/GlobalHotkeys.h"
#include "speech/SpeechEngine.h"

#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

const RunningApplication editor{QStringLiteral("Gedit"), QStringLiteral("gedit"), 42, 7};

QString pastedText(const FakePasteboard& pasteboard)
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

// One dictation from the shortcut to the delivered text, on fakes of the desktop.
class TestDictationFlow : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<AppCoordinator> m_coordinator;

    FakeClock& clock() { return m_desktop->clock; }
    AppCoordinator& coordinator() { return *m_coordinator; }

    // The analyser of the dictation that is recording.
    FakeAnalyzer& analyzer() { return m_desktop->recognizer->lastAnalyzer(); }

    void build() { m_coordinator = std::make_unique<AppCoordinator>(m_desktop->services(), true); }

    // Presses the shortcut and holds it; the final reading the recogniser will give is `text`.
    void press(const QString& text = QStringLiteral("bonjour"))
    {
        coordinator().shortcutPressed();
        if (coordinator().isRecording())
            analyzer().readingsOnFinalize = {{text, true}};
    }

    void releaseAfter(double seconds)
    {
        clock().advance(Seconds(seconds));
        coordinator().shortcutReleased();
    }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("history.json")));
        QFile::remove(m_dir.filePath(QStringLiteral("settings.json")));
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        m_desktop->workspace.frontmost = editor;
        m_desktop->focusedElement.facts = FocusedElementFacts{QStringLiteral("text"), true};
        build();
        QVERIFY(coordinator().engine().readyFormat(Language::fr));
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_desktop.reset();
    }

    void heldDictationIsPastedCountedAndRemembered()
    {
        press(QStringLiteral(" bonjour  le monde "));
        QCOMPARE(coordinator().status(), RecordingStatus::recording());
        QVERIFY(coordinator().hotkeys()->capturesEscape());
        QCOMPARE(m_desktop->startSoundLog, QStringList({QStringLiteral("stop"), QStringLiteral("play")}));

        releaseAfter(1.5);
        QVERIFY(!coordinator().isRecording());
        QVERIFY(!coordinator().hotkeys()->capturesEscape());
        QCOMPARE(coordinator().status(), RecordingStatus::inserted(3));
        QCOMPARE(m_desktop->keySynth.posted.size(), 1u);
        QCOMPARE(coordinator().history().size(), 1);
        QCOMPARE(coordinator().history().first().text, QStringLiteral("bonjour le monde"));
        QVERIFY(coordinator().lastLatency());

        clock().advance(Seconds(0.9));
        QCOMPARE(coordinator().status(), RecordingStatus::idle());
    }

    void tapRecordsHandsFreeUntilTheNextPress()
    {
        press();
        releaseAfter(0.2);
        QVERIFY(coordinator().isRecording());
        QVERIFY(coordinator().handsFree());

        clock().advance(Seconds(5));
        coordinator().shortcutPressed();
        QVERIFY(!coordinator().isRecording());
        QVERIFY(!coordinator().handsFree());
        releaseAfter(0.5); // the release of the finishing press does nothing
        QCOMPARE(m_desktop->keySynth.posted.size(), 1u);
        QCOMPARE(coordinator().history().size(), 1);
    }

    void abandonedDictationDeliversNothing_data()
    {
        QTest::addColumn<bool>("byEscape");
        QTest::newRow("escape") << true;
        QTest::newRow("another key during the hold") << false;
    }

    void abandonedDictationDeliversNothing()
    {
        QFETCH(bool, byEscape);
        press();
        clock().advance(Seconds(0.5));
        if (byEscape)
            coordinator().escapePressed();
        else
            coordinator().otherKeyPressed();
        QCOMPARE(coordinator().status(), RecordingStatus::idle());
        QCOMPARE(analyzer().cancelCalls, 1);
        releaseAfter(0.5);
        QCOMPARE(analyzer().finalizeCalls, 0);
        QVERIFY(m_desktop->endSoundLog.isEmpty());
        QVERIFY(coordinator().history().isEmpty());
    }

    void refusedMicrophoneShowsWhyAndLeavesTheReleaseWithoutEffect()
    {
        m_desktop->microphone = MicrophoneAuthorization::Denied;
        press();
        QVERIFY(!coordinator().isRecording());
        QCOMPARE(coordinator().status(),
                 RecordingStatus::message(QStringLiteral("Micro refusé : autorisez-le dans Parlune")));
        releaseAfter(1);
        QVERIFY(!coordinator().isRecording());
        QVERIFY(m_desktop->audio.made.empty());
    }

    void unpreparedLanguageShowsThePreparationInsteadOfRecording()
    {
        m_coordinator.reset();
        m_desktop->recognizer->holdLoads = true;
        build();
        press();
        QVERIFY(!coordinator().isRecording());
        QCOMPARE(coordinator().status(),
                 RecordingStatus::preparing(QStringLiteral("Préparation : Français…")));
        m_desktop->recognizer->releaseLoads();
        QCOMPARE(coordinator().status(), RecordingStatus::idle());
        releaseAfter(1);
        QVERIFY(!coordinator().isRecording());
        press();
        QVERIFY(coordinator().isRecording());
    }

    void microphoneThatFailsToStartShowsItsError()
    {
        m_desktop->audio.configure = [](FakeAudioInput& input) {
            input.startErrors[1] =
                Error{QStringLiteral("Parlune.PulseAudio"), 1, QStringLiteral("Pas de son.")};
        };
        press();
        QVERIFY(!coordinator().isRecording());
        QCOMPARE(coordinator().status(), RecordingStatus::message(QStringLiteral("Pas de son.")));
        QVERIFY(m_desktop->startSoundLog.isEmpty());
        QCOMPARE(analyzer().cancelCalls, 1);
    }

    void deliveriesFollowTheOrderOfTheDictations()
    {
        press(QStringLiteral("premier"));
        analyzer().holdFinalize = true;
        FakeAnalyzer& slow = analyzer();
        releaseAfter(1);
        press(QStringLiteral("second"));
        releaseAfter(1);
        QVERIFY2(coordinator().history().isEmpty(), "the second text waits for the first");

        slow.releaseFinalize();
        QCOMPARE(coordinator().history().size(), 2);
        QCOMPARE(coordinator().history().at(0).text, QStringLiteral("second"));
        QCOMPARE(coordinator().history().at(1).text, QStringLiteral("premier"));
        QCOMPARE(coordinator().status(), RecordingStatus::inserted(1));
    }

    void deliveryDuringANewDictationSparesItsStatus()
    {
        press(QStringLiteral("premier texte"));
        analyzer().holdFinalize = true;
        FakeAnalyzer& slow = analyzer();
        releaseAfter(1);
        press();
        slow.releaseFinalize();
        QCOMPARE(coordinator().history().size(), 1);
        QCOMPARE(m_desktop->keySynth.posted.size(), 1u);
        QCOMPARE(coordinator().status(), RecordingStatus::recording());
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
        m_desktop->inputAccess.trusted = trusted;
        m_desktop->focusedElement.facts = focus;
        m_desktop->pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("text/plain"), "avant"}}}});

        press(QStringLiteral("deux mots"));
        releaseAfter(1);
        QCOMPARE(coordinator().status(), status);
        QCOMPARE(int(m_desktop->keySynth.posted.size()), pastes);
        QCOMPARE(pastedText(m_desktop->pasteboard), QStringLiteral("deux mots"));
        QCOMPARE(coordinator().history().size(), 1);

        // Only a paste into a field gets the user's clipboard back.
        clock().advance(Seconds(0.6));
        const bool restored = trusted && (!focus || focus->editable);
        QCOMPARE(pastedText(m_desktop->pasteboard),
                 restored ? QStringLiteral("avant") : QStringLiteral("deux mots"));
    }

    void emptyTextChangesNothing()
    {
        press(QString());
        releaseAfter(1);
        QCOMPARE(coordinator().status(), RecordingStatus::idle());
        QVERIFY(coordinator().history().isEmpty());
        QVERIFY(m_desktop->keySynth.posted.empty());
    }

    void targetIsBroughtBackWhenThisProgramTookTheFront()
    {
        press();
        m_desktop->workspace.frontmost = m_desktop->workspace.self; // the user clicked our panel
        releaseAfter(1);
        QCOMPARE(m_desktop->workspace.activated.size(), 1u);
        QCOMPARE(m_desktop->workspace.activated.front(), editor);
        QVERIFY2(m_desktop->keySynth.posted.empty(), "the paste waits for the application to take the focus");
        clock().advance(Seconds(0.15));
        QCOMPARE(m_desktop->keySynth.posted.size(), 1u);
    }

    void noTargetWhenThisProgramWasInFront()
    {
        m_desktop->workspace.frontmost = m_desktop->workspace.self;
        press();
        releaseAfter(1);
        QVERIFY(m_desktop->workspace.activated.empty());
        QCOMPARE(m_desktop->keySynth.posted.size(), 1u);
    }

    void previewsOfAFinishedDictationAreDropped()
    {
        press();
        FakeAnalyzer& first = analyzer();
        first.deliver(QStringLiteral("bon"), false);
        QCOMPARE(coordinator().livePreview(), QStringLiteral("bon"));
        first.holdFinalize = true;
        releaseAfter(1);
        QVERIFY(coordinator().livePreview().isEmpty());
        first.deliver(QStringLiteral("bonjour"), false);
        QVERIFY(coordinator().livePreview().isEmpty());
        first.releaseFinalize();
    }

    void silenceEndsOnlyHandsFreeDictations()
    {
        press();
        releaseAfter(0.1); // hands-free
        clock().advance(Seconds(29.9));
        coordinator().tick();
        QVERIFY(coordinator().isRecording());
        clock().advance(Seconds(0.2));
        coordinator().tick();
        QVERIFY(!coordinator().isRecording());
        QCOMPARE(coordinator().history().size(), 1);

        press(); // held, silent
        clock().advance(Seconds(60));
        coordinator().tick();
        QVERIFY(coordinator().isRecording());
    }

    void soundKeepsAHandsFreeDictationGoing()
    {
        press();
        releaseAfter(0.1);
        auto buffer = std::make_shared<AudioBuffer>(AudioFormat{48000, 1}, 2048);
        buffer->setFrameLength(2048);
        std::fill_n(buffer->samples(), 2048, 0.02f); // level 0.4
        clock().advance(Seconds(20));
        m_desktop->audio.last().deliver(buffer);
        QTRY_VERIFY(coordinator().audioLevel() > 0.3f);
        clock().advance(Seconds(20));
        coordinator().tick();
        QVERIFY(coordinator().isRecording());
    }

    void tenMinutesEndEvenAHeldDictation()
    {
        press();
        clock().advance(Seconds(600));
        coordinator().tick();
        QVERIFY(coordinator().isRecording());
        clock().advance(Seconds(0.5));
        coordinator().tick();
        QVERIFY(!coordinator().isRecording());
        releaseAfter(1); // the key finally comes up: nothing more happens
        QCOMPARE(coordinator().history().size(), 1);
    }

    void watchTimerInstallsTheKeyboardTapOnceAccessIsGranted()
    {
        m_coordinator.reset();
        m_desktop->inputAccess.trusted = false;
        m_desktop->keyboardTap.refuses = true;
        build();
        QVERIFY(!coordinator().accessibilityGranted());
        QVERIFY(!coordinator().hotkeys()->tap());

        m_desktop->inputAccess.trusted = true;
        m_desktop->keyboardTap.refuses = false;
        coordinator().tick();
        QVERIFY(coordinator().accessibilityGranted());
        QVERIFY(coordinator().hotkeys()->tap());

        m_desktop->keyboardTap.setEnabled(false);
        coordinator().tick();
        QVERIFY(m_desktop->keyboardTap.isEnabled());
    }

    void menuStartAndStop()
    {
        coordinator().toggle();
        QVERIFY(coordinator().isRecording());
        QVERIFY(coordinator().handsFree());
        analyzer().readingsOnFinalize = {{QStringLiteral("menu"), true}};
        coordinator().toggle();
        QVERIFY(!coordinator().isRecording());
        QCOMPARE(coordinator().history().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestDictationFlow)
#include "tst_dictationflow.moc"
