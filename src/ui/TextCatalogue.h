// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace parlune {

// The program's texts are written in the code in French, as Qt's translation system reads them. A few
// name things of another system ("ce Mac", "Réglages Système", "⌘V"); the catalogue built from
// src/ui/translations/parlune_linux_fr.ts and kept in the program's resources says those as they are on
// the Linux desktop, and nothing else.
namespace TextCatalogue {

inline const QString path = QStringLiteral(":/i18n/parlune_linux_fr.qm");

// Makes the application's texts go through the catalogue: done right after the application object is
// made, before any text or view. False when the catalogue cannot be read (the texts then stay as written).
bool install();

} // namespace TextCatalogue
} // namespace parlune
