// SPDX-License-Identifier: GPL-3.0-or-later
// The data-control protocol's interface tables, as wayland-scanner writes them, compiled as C++: after
// the header that declares them, so that the rest of the program sees them.
#include "wlr-data-control-unstable-v1-client-protocol.h"

// WORKAROUND: wayland-scanner's code is written for C: it marks the tables hidden where C++ has already
// seen them declared by the header, and GCC warns that the mark comes too late. They stay inside the
// program either way.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wattributes"
#include "wlr-data-control-unstable-v1-protocol.c"
#pragma GCC diagnostic pop
