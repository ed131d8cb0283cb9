// SPDX-License-Identifier: GPL-3.0-or-later
// The dictation flow under any order of events: the user's keys and the menu, a microphone that
// changes or disappears, transcriptions that come back late, fail or bring nothing, and time. Whatever
// happens, the published state stays consistent and the texts reach the user in the order dictated.
// Also the sounds and the muting around one dictation, and a microphone lost during a hands-free one.
#include "FakeDesktop.h"
#include "app/AppCoordinator.h"
#include "audio/AudioRecorder.h"
#include "speech/SpeechEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

const RunningApplication editor{QStringLiteral("Gedit"), QStringLiteral("gedit"), 42, 7};
const RunningApplication terminal{QStringLiteral("Terminal"), QStringLiteral("terminal"), 43, 8};

// The output the coordinator mutes while the user dictates.
constexpr quint32 speakers = 1;

// Sequences of random events, each on a new coordinator. The seed of a failing sequence is printed;
// PARLUNE_PROPERTY_SEED replays it first.
constexpr quint32 defaultSeed = 20261205;
constexpr int sequenceCount = 500;
constexpr int stepsPerSequence = 40;

// Lets what the main thread has queued happen: configuration notices, levels, the end sound.
void runQueuedEvents()
{
    QCoreApplication::sendPostedEvents();
}

AudioBufferPtr bufferOfAmplitude(float amplitude)
{
    auto buffer = std::make_shared<AudioBuffer>(AudioFormat{48000, 1}, 2048);
    buffer->setFrameLength(2048);
    std::fill_n(buffer->samples(), 2048, amplitude);
    return buffer;
}

int plays(const QStringList& soundLog)
{
    return int(soundLog.count(QStringLiteral("play")));
}

// The floating panel, noting when it was last shown: a short-lived status falls back to idle a fixed
// time after the panel was last asked to show it.
class TimedHud final : public HudPresenter
{
public:
    TimedHud(FakeHud::State& state, const Clock& clock, Clock::Instant& shownAt)
        : m_hud(state)
        , m_clock(clock)
        , m_shownAt(shownAt)
    {}

    void show() override
    {
        m_hud.show();
        m_shownAt = m_clock.now();
    }
    void hide() override { m_hud.hide(); }

private:
    FakeHud m_hud;
    const Clock& m_clock;
    Clock::Instant& m_shownAt;
};

// One random sequence of events on a fresh coordinator, with what each dictation is going to give.
class RandomUse
{
public:
    RandomUse(const QString& folder, quint32 seed)
        : m_desktop(folder)
        , m_random(seed)
    {
        QFile::remove(folder + QStringLiteral("/history.json"));
        QFile::remove(folder + QStringLiteral("/settings.json"));
        m_desktop.workspace.frontmost = editor;
        m_desktop.focusedElement.facts = FocusedElementFacts{QStringLiteral("entry"), true};
        m_desktop.mixer.defaultDevice = speakers;
        m_desktop.mixer.mute[speakers] = false;
        AppCoordinatorServices services = m_desktop.services();
        services.makeHud = [this](AppCoordinator&) {
            return std::make_unique<TimedHud>(m_desktop.hud, m_desktop.clock, m_shownAt);
        };
        m_coordinator = std::make_unique<AppCoordinator>(std::move(services), true);
        m_coordinator->setSoundsEnabled(m_random.bounded(4) != 0);
        m_coordinator->setMuteWhileRecording(m_random.bounded(2) != 0);
        m_knownAnalyzers = m_desktop.recognizer->analyzers.size();
        m_startedAt = m_lastLoudAt = m_nextTick = m_desktop.clock.now();
        m_nextTick += std::chrono::seconds(2);
        m_log << QStringLiteral("sounds %1, mute %2")
                     .arg(m_coordinator->soundsEnabled())
                     .arg(m_coordinator->muteWhileRecording());
    }

    ~RandomUse()
    {
        // The coordinator goes before the desktop it works with.
        m_coordinator.reset();
    }

    // Plays `steps` random events, then lets every transcription end; returns the first broken rule,
    // or nothing when every rule held after every step.
    QString play(int steps)
    {
        for (int step = 0; step < steps; ++step) {
            randomEvent();
            if (QString broken = afterEvent(); !broken.isEmpty())
                return broken;
        }
        return settle();
    }

