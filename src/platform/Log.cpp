// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Log.h"

#include <cstdarg>
#include <mutex>
#include <syslog.h>

namespace parlune {

void logLine(const char* format, ...)
{
    static std::once_flag opened;
    std::call_once(opened, [] { openlog("parlune", LOG_PERROR | LOG_PID, LOG_USER); });

    va_list arguments;
    va_start(arguments, format);
    vsyslog(LOG_NOTICE, format, arguments);
    va_end(arguments);
}

} // namespace parlune
