// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/UpdateController.h"

#include "moc_UpdateController.cpp"
