// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parlune {

// Gives back to the system the memory the program has freed but the allocator still holds. Called when
// a large part of the program has just been let go of (a window closed, a dictation over): the process
// then stays as small as what it really uses while it waits in the tray. Takes well under a millisecond
// with a language loaded.
void returnFreedMemory();

} // namespace parlune