    const QStringList& log() const { return m_log; }

private:
    enum class Ending { text, nothing, failure };

    struct Dictation
    {
        FakeAnalyzer* analyzer;
        QString text;
        Ending ending;
        Clock::Instant startedAt;
    };

    AppCoordinator& coordinator() { return *m_coordinator; }
    Clock::Instant now() const { return m_desktop.clock.now(); }

    void randomEvent()
    {
        const int roll = int(m_random.bounded(100));
        if (roll < 14) {
            m_log << QStringLiteral("press");
            coordinator().shortcutPressed();
        } else if (roll < 28) {
            m_log << QStringLiteral("release");
            coordinator().shortcutReleased();
        } else if (roll < 32) {
            m_log << QStringLiteral("other key");
            coordinator().otherKeyPressed();
        } else if (roll < 35) {
            m_log << QStringLiteral("escape");
            coordinator().escapePressed();
        } else if (roll < 41) {
            m_log << QStringLiteral("toggle");
            coordinator().toggle();
        } else if (roll < 48) {
            microphoneTrouble();
        } else if (roll < 56) {
            transcriptionReturns();
        } else if (roll < 61) {
            preview();
        } else if (roll < 67) {
            sound();
        } else if (roll < 70) {
            frontChanges();
        } else {
            timePasses();
        }
        runQueuedEvents();
        // The media queue does its work as soon as it is asked.
        m_desktop.mediaQueue.advance(Seconds(0));
        runQueuedEvents();
    }

    void microphoneTrouble()
    {
        if (m_desktop.audio.made.empty())
            return;
        FakeAudioInput& input = m_desktop.audio.last();
        switch (m_random.bounded(4)) {
        case 0:
            m_log << QStringLiteral("configuration change");
            break;
        case 1:
            m_log << QStringLiteral("microphone unplugged");
            input.format = AudioFormat{0, 0};
            break;
        case 2:
            m_log << QStringLiteral("restart refused");
            input.startErrors[input.startCount + 1] = Error{
                QStringLiteral("Parlune.PulseAudio"), 3, QStringLiteral("Le serveur de son ne répond pas.")};
            break;
        default:
            m_log << QStringLiteral("configuration change, capture still running");
            input.changeConfiguration(false);
            return;
        }
        input.changeConfiguration();
        // Sometimes the user is quicker than the notice.
        if (m_random.bounded(3) == 0) {
            m_log << QStringLiteral("press before the notice");
            coordinator().shortcutPressed();
        }
    }

    void transcriptionReturns()
    {
        std::vector<FakeAnalyzer*> held;
        for (const Dictation& dictation : m_dictations) {
            if (dictation.analyzer->holdFinalize)
                held.push_back(dictation.analyzer);
        }
        if (held.empty())
            return;
        const qsizetype which = m_random.bounded(qsizetype(held.size()));
        m_log << QStringLiteral("transcription %1 returns").arg(indexOf(held[which]));
        held[which]->releaseFinalize();
    }

    void preview()
    {
        if (m_dictations.empty())
            return;
        // Mostly the dictation that records, sometimes a late one of an earlier dictation.
        const qsizetype which = m_random.bounded(3) == 0 ? m_random.bounded(qsizetype(m_dictations.size()))
                                                         : qsizetype(m_dictations.size()) - 1;
        m_log << QStringLiteral("preview of %1").arg(which);
        m_dictations[which].analyzer->deliver(QStringLiteral("aperçu %1").arg(which), false);
    }

    void sound()
    {
        if (m_desktop.audio.made.empty())
            return;
        const bool loud = m_random.bounded(2) == 0;
        m_log << (loud ? QStringLiteral("loud buffer") : QStringLiteral("quiet buffer"));
        // 0.02 measures 0.4, 0.002 measures 0.04: below what counts as sound.
        if (m_desktop.audio.last().deliver(bufferOfAmplitude(loud ? 0.02f : 0.002f)) && loud &&
            coordinator().isRecording())
            m_lastLoudAt = now();
    }

