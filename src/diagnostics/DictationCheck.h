// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AudioInput.h"
#include "platform/Clock.h"
#include "speech/Language.h"

#include <QCoroTask>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <variant>

namespace parlune {

class InputAccess;
class KeySynth;
class Pasteboard;
class Recognizer;
class Workspace;
struct AppCoordinatorServices;

// The command-line self-test of the whole dictation (`parlune --check-dictation`): a known sentence is
// spoken into a sound file by a speech synthesiser, the file goes through the same resampler and
// dictation session as a real dictation and the words are checked, the real microphone is recorded
// for a moment, and the recognised text is pasted into a small window of the check's own. Each stage
// writes one "Parlune check: " line to the log; the first failure writes a FAIL line and ends the run.
// The outcome is told by those lines, not by the exit status.
namespace DictationCheck {

// What the check says, in which language, and what it must hear back. The command line uses the
// defaults; tests run the same stages in another language.
struct Options
{
    Language language = Language::fr;
    QString sentence = QStringLiteral("Bonjour, ceci est un test de transcription vocale. Le rendez-vous est "
                                      "prévu demain à quinze heures.");
    // Each must appear in the lower-cased recognised text.
    QStringList expectedWords{QStringLiteral("bonjour"), QStringLiteral("demain")};
    // The speech synthesiser, called as: program -v voice -w file sentence. It writes a WAV file.
    QString synthesizer = QStringLiteral("espeak-ng");
    QString voice = QStringLiteral("fr");
};

// A child process that could not be launched; the description is the user-facing one.
struct LaunchFailure
{
    QString description;
};

// The small window the recognised text is pasted into: one text field, in front.
class TestWindow
{
public:
    virtual ~TestWindow() = default;

    // Shows the window in front, makes it the active window of the active application and gives the
    // focus to its text field.
    virtual void show() = 0;
    virtual bool isApplicationActive() const = 0;
    virtual bool isKey() const = 0;
    // Whether the text field holds the keyboard focus within the window.
    virtual bool textFieldHasFocus() const = 0;
    virtual QString text() const = 0;
    virtual void close() = 0;
};

// Writes one line to the system log.
void logCheckLine(const QString& line);

// Everything the check works with, so that a test can run it on fakes.
struct Services
{
    Clock* clock = &SystemClock::instance();
    // Runs a program to its end and gives its exit status.
    std::function<QCoro::Task<std::variant<int, LaunchFailure>>(QString program, QStringList arguments)>
        runProcess;
    // The check's own recogniser: its engine and sessions are not the interactive program's.
    std::shared_ptr<Recognizer> recognizer;
    AudioInputFactory audioInput;
    std::function<QCoro::Task<bool>()> requestMicrophonePermission;
    InputAccess* inputAccess = nullptr;
    Pasteboard* pasteboard = nullptr;
    KeySynth* keySynth = nullptr;
    Workspace* workspace = nullptr;
    std::function<std::unique_ptr<TestWindow>()> makeTestWindow;
    // Asks the application to end (its event loop returns).
    std::function<void()> terminate;
    // Where the check's own lines go: the system log.
    std::function<void(const QString& line)> writeLine = logCheckLine;
};

// The fixed values of a run.
inline constexpr quint32 fileReadChunkFrames = 2048;
inline constexpr Seconds liveRecordingDuration{1.5};
inline constexpr int focusPolls = 30;
inline constexpr Seconds focusPollInterval{0.1};
inline constexpr Seconds waitAfterPasting{0.8};

// One whole run on the main thread. Every outcome ends with `services.terminate()`, then the
// temporary sound file is deleted.
QCoro::Task<> run(Services services, Options options = {});

// Where the synthesised sentence is written: "parlune-check-<UUID>.aiff" in the temporary folder
// (the content is WAV whatever the name says; the reader looks at the content).
QString temporaryFilePath();

// The text between double quotes, with quotes, backslashes and control characters escaped by a
// backslash, as the paste failure shows the expected and the actual text.
QString quoted(const QString& text);

// The check's services taken from the desktop's real ones, with a real child process, the real
// microphone permission, a real window and the application's quit.
Services servicesOf(const AppCoordinatorServices& desktop);

// Runs the check with the desktop's real services in this process and returns the application's exit
// code once it has ended. Needs a QApplication (the test window is a widget) and its event loop not
// yet running; the start-up calls it for "--check-dictation".
int runAndExit(Options options = {});

} // namespace DictationCheck
} // namespace parlune
