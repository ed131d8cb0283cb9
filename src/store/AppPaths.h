// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parlune {

// The program's own folder, "Parlune" in the user's data folder ($XDG_DATA_HOME, by default
// ~/.local/share). Files of the legacy folder "Oravel" beside it are taken over once.
class AppPaths
{
public:
    // Resolved (and the legacy files taken over) at the first call; the same path afterwards.
    static QString support();
    // The recognition models the user installed or the program downloaded, one folder per locale:
    // "models" in the support folder.
    static QString models();

    // The support folder inside `dataHome`. When it does not exist yet but the legacy folder does, the
    // folder is created and the legacy settings.json and history.json are copied into it (each
    // failure ignored, the legacy folder left in place). Otherwise nothing is created.
    static QString resolveSupport(const QString& dataHome);

    // $XDG_DATA_HOME when it is set to an absolute path, else ~/.local/share.
    static QString dataHome();
};

} // namespace parlune
