// SPDX-License-Identifier: GPL-3.0-or-later
// The `parlune` command. A command for the running Parlune (`parlune --press`) is handed over from here,
// in plain system calls: a desktop may run it at every keyboard repeat while a shortcut is held, and the
// program's libraries alone take a tenth of a second to load. Anything else loads the program, which
// lives in lib/parlune/ beside the folder of this executable, and runs it.
#include "app/InstanceClient.h"
#include "app/InstanceCommand.h"

#include <climits>
#include <cstdio>
#include <string>

#include <dlfcn.h>
#include <unistd.h>

using namespace parlune;

namespace {

int runProgram(int argc, char** argv)
{
    char executable[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", executable, sizeof executable - 1);
    std::string path = length > 0 ? std::string(executable, std::size_t(length)) : std::string(argv[0]);
    path = path.substr(0, path.rfind('/') + 1) + "../lib/parlune/libparlune-program.so";
    void* program = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    using Run = int (*)(int, char**);
    const Run run = program ? reinterpret_cast<Run>(::dlsym(program, "parlune_run_program")) : nullptr;
    if (!run) {
        std::fprintf(stderr, "parlune : impossible de charger le programme (%s).\n", ::dlerror());
        return 1;
    }
    return run(argc, argv);
}

} // namespace

int main(int argc, char** argv)
{
    const CommandLine commandLine = CommandLine::parse(argc, argv);
    if (!commandLine.error.empty()) {
        std::fprintf(stderr, "%s\n", commandLine.error.c_str());
        return 2;
    }
    if (commandLine.help) {
        std::fwrite(usageText().data(), 1, usageText().size(), stdout);
        return 0;
    }
    if (commandLine.command) {
        const InstanceClient::Result result = InstanceClient().send(*commandLine.command);
        if (!result.error.empty())
            std::fprintf(stderr, "%s\n", result.error.c_str());
        return result.status;
    }
    return runProgram(argc, argv);
}
