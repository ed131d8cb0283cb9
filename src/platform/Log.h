// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace parlune {

// One diagnostic line for the system log, which also copies it to standard error. Lines carry no
// level; their printf format includes the program's prefix ("Parlune: ", "Parlune check: ").
// Dictated text never goes through here: log counts, not words.
void logLine(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace parlune
