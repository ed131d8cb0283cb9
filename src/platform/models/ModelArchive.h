// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/models/DownloadFailure.h"

#include <QString>

#include <optional>

namespace parlune {

// A downloaded model archive, read with libarchive (zip or tar).
class ModelArchive
{
public:
    // Unpacks `archive` into `folder`, keeping its paths. Entries that would land outside the folder,
    // links and special files are refused. Safe on any thread.
    static std::optional<DownloadFailure> unpack(const QString& archive, const QString& folder);
};

} // namespace parlune
