// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sherpa/DecodingThreads.h"

#include <algorithm>
#include <cerrno>

#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace parlune::DecodingThreads {

namespace {

constexpr int maximumCount = 4;
thread_local bool lowered = false;

} // namespace

int availableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
    return std::max(1L, sysconf(_SC_NPROCESSORS_ONLN));
}

int recommendedCount(int cores)
{
    return std::clamp(cores - 1, 1, maximumCount);
}

bool lowerCurrentThreadPriority()
{
    if (lowered)
        return true;
    // On Linux a nice value belongs to a thread: `who` 0 is the calling one.
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, 0);
    if (errno != 0 || setpriority(PRIO_PROCESS, 0, std::min(current + niceIncrement, 19)) != 0)
        return false;
    lowered = true;
    return true;
}

} // namespace parlune::DecodingThreads
