// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace parlune {

// What a later launch of the program asks of the one that runs: bring its window forward (a plain
// launch), or act on the dictation as the shortcut does (`parlune --press`, bound to a key in the
// desktop's own settings).
enum class InstanceCommand { reopen, toggle, press, release, cancel, shortcut };

// The command's word on the instance's socket: "reopen", "toggle", "press"…
std::string_view commandWord(InstanceCommand command);
std::optional<InstanceCommand> commandFromWord(std::string_view word);

// What the command line asks for, read before anything else is set up.
struct CommandLine
{
    // "--press" and the others; none for the program's other modes and for a plain launch.
    std::optional<InstanceCommand> command;
    bool help = false;
    // Why the arguments cannot be obeyed (two commands at once), in French; empty when they can.
    std::string error;

    static CommandLine parse(int argc, const char* const* argv);
};

// The text "--help" prints: how to run the program and every option.
std::string_view usageText();

} // namespace parlune
