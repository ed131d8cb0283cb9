// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoroTask>

namespace parlune {

// Whether the program may record from the microphone.
enum class MicrophoneAuthorization { NotDetermined = 0, Restricted = 1, Denied = 2, Authorized = 3 };

namespace MicrophoneAccess {

// The Linux desktop has no per-application microphone permission outside sandboxes: any program
// the user runs may open the microphone, so this is always Authorized.
inline MicrophoneAuthorization status()
{
    return MicrophoneAuthorization::Authorized;
}

// Asks the user; never needed where status() cannot be NotDetermined.
inline QCoro::Task<bool> requestAccess()
{
    co_return status() == MicrophoneAuthorization::Authorized;
}

} // namespace MicrophoneAccess
} // namespace parlune