    void frontChanges()
    {
        const std::optional<RunningApplication> fronts[] = {editor, terminal, m_desktop.workspace.self,
                                                            std::nullopt};
        const auto which = m_random.bounded(4);
        m_log << QStringLiteral("front application %1").arg(which);
        m_desktop.workspace.frontmost = fronts[which];
    }

    // Moves time forward, calling the watch timer every 2 seconds as the real one would.
    void timePasses()
    {
        const int kind = int(m_random.bounded(20));
        const double seconds = kind < 12   ? m_random.bounded(1.0)
                               : kind < 17 ? m_random.bounded(5.0)
                               : kind < 19 ? 20 + m_random.bounded(20.0)
                                           : 600 + m_random.bounded(10.0);
        m_log << QStringLiteral("%1 s pass").arg(seconds, 0, 'f', 3);
        const Clock::Instant end =
            now() + std::chrono::duration_cast<Clock::Instant::duration>(Seconds(seconds));
        while (now() < end) {
            const Clock::Instant stop = std::min(end, m_nextTick);
            const Seconds step = stop - now();
            m_desktop.clock.advance(step);
            m_desktop.mediaQueue.advance(step);
            runQueuedEvents();
            if (now() >= m_nextTick) {
                m_nextTick += std::chrono::seconds(2);
                coordinator().tick();
                runQueuedEvents();
            }
        }
    }

    qsizetype indexOf(const FakeAnalyzer* analyzer) const
    {
        for (qsizetype i = 0; i < qsizetype(m_dictations.size()); ++i) {
            if (m_dictations[i].analyzer == analyzer)
                return i;
        }
        return -1;
    }

    // What the dictation that just started will give when it is finished.
    void dictationStarted()
    {
        FakeAnalyzer& analyzer = m_desktop.recognizer->lastAnalyzer();
        Dictation dictation{&analyzer, {}, Ending::text, now()};
        const int roll = int(m_random.bounded(10));
        if (roll < 6) {
            dictation.text = QStringLiteral("phrase %1").arg(m_dictations.size());
            analyzer.readingsOnFinalize = {{QStringLiteral("fra"), false}, {dictation.text, true}};
        } else if (roll < 8) {
            dictation.ending = Ending::nothing;
            analyzer.readingsOnFinalize = {{QStringLiteral("euh"), false}};
        } else {
            dictation.ending = Ending::failure;
            analyzer.finalizeError = RecognitionError{QStringLiteral("La transcription a échoué.")};
        }
        analyzer.holdFinalize = m_random.bounded(5) < 2;
        m_lastLoudAt = now();
        m_log << QStringLiteral("  dictation %1 records").arg(m_dictations.size());
        m_dictations.push_back(dictation);
        m_recording = m_dictations.size() - 1;
    }

    // Follows the dictations that ended and began, then checks every rule.
    QString afterEvent()
    {
        if (m_recording) {
            const Dictation& dictation = m_dictations[*m_recording];
            if (dictation.analyzer->finalizeCalls > 0) {
                m_log << QStringLiteral("  dictation %1 finished").arg(*m_recording);
                m_finished.push_back(*m_recording);
                m_recording.reset();
            } else if (dictation.analyzer->cancelCalls > 0) {
                m_log << QStringLiteral("  dictation %1 cancelled").arg(*m_recording);
                m_recording.reset();
            } else if (!coordinator().isRecording()) {
                return QStringLiteral("a dictation stopped without being finished or cancelled");
            }
        }
        const std::size_t analyzers = m_desktop.recognizer->analyzers.size();
        if (analyzers != m_knownAnalyzers) {
            m_knownAnalyzers = analyzers;
            if (coordinator().isRecording())
                dictationStarted();
        }
        if (coordinator().isRecording() && !m_recording)
            return QStringLiteral("recording without a session");
        return brokenRule();
    }

