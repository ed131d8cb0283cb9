// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

namespace parlune {

// The computer's processors and memory, as far as recognition cares.
struct MachineResources
{
    int cores = 0;
    qint64 memoryBytes = 0;

    // This computer's, read once.
    static MachineResources current();

    // The memory in whole gigabytes as the computer was sold: the system reports a few hundred
    // megabytes less than what is fitted, so 7.6 GiB is an 8 GB computer.
    int memoryGigabytes() const;
    // The accurate engine keeps up with speech, beside the other programs, from 4 cores and 8 GB.
    bool suitsAccurateRecognition() const;
};

} // namespace parlune
