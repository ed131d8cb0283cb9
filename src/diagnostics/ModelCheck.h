// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace parlune {

// The child side of a model's check, `parlune --check-model DIR`: no window, no tray, no other instance
// asked. It loads the model in DIR with the real library (a Vosk model or a Parakeet one, told apart by
// their files), makes a recogniser, decodes half a second of silence, and ends with the status
// `ModelCheckProcess` reads. A model that makes the library end or abort the process ends this one, which
// is what the program that asked is kept from.
namespace ModelCheck {

// The folder to check, when the arguments ask for the check.
std::optional<QString> requestedFolder(int argc, char** argv);
// Runs the check; the process's exit status. Needs an application object.
int run(const QString& folder);

} // namespace ModelCheck

} // namespace parlune
