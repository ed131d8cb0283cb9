// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/MachineResources.h"

#include <cmath>
#include <unistd.h>

namespace parlune {

MachineResources MachineResources::current()
{
    static const MachineResources machine{int(::sysconf(_SC_NPROCESSORS_ONLN)),
                                          qint64(::sysconf(_SC_PHYS_PAGES)) *
                                              qint64(::sysconf(_SC_PAGESIZE))};
    return machine;
}

int MachineResources::memoryGigabytes() const
{
    return int(std::lround(double(memoryBytes) / double(1LL << 30)));
}

bool MachineResources::suitsAccurateRecognition() const
{
    return cores >= 4 && memoryGigabytes() >= 8;
}

} // namespace parlune
