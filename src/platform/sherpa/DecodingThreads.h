// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parlune {

// How many threads decode a phrase, and at which priority, so that recognition never starves the
// capture or the interface.
namespace DecodingThreads {

// The processors this program may run on (its affinity, which a container or taskset may narrow).
int availableCores();

// One core is left to the capture, the interface and the other programs. At most four: a phrase of a
// few seconds leaves more threads mostly waiting (what was measured, and what could not be, is in
// docs/PERFORMANCE.md).
int recommendedCount(int cores);
inline int recommendedCount()
{
    return recommendedCount(availableCores());
}

// Added to the nice value of a decoding thread: the scheduler then gives the capture and the
// interface threads about three times its share of a busy core.
constexpr int niceIncrement = 5;

// Lowers the calling thread's priority by `niceIncrement`, once (a thread already lowered is left as
// it is). The threads it then starts inherit it. False when the system refused.
bool lowerCurrentThreadPriority();

} // namespace DecodingThreads

} // namespace parlune
