// SPDX-License-Identifier: GPL-3.0-or-later
// The self-check's outcomes on fake services: the lines it writes, where it stops, and the sound file
// it leaves behind (none).
#include "FakeAudioInput.h"
#include "FakeClock.h"
#include "FakeInputAccess.h"
#include "FakePasteboard.h"
#include "FakeRecognizer.h"
#include "FakeWorkspace.h"
#include "diagnostics/DictationCheck.h"
#include "platform/KeySynth.h"
#include "speech/SpeechEngine.h"
#include "system/TextInjector.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

// A 16 kHz mono WAV file of silence, as the synthesiser would write it.
bool writeSilence(const QString& path, quint32 frames)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint32 dataBytes = frames * 2;
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(16000) << quint32(32000) << quint16(2)
        << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    file.write(QByteArray(int(dataBytes), '\0'));
    return true;
}

struct TestWindowState
{
    int pollsBeforeFocus = 0; // -1: never
    bool fieldTakesFocus = true;
    int polls = 0;
    bool shown = false;
    bool closed = false;
    QString text;

    bool focused() const { return shown && pollsBeforeFocus >= 0 && polls > pollsBeforeFocus; }
};

class FakeTestWindow final : public DictationCheck::TestWindow
{
public:
    explicit FakeTestWindow(TestWindowState& state)
        : m_state(state)
    {}
    void show() override { m_state.shown = true; }
    bool isApplicationActive() const override
    {
        ++m_state.polls;
        return m_state.focused();
    }
    bool isKey() const override { return m_state.focused(); }
    bool textFieldHasFocus() const override { return m_state.focused() && m_state.fieldTakesFocus; }
    QString text() const override { return m_state.text; }
    void close() override { m_state.closed = true; }

private:
    TestWindowState& m_state;
};

// The paste keystroke lands in the test window when it has the focus: what is on the clipboard then
// is typed into its field.
class PastingKeys final : public KeySynth
{
public:
    PastingKeys(FakePasteboard& pasteboard, TestWindowState& window)
        : m_pasteboard(pasteboard)
        , m_window(window)
    {}
    bool modifiersHeld() override { return false; }
    bool postPaste(PasteChord) override
    {
        ++pastes;
        if (m_window.focused() && m_window.fieldTakesFocus && !m_pasteboard.content.empty()) {
            for (const auto& [type, bytes] : m_pasteboard.content.front().data) {
                if (type == TextInjector::plainTextType)
                    m_window.text += QString::fromUtf8(bytes);
            }
        }
        return true;
    }
    int pastes = 0;

private:
    FakePasteboard& m_pasteboard;
    TestWindowState& m_window;
};

const QString recognised = QStringLiteral("Bonjour ceci est un test le rendez-vous est prévu DEMAIN");

struct Rig
{
    FakeClock clock;
    std::shared_ptr<FakeRecognizer> recognizer = std::make_shared<FakeRecognizer>();
    FakeAudioInputFactory inputs;
    FakeInputAccess access;
    FakePasteboard pasteboard;
    TestWindowState window;
    PastingKeys keys{pasteboard, window};
    FakeWorkspace workspace;

    int synthesisStatus = 0;
    std::optional<DictationCheck::LaunchFailure> launchFailure;
    bool permission = true;
    int microphoneBuffers = 3;

    QStringList synthesisCall;
    QStringList lines;
    bool terminated = false;
    bool fileExistedAtTermination = false;

    Rig()
    {
        recognizer->readingsOnFinalize = {{QStringLiteral("Bonjour ceci"), false}, {recognised, true}};
        inputs.configure = [](FakeAudioInput& input) { input.format = AudioFormat{16000, 1}; };
    }