    QString brokenRule()
    {
        AppCoordinator& app = coordinator();
        const bool recording = app.isRecording();
        if (app.handsFree() && !recording)
            return QStringLiteral("hands-free while nothing records");
        if (!recording && !app.livePreview().isEmpty())
            return QStringLiteral("a live preview while nothing records");

        for (std::size_t i = 0; i < m_desktop.audio.made.size(); ++i) {
            const bool current = i + 1 == m_desktop.audio.made.size();
            if (m_desktop.audio.made[i]->isRunning() && !(current && recording))
                return QStringLiteral("the microphone runs while nothing records");
        }
        if (recording && !m_desktop.audio.last().isRunning())
            return QStringLiteral("recording with the microphone stopped");

        const bool shown = app.status().kind() != RecordingStatus::Idle;
        if (m_desktop.hud.visible != shown)
            return QStringLiteral("the panel is %1 while the status is %2")
                .arg(m_desktop.hud.visible ? QStringLiteral("shown") : QStringLiteral("hidden"))
                .arg(int(app.status().kind()));
        const double shownFor = secondsBetween(m_shownAt, now());
        if (app.status().kind() == RecordingStatus::Inserted &&
            shownFor > AppCoordinator::insertedDisplayDuration + 1e-6)
            return QStringLiteral("the words inserted still shown after %1 s").arg(shownFor);
        if (app.status().kind() == RecordingStatus::Message &&
            shownFor > AppCoordinator::messageDisplayDuration + 1e-6)
            return QStringLiteral("a message still shown after %1 s").arg(shownFor);

        // Deliveries: the texts so far are the first ones of the finished dictations, in order.
        QStringList expected;
        for (std::size_t index : m_finished) {
            if (m_dictations[index].ending == Ending::text)
                expected << m_dictations[index].text;
        }
        QStringList delivered;
        for (const TranscriptEntry& entry : app.history())
            delivered.prepend(entry.text);
        if (delivered != expected.mid(0, delivered.size()))
            return QStringLiteral("delivered [%1], expected the start of [%2]")
                .arg(delivered.join(QStringLiteral(", ")), expected.join(QStringLiteral(", ")));
        if (m_desktop.keySynth.posted.size() != std::size_t(delivered.size()))
            return QStringLiteral("%1 pastes for %2 texts delivered")
                .arg(m_desktop.keySynth.posted.size())
                .arg(delivered.size());

        if (recording) {
            const Dictation& dictation = m_dictations[*m_recording];
            const double length = secondsBetween(dictation.startedAt, now());
            // The watch timer ends long dictations within one period of their limit.
            if (length > AppCoordinator::maxRecordingDuration + 2 + 1e-6)
                return QStringLiteral("still recording after %1 s").arg(length);
            const double silence = secondsBetween(m_lastLoudAt, now());
            if (app.handsFree() && silence > AppCoordinator::handsFreeSilenceTimeout + 2 + 1e-6)
                return QStringLiteral("hands-free dictation still recording after %1 s of silence")
                    .arg(silence);
        }

        const bool muted = m_desktop.mixer.mute[speakers];
        const double muteDelay = app.soundsEnabled() ? 0.3 : 0.0;
        const bool shouldBeMuted = recording && app.muteWhileRecording() &&
                                   secondsBetween(m_dictations[*m_recording].startedAt, now()) >= muteDelay;
        if (muted && !recording)
            return QStringLiteral("the output stays muted after the dictation");
        if (shouldBeMuted && !muted)
            return QStringLiteral("the output is not muted while recording");
        return {};
    }

    // Ends what records, lets every transcription return and time pass; every text must then be
    // delivered, each finish heard once, and everything back to rest.
    QString settle()
    {
        m_log << QStringLiteral("settle");
        if (coordinator().isRecording())
            coordinator().toggle();
        for (const Dictation& dictation : m_dictations)
            dictation.analyzer->releaseFinalize();
        runQueuedEvents();
        m_desktop.mediaQueue.advance(Seconds(0));
        runQueuedEvents();
        if (QString broken = afterEvent(); !broken.isEmpty())
            return broken;
        for (int i = 0; i < 3; ++i) {
            m_desktop.clock.advance(Seconds(2));
            m_desktop.mediaQueue.advance(Seconds(2));
            runQueuedEvents();
        }
        if (QString broken = brokenRule(); !broken.isEmpty())
            return broken;

        qsizetype texts = 0;
        for (std::size_t index : m_finished)
            texts += m_dictations[index].ending == Ending::text ? 1 : 0;
        if (coordinator().history().size() != texts)
            return QStringLiteral("%1 texts delivered of %2").arg(coordinator().history().size()).arg(texts);
        if (coordinator().status() != RecordingStatus::idle() || m_desktop.hud.visible)
            return QStringLiteral("not back to idle");
        const bool sounds = coordinator().soundsEnabled();
        if (plays(m_desktop.startSoundLog) != (sounds ? int(m_dictations.size()) : 0))
            return QStringLiteral("%1 start sounds for %2 dictations")
                .arg(plays(m_desktop.startSoundLog))
                .arg(m_dictations.size());
        if (plays(m_desktop.endSoundLog) != (sounds ? int(m_finished.size()) : 0))
            return QStringLiteral("%1 end sounds for %2 finished dictations")
                .arg(plays(m_desktop.endSoundLog))
                .arg(m_finished.size());
        return {};
    }

