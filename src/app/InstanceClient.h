// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/InstanceCommand.h"

#include <chrono>
#include <functional>
#include <string>

namespace parlune {

// The launching side of the one instance per user, in plain system calls: it runs before the rest of
// the program is set up, and on GNOME once per keyboard repeat while a shortcut is held, so a command
// costs a process start and one exchange on a socket.
//
// The instance listens on a Unix socket in the user's runtime folder. A launch writes one word there
// ("press") and reads the instance's answer ("ok"), which comes once the instance has acted. Two
// launches that find nobody listening settle who starts the instance under a lock file beside the
// socket: the first makes the socket and hands it to the instance it starts, so that the commands of
// the others wait there until the instance is up, and no second instance ever starts.
class InstanceClient
{
public:
    // Starts an instance that will listen on `listeningSocket` (it inherits the descriptor); false when
    // it could not be started. The program starts itself; tests start a listener of their own.
    using StartInstance = std::function<bool(int listeningSocket)>;

    struct Result
    {
        // The process's exit status: 0 once the instance has acted.
        int status = 0;
        // What went wrong, in French, for standard error; empty on success.
        std::string error;
    };

    // What a plain launch is: a running instance was asked to come forward, or this process is the
    // instance and listens on `listeningSocket` (-1 when no socket could be made: it runs without).
    struct Launch
    {
        bool handedOver = false;
        int listeningSocket = -1;
        std::string error;
    };

    // A running instance answers at once; a new one once it has started (and loaded its interface).
    static constexpr std::chrono::milliseconds runningAnswerTime{3000};
    static constexpr std::chrono::milliseconds startingAnswerTime{60000};

    explicit InstanceClient(std::string path = socketPath(), StartInstance start = startProgram);

    // Hands `command` to the running instance. With none running, a command that begins something
    // (a press, a toggle) starts one first; a release or a cancel has nothing to end and succeeds.
    Result send(InstanceCommand command) const;
    // For a plain launch: brings a running instance forward, else makes the socket this one listens on.
    Launch claim(const std::string& legacyPath = legacySocketPath()) const;

    // $XDG_RUNTIME_DIR/org.parlune.Parlune.socket (the temporary folder when the runtime folder is unset).
    static std::string socketPath();
    // Where an instance started under the program's earlier name listens: parlune.socket.
    static std::string legacySocketPath();
    // The listening socket a new instance received from the launch that started it, or -1 (also for
    // every other process). It follows the usual convention: LISTEN_FDS=1 and LISTEN_PID, descriptor 3.
    static int inheritedSocket();
    // Starts this program again, detached, handed `listeningSocket`: quietly, as the login entry does.
    static bool startProgram(int listeningSocket);

private:
    std::string m_path;
    StartInstance m_start;
};

} // namespace parlune
