// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <sys/types.h>

namespace parlune {

// Writes the whole file or nothing: the data goes to a temporary file beside the target, which is then
// renamed over it, so a reader never sees half a file. The new file gets `mode` (0600 for anything
// holding dictated text). Creates the containing folder (0700) when it is missing. False on failure,
// with the previous file left as it was.
bool writeFileAtomically(const QString& path, const QByteArray& data, mode_t mode = 0600);

// The whole content of a regular file, or nothing when it cannot be read (missing, a folder, no
// permission).
std::optional<QByteArray> readWholeFile(const QString& path);

} // namespace parlune
