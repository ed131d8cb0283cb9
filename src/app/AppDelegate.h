// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/MicrophoneAccess.h"

#include <QStringList>

#include <functional>

namespace parlune {

// What the launch needs from the rest of the program; a test supplies its own.
struct LaunchServices
{
    // The self-check; it ends the program itself.
    std::function<void()> runDictationCheck;
    // The window snapshot, written to the given file; it ends the program itself.
    std::function<void(const QString& outputPath)> runSnapshot;
    // Creates the software-update controller, which starts checking in the background.
    std::function<void()> startUpdater;
    std::function<bool()> inputAccessTrusted;
    std::function<MicrophoneAuthorization()> microphoneStatus;
    // Whether the walkthrough is done; reading it builds the shared coordinator if needed.
    std::function<bool()> onboardingDone;
    std::function<void()> showMainWindow;
};

// Decides at launch what the program does and what it puts on screen, and brings the main window back
// when the user launches the program again while it runs.
class AppDelegate
{
public:
    enum class Mode { DictationCheck, Snapshot, Interactive };

    static inline const QString dictationCheckArgument = QStringLiteral("--check-dictation");
    static inline const QString snapshotArgument = QStringLiteral("--snapshot");

    explicit AppDelegate(LaunchServices services);

    // The mode the arguments ask for: the self-check first, then a snapshot when "--snapshot" is
    // followed by a path (a trailing "--snapshot" is ignored), else the interactive program.
    static Mode modeFor(const QStringList& arguments);

    // Runs the launch for `arguments`. The self-check, the snapshot and the main window start from the
    // event loop, once this has returned.
    Mode applicationDidFinishLaunching(const QStringList& arguments);

    // A test program is running us: it has put Qt's standard paths in their test mode, so that nothing
    // it does reaches the user's files. Such a run checks for no update, and its coordinator is quiet.
    static bool runsUnderTestRunner();

    // The program was launched again while running: its main window comes forward.
    void applicationShouldHandleReopen();

    // A launch by the login autostart is quiet (tray icon only) when nothing needs the user: input
    // access granted, the microphone authorised and the walkthrough done.
    bool isQuietLaunch(const QStringList& arguments) const;

private:
    LaunchServices m_services;
};

} // namespace parlune
