// SPDX-License-Identifier: GPL-3.0-or-later
// The self-check on fake services: where it stops and the line it ends with. A whole passing run is
// checked with the real services.
#include "FakeAudioInput.h"
#include "FakeClock.h"
#include "FakeInputAccess.h"
#include "FakePasteboard.h"
#include "FakeRecognizer.h"
#include "FakeWorkspace.h"
#include "diagnostics/DictationCheck.h"
#include "platform/KeySynth.h"

#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <QTimer>

using namespace parlune;
using namespace std::chrono_literals;

namespace {

const QString recognised = QStringLiteral("Bonjour ceci est un test le rendez-vous est prévu DEMAIN");

// The check's services on fakes. Its window comes in front at the first poll unless told otherwise, and
// the paste keystroke types what is on the clipboard into the window's field.
struct Rig final : KeySynth
{
    FakeClock clock;
    std::shared_ptr<FakeRecognizer> recognizer = std::make_shared<FakeRecognizer>();
    FakeAudioInputFactory inputs;
    FakeInputAccess access;
    FakeWorkspace workspace;
    FakePasteboard pasteboard;
    int synthesisStatus = 0;
    int microphoneBuffers = 3;
    bool windowInFront = true;

    int polls = 0;
    int pastes = 0;
    QString field;
    bool windowClosed = false;
    QString soundFile;
    QStringList lines;
    bool terminated = false;

    Rig()
    {
        recognizer->readingsOnFinalize = {{QStringLiteral("Bonjour ceci"), false}, {recognised, true}};
        inputs.configure = [](FakeAudioInput& input) { input.format = AudioFormat{16000, 1}; };
    }
    bool focused() const { return windowInFront && polls > 0; }
    bool modifiersHeld() override { return false; }
    bool postPaste(PasteChord) override
    {
        ++pastes;
        if (focused())
            field += QString::fromUtf8(pasteboard.content.front().data.front().second);
        return true;
    }
    void run();
};

class Window final : public DictationCheck::TestWindow
{
public:
    explicit Window(Rig& rig)
        : m_rig(rig)
    {}
    void show() override {}
    bool isApplicationActive() const override
    {
        ++m_rig.polls;
        return m_rig.focused();
    }
    bool isKey() const override { return m_rig.focused(); }
    bool textFieldHasFocus() const override { return m_rig.focused(); }
    QString text() const override { return m_rig.field; }
    void close() override { m_rig.windowClosed = true; }

private:
    Rig& m_rig;
};

// Runs the check to its end, playing the microphone while it records and letting time pass. The
// synthesiser writes one second of silence in 16 kHz mono WAV.
void Rig::run()
{
    DictationCheck::Services services;
    services.clock = &clock;
    services.runProcess =
        [this](QString,
               QStringList arguments) -> QCoro::Task<std::variant<int, DictationCheck::LaunchFailure>> {
        soundFile = arguments.at(3);
        QFile file(soundFile);
        if (synthesisStatus == 0 && file.open(QIODevice::WriteOnly))
            file.write(QByteArray::fromHex("52494646247d000057415645666d7420100000000100010080"
                                           "3e0000007d00000200100064617461007d0000") +
                       QByteArray(32000, '\0'));
        co_return synthesisStatus;
    };
    services.recognizer = recognizer;
    services.audioInput = inputs.factory();
    services.requestMicrophonePermission = []() -> QCoro::Task<bool> { co_return true; };
    services.inputAccess = &access;
    services.pasteboard = &pasteboard;
    services.keySynth = this;
    services.workspace = &workspace;
    services.makeTestWindow = [this] { return std::make_unique<Window>(*this); };
    services.terminate = [this] { terminated = true; };
    services.writeLine = [this](const QString& line) { lines << line; };
    DictationCheck::run(services);

    for (int step = 0; step < 1000 && !terminated; ++step) {
        for (; microphoneBuffers > 0 && !inputs.made.empty() && inputs.last().isRunning();
             --microphoneBuffers) {
            auto buffer = std::make_shared<AudioBuffer>(AudioFormat{16000, 1}, 2048);
            buffer->setFrameLength(2048);
            inputs.last().deliver(buffer);
        }
        QCoreApplication::processEvents();
        clock.advance(50ms);
    }
}

using Arrange = std::function<void(Rig&)>;

} // namespace

class TestDictationCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachOutcomeEndsWithItsOwnLine_data()
    {
        QTest::addColumn<Arrange>("arrange");
        QTest::addColumn<int>("linesBefore");
        QTest::addColumn<QString>("last");

        const QString failed = QStringLiteral("FAIL Diagnostic failed: ");
        const QString skipped = QStringLiteral("PASS transcription and microphone, SKIP paste (no focus)");
        QTest::newRow("synthesiser exits with 1")
            << Arrange([](Rig& rig) { rig.synthesisStatus = 1; }) << 0 << failed + "speech synthesis";
        QTest::newRow("French model not downloadable: its progress, then why") << Arrange([](Rig& rig) {
            auto installation = std::make_shared<FakeInstallation>();
            rig.recognizer->installation = installation;
            QTimer::singleShot(0, [installation] {
                installation->progress()->setFractionCompleted(0.25);
                installation->progress()->setFractionCompleted(0.29);
                installation->progress()->setFractionCompleted(0.5);
                installation->end(
                    RecognitionError{QStringLiteral("Français : le modèle n'a pas pu être téléchargé.")});
            });
        }) << 2 << QStringLiteral("FAIL Français : le modèle n'a pas pu être téléchargé.");
        QTest::newRow("bonjour without demain") << Arrange([](Rig& rig) {
            rig.recognizer->readingsOnFinalize = {{QStringLiteral("bonjour à tous"), true}};
        }) << 2 << failed + "transcription";
        QTest::newRow("pasted into the field")
            << Arrange([](Rig&) {}) << 5 << QStringLiteral("PASS transcription and paste into text field");
        QTest::newRow("window never in front")
            << Arrange([](Rig& rig) { rig.windowInFront = false; }) << 5 << skipped;
        QTest::newRow("no input access: the text stays on the clipboard")
            << Arrange([](Rig& rig) {
                   rig.access.trusted = false;
                   rig.recognizer->readingsOnFinalize = {
                       {QStringLiteral("bonjour \"demain\" a\\b") + QChar(0x1b), true}};
               })
            << 5
            << failed + "paste (accessibility=false, expected=\"bonjour \\\"demain\\\" a\\\\b\\u{1b}\", "
                        "actual=\"\")";
    }

    void eachOutcomeEndsWithItsOwnLine()
    {
        QFETCH(Arrange, arrange);
        QFETCH(int, linesBefore);
        QFETCH(QString, last);
        Rig rig;
        arrange(rig);
        rig.run();

        QVERIFY(rig.terminated);
        QCOMPARE(rig.lines.size(), linesBefore + 1);
        QCOMPARE(rig.lines.last(), QStringLiteral("Parlune check: ") + last);
        QCOMPARE(rig.windowClosed, linesBefore == 5);
        QVERIFY(!rig.soundFile.isEmpty() && !QFile::exists(rig.soundFile));
        if (!rig.access.trusted) {
            QCOMPARE(rig.pastes, 0);
            QCOMPARE(rig.pasteboard.content.size(), std::size_t(1));
            QCOMPARE(rig.pasteboard.content.front().data.size(), std::size_t(1));
        }
    }
};

QTEST_GUILESS_MAIN(TestDictationCheck)
#include "tst_dictationcheck.moc"