    FakeDesktop m_desktop;
    std::unique_ptr<AppCoordinator> m_coordinator;
    QRandomGenerator m_random;
    QStringList m_log;

    std::vector<Dictation> m_dictations;
    // The dictation recording now, and the finished ones in the order they were finished.
    std::optional<std::size_t> m_recording;
    std::vector<std::size_t> m_finished;
    std::size_t m_knownAnalyzers = 0;
    Clock::Instant m_startedAt;
    Clock::Instant m_nextTick;
    Clock::Instant m_shownAt;
    Clock::Instant m_lastLoudAt;
};

} // namespace

class TestDictationProperties : public QObject
{
    Q_OBJECT

    // Every delivery writes the history file and syncs it: in memory, thousands of sequences stay quick.
    QTemporaryDir m_dir{QDir(QStringLiteral("/dev/shm")).exists()
                            ? QStringLiteral("/dev/shm/parlune-test-XXXXXX")
                            : QDir::tempPath() + QStringLiteral("/parlune-test-XXXXXX")};
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<AppCoordinator> m_coordinator;

    FakeClock& clock() { return m_desktop->clock; }
    AppCoordinator& coordinator() { return *m_coordinator; }

    // Time passes for the coordinator and for the media queue alike.
    void advance(double seconds)
    {
        clock().advance(Seconds(seconds));
        m_desktop->mediaQueue.advance(Seconds(seconds));
        runQueuedEvents();
    }

