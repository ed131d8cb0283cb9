// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FreedMemory.h"

#include <malloc.h>

namespace parlune {

void returnFreedMemory()
{
    // WORKAROUND: glibc keeps what a thread frees in that thread's own arena and hands only the top of
    // each heap back by itself; the decoding threads and the windows' teardown leave freed pages in the
    // middle of the heaps, resident until malloc_trim releases them.
    malloc_trim(0);
}

} // namespace parlune