    DictationCheck::Services services()
    {
        DictationCheck::Services services;
        services.clock = &clock;
        services.runProcess =
            [this](QString program,
                   QStringList arguments) -> QCoro::Task<std::variant<int, DictationCheck::LaunchFailure>> {
            synthesisCall = QStringList{program} + arguments;
            if (launchFailure)
                co_return *launchFailure;
            if (synthesisStatus == 0)
                writeSilence(arguments.at(3), 16000);
            co_return synthesisStatus;
        };
        services.recognizer = recognizer;
        services.audioInput = inputs.factory();
        services.requestMicrophonePermission = [this]() -> QCoro::Task<bool> { co_return permission; };
        services.inputAccess = &access;
        services.pasteboard = &pasteboard;
        services.keySynth = &keys;
        services.workspace = &workspace;
        services.makeTestWindow = [this] { return std::make_unique<FakeTestWindow>(window); };
        services.terminate = [this] {
            terminated = true;
            fileExistedAtTermination = synthesisCall.size() > 4 && QFile::exists(synthesisCall.at(4));
        };
        services.writeLine = [this](const QString& line) { lines << line; };
        return services;
    }

    // Runs the check to its end, playing the microphone while it records and letting time pass.
    void run(DictationCheck::Options options = {})
    {
        DictationCheck::run(services(), std::move(options));
        bool played = false;
        for (int step = 0; step < 1000 && !terminated; ++step) {
            if (!played && !inputs.made.empty() && inputs.last().isRunning()) {
                played = true;
                for (int i = 0; i < microphoneBuffers; ++i) {
                    auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 2048);
                    buffer->setFrameLength(2048);
                    inputs.last().deliver(buffer);
                }
            }
            QCoreApplication::processEvents();
            clock.advance(50ms);
        }
    }

    QString lastLine() const { return lines.isEmpty() ? QString() : lines.last(); }
    QString synthesizedFile() const { return synthesisCall.value(4); }
};

} // namespace

class TestDictationCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void passWritesEveryStageLineInOrder()
    {
        Rig rig;
        rig.run();

        QVERIFY(rig.terminated);
        QCOMPARE(rig.lines.size(), 6);
        const QStringList patterns{
            QStringLiteral("^Parlune check: engine ready in \\d+\\.\\d\\d s$"),
            QStringLiteral("^Parlune check: final text \\d+\\.\\d\\d s after the end of speech: ") +
                recognised + '$',
            QStringLiteral("^Parlune check: [1-9]\\d* live previews during the dictation$"),
            QStringLiteral("^Parlune check: live microphone 3 buffers, finished in \\d+\\.\\d\\d s, heard %1 "
                           "characters$")
                .arg(recognised.size()),
            QStringLiteral("^Parlune check: accessibility=1$"),
            QStringLiteral("^Parlune check: PASS transcription and paste into text field$"),
        };
        for (int i = 0; i < patterns.size(); ++i)
            QVERIFY2(QRegularExpression(patterns[i]).match(rig.lines[i]).hasMatch(),
                     qPrintable(rig.lines[i]));

        // The French sentence through espeak-ng, into a file of its own in the temporary folder.
        QCOMPARE(rig.synthesisCall.mid(0, 4), (QStringList{QStringLiteral("espeak-ng"), QStringLiteral("-v"),
                                                           QStringLiteral("fr"), QStringLiteral("-w")}));
        QCOMPARE(rig.synthesisCall.value(5), DictationCheck::Options().sentence);
        QVERIFY(QRegularExpression(
                    QStringLiteral("^") + QRegularExpression::escape(QDir::tempPath()) +
                    QStringLiteral("/parlune-check-[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\\.aiff$"))
                    .match(rig.synthesizedFile())
                    .hasMatch());
        QCOMPARE(rig.recognizer->askedLocales.front(), QStringLiteral("fr-FR"));

        // Pasted once into the window, which is closed; the file is deleted after the quit.
        QCOMPARE(rig.window.text, recognised);
        QCOMPARE(rig.keys.pastes, 1);
        QVERIFY(rig.window.closed);
        QVERIFY(rig.fileExistedAtTermination);
        QVERIFY(!QFile::exists(rig.synthesizedFile()));
    }

    void windowWithoutFocusSkipsThePaste_data()
    {
        QTest::addColumn<int>("pollsBeforeFocus");
        QTest::addColumn<bool>("fieldTakesFocus");
        QTest::addColumn<bool>("skipped");

        QTest::newRow("never key") << -1 << true << true;
        QTest::newRow("key at the last poll") << 29 << true << false;
        QTest::newRow("key but the field lacks the focus") << 0 << false << true;
    }
    void windowWithoutFocusSkipsThePaste()
    {
        QFETCH(int, pollsBeforeFocus);
        QFETCH(bool, fieldTakesFocus);
        QFETCH(bool, skipped);

        Rig rig;
        rig.window.pollsBeforeFocus = pollsBeforeFocus;
        rig.window.fieldTakesFocus = fieldTakesFocus;
        rig.run();

        QVERIFY(rig.terminated);
        QVERIFY(rig.window.closed);
        QVERIFY(!QFile::exists(rig.synthesizedFile()));
        if (skipped) {
            QCOMPARE(
                rig.lastLine(),
                QStringLiteral("Parlune check: PASS transcription and microphone, SKIP paste (no focus)"));
            QCOMPARE(rig.keys.pastes, 0);
        } else {
            QCOMPARE(rig.lastLine(),
                     QStringLiteral("Parlune check: PASS transcription and paste into text field"));
        }
    }

    void eachStageFailsWithItsOwnLine_data()
    {
        QTest::addColumn<std::function<void(Rig&)>>("arrange");
        QTest::addColumn<QString>("description");
        QTest::addColumn<int>("linesBefore");

        QTest::newRow("synthesiser exits with 1")
            << std::function<void(Rig&)>([](Rig& rig) { rig.synthesisStatus = 1; })
            << QStringLiteral("Diagnostic failed: speech synthesis") << 0;
        QTest::newRow("synthesiser missing") << std::function<void(Rig&)>([](Rig& rig) {
            rig.launchFailure =
                DictationCheck::LaunchFailure{QStringLiteral("Impossible de lancer « espeak-ng »")};
        }) << QStringLiteral("Impossible de lancer « espeak-ng »")
                                             << 0;
        QTest::newRow("language without a recogniser")
            << std::function<void(Rig&)>([](Rig& rig) { rig.recognizer->supported = false; })
            << SpeechEngine::EngineError::unsupported(Language::fr).description() << 0;
        QTest::newRow("model that does not load") << std::function<void(Rig&)>([](Rig& rig) {
            rig.recognizer->prepareError = RecognitionError{QStringLiteral("Le modèle est illisible.")};
        }) << QStringLiteral("Le modèle est illisible.")
                                                  << 0;
        QTest::newRow("bonjour without demain") << std::function<void(Rig&)>([](Rig& rig) {
            rig.recognizer->readingsOnFinalize = {{QStringLiteral("bonjour à tous"), true}};
        }) << QStringLiteral("Diagnostic failed: transcription")
                                                << 2;
        QTest::newRow("microphone refused")
            << std::function<void(Rig&)>([](Rig& rig) { rig.permission = false; })
            << QStringLiteral("Diagnostic failed: microphone permission") << 3;
        QTest::newRow("microphone that cannot start") << std::function<void(Rig&)>([](Rig& rig) {
            rig.inputs.configure = [](FakeAudioInput& input) {
                input.format = AudioFormat{16000, 1};
                input.startErrors[1] =
                    Error{QStringLiteral("Parlune.Audio"), 1, QStringLiteral("Aucun micro.")};
            };
        }) << QStringLiteral("Aucun micro.") << 3;
        QTest::newRow("microphone that delivers nothing")
            << std::function<void(Rig&)>([](Rig& rig) { rig.microphoneBuffers = 0; })
            << QStringLiteral("Diagnostic failed: microphone delivered no audio") << 3;
        QTest::newRow("one silent buffer is enough") << std::function<void(Rig&)>([](Rig& rig) {
            rig.microphoneBuffers = 1;
            rig.recognizer->readingsOnFinalize = {{recognised, true}};
        }) << QString() << 5;
    }
    void eachStageFailsWithItsOwnLine()
    {
        QFETCH(std::function<void(Rig&)>, arrange);
        QFETCH(QString, description);
        QFETCH(int, linesBefore);

        Rig rig;
        arrange(rig);
        rig.run();

        QVERIFY(rig.terminated);
        QCOMPARE(rig.lines.size(), linesBefore + 1);
        if (description.isEmpty())
            QVERIFY(rig.lastLine().startsWith(QStringLiteral("Parlune check: PASS")));
        else
            QCOMPARE(rig.lastLine(), QStringLiteral("Parlune check: FAIL ") + description);
        QVERIFY(rig.synthesizedFile().isEmpty() || !QFile::exists(rig.synthesizedFile()));
    }

    void pasteFailureQuotesBothTexts_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("heard");
        QTest::addColumn<QString>("alreadyInField");
        QTest::addColumn<QString>("description");

        // Without input access the text only goes on the clipboard: the field stays empty.
        QTest::newRow("no input access")
            << false << recognised << QString()
            << QStringLiteral("Diagnostic failed: paste (accessibility=false, expected=\"%1\", actual=\"\")")
                   .arg(recognised);
        QTest::newRow("quotes and backslashes")
            << false << QStringLiteral("bonjour \"demain\" a\\b") << QString()
            << QStringLiteral(
                   "Diagnostic failed: paste (accessibility=false, expected=\"bonjour \\\"demain\\\" "
                   "a\\\\b\", actual=\"\")");
        QTest::newRow("field that held text already")
            << true << QStringLiteral("bonjour demain") << QStringLiteral("déjà\n")
            << QStringLiteral("Diagnostic failed: paste (accessibility=true, expected=\"bonjour demain\", "
                              "actual=\"déjà\\nbonjour demain\")");
    }
    void pasteFailureQuotesBothTexts()
    {
        QFETCH(bool, trusted);
        QFETCH(QString, heard);
        QFETCH(QString, alreadyInField);
        QFETCH(QString, description);

        Rig rig;
        rig.access.trusted = trusted;
        rig.window.text = alreadyInField;
        rig.recognizer->readingsOnFinalize = {{heard, true}};
        rig.run();

        QCOMPARE(rig.lastLine(), QStringLiteral("Parlune check: FAIL ") + description);
        QVERIFY(rig.window.closed);
        if (!trusted) {
            QVERIFY(rig.lines.contains(QStringLiteral("Parlune check: accessibility=0")));
            QCOMPARE(rig.keys.pastes, 0);
            // The text is left on the clipboard, as plain text only.
            QCOMPARE(rig.pasteboard.content.size(), std::size_t(1));
            QCOMPARE(rig.pasteboard.content.front().data.size(), std::size_t(1));
            QCOMPARE(rig.pasteboard.content.front().data.front().second, heard.toUtf8());
        }
    }

    void quotingEscapesControlCharacters_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << QStringLiteral("prévu demain") << QStringLiteral("\"prévu demain\"");
        QTest::newRow("empty") << QString() << QStringLiteral("\"\"");
        QTest::newRow("tab, return, newline")
            << QStringLiteral("a\tb\rc\nd") << QStringLiteral("\"a\\tb\\rc\\nd\"");
        QTest::newRow("other control character")
            << QStringLiteral("a") + QChar(0x1b) + QStringLiteral("b") << QStringLiteral("\"a\\u{1b}b\"");
    }
    void quotingEscapesControlCharacters()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(DictationCheck::quoted(text), expected);
    }
};

QTEST_GUILESS_MAIN(TestDictationCheck)
#include "tst_dictationcheck.moc"