    bool outputMuted() { return m_desktop->mixer.mute[speakers]; }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("history.json")));
        QFile::remove(m_dir.filePath(QStringLiteral("settings.json")));
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        m_desktop->workspace.frontmost = editor;
        m_desktop->focusedElement.facts = FocusedElementFacts{QStringLiteral("entry"), true};
        m_desktop->mixer.defaultDevice = speakers;
        m_desktop->mixer.mute[speakers] = false;
        m_coordinator = std::make_unique<AppCoordinator>(m_desktop->services(), true);
        QVERIFY(coordinator().engine().readyFormat(Language::fr));
    }

    void cleanup()
    {
        m_coordinator.reset();
        m_desktop.reset();
    }

    void randomUseKeepsTheStateConsistent()
    {
        bool given = false;
        const quint32 seed = qEnvironmentVariableIntValue("PARLUNE_PROPERTY_SEED", &given);
        const quint32 first = given ? seed : defaultSeed;
        for (int i = 0; i < sequenceCount; ++i) {
            const quint32 sequenceSeed = first + quint32(i);
            RandomUse use(m_dir.path(), sequenceSeed);
            const QString broken = use.play(stepsPerSequence);
            if (!broken.isEmpty()) {
                QFAIL(qPrintable(QStringLiteral("%1\nafter: %2\nreplay with PARLUNE_PROPERTY_SEED=%3")
                                     .arg(broken, use.log().join(QStringLiteral("; ")))
                                     .arg(sequenceSeed)));
            }
        }
    }

    void muteWaitsForTheStartSoundOnly_data()
    {
        QTest::addColumn<bool>("sounds");
        QTest::addColumn<double>("delay");
        QTest::newRow("sounds on") << true << 0.3;
        QTest::newRow("sounds off") << false << 0.0;
    }

    void muteWaitsForTheStartSoundOnly()
    {
        QFETCH(bool, sounds);
        QFETCH(double, delay);
        coordinator().setSoundsEnabled(sounds);
        coordinator().setMuteWhileRecording(true);

        coordinator().shortcutPressed();
        QVERIFY(coordinator().isRecording());
        if (delay > 0) {
            advance(delay - 0.01);
            QVERIFY2(!outputMuted(), "the start sound is still playing");
            advance(0.02);
        } else {
            advance(0);
        }
        QVERIFY(outputMuted());

        coordinator().escapePressed();
        advance(0);
        QVERIFY(!outputMuted());
    }

    void dictationShorterThanTheMuteDelayLeavesTheOutputAlone()
    {
        coordinator().setMuteWhileRecording(true);
        coordinator().shortcutPressed();
        advance(0.1);
        coordinator().escapePressed();
        advance(1);
        QVERIFY(!outputMuted());
        QCOMPARE(m_desktop->mixer.writes.size(), 0u);
    }

    void onlyAFinishedDictationSoundsItsEnd_data()
    {
        QTest::addColumn<bool>("mute");
        QTest::newRow("output left alone") << false;
        QTest::newRow("output muted while recording") << true;
    }

    void onlyAFinishedDictationSoundsItsEnd()
    {
        QFETCH(bool, mute);
        coordinator().setMuteWhileRecording(mute);

        coordinator().shortcutPressed();
        advance(1);
        coordinator().escapePressed();
        advance(1);
        QCOMPARE(plays(m_desktop->endSoundLog), 0);

        coordinator().shortcutPressed();
        m_desktop->recognizer->lastAnalyzer().readingsOnFinalize = {{QStringLiteral("fin"), true}};
        advance(1);
        coordinator().shortcutReleased();
        runQueuedEvents();
        if (mute) {
            QVERIFY2(outputMuted(), "restoring the output is the media queue's work");
            QCOMPARE(plays(m_desktop->endSoundLog), 0);
        }
        advance(0);
        QVERIFY(!outputMuted());
        QCOMPARE(plays(m_desktop->endSoundLog), 1);
    }

    void microphoneLostDuringAHandsFreeDictationIsShownThenHidden_data()
    {
        QTest::addColumn<int>("changes");
        QTest::addColumn<bool>("unplugged");
        QTest::addColumn<QString>("description");
        QTest::newRow("three restarts are allowed") << 3 << false << QString();
        QTest::newRow("a fourth change is one too many")
            << 4 << false << QStringLiteral("Le micro change de configuration. Réessayez.");
        QTest::newRow("no microphone left") << 1 << true << QStringLiteral("Aucun micro disponible.");
    }

    void microphoneLostDuringAHandsFreeDictationIsShownThenHidden()
    {
        QFETCH(int, changes);
        QFETCH(bool, unplugged);
        QFETCH(QString, description);
        coordinator().shortcutPressed();
        advance(0.1);
        coordinator().shortcutReleased();
        QVERIFY(coordinator().handsFree());
        FakeAnalyzer& analyzer = m_desktop->recognizer->lastAnalyzer();
        FakeAudioInput& input = m_desktop->audio.last();
        if (unplugged)
            input.format = AudioFormat{0, 0};

        for (int i = 0; i < changes; ++i) {
            advance(1);
            input.changeConfiguration();
            runQueuedEvents();
        }
        if (description.isEmpty()) {
            QVERIFY(coordinator().isRecording());
            QVERIFY(input.isRunning());
            return;
        }
        QVERIFY(!coordinator().isRecording());
        QVERIFY(!coordinator().handsFree());
        QVERIFY(!input.isRunning());
        QCOMPARE(analyzer.cancelCalls, 1);
        QCOMPARE(coordinator().status(), RecordingStatus::message(description));
        QVERIFY(m_desktop->hud.visible);
        advance(0);
        QCOMPARE(plays(m_desktop->endSoundLog), 0);

        advance(2.9);
        QVERIFY(m_desktop->hud.visible);
        advance(0.1);
        QVERIFY(!m_desktop->hud.visible);
        QCOMPARE(coordinator().status(), RecordingStatus::idle());
        QVERIFY(coordinator().history().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDictationProperties)
#include "tst_dictationproperties.moc"
