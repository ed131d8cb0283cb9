// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/InstallationProgress.h"

#include <QString>

namespace parlune {

// How the views tell an installation's progress, in French: "Téléchargement du modèle français…
// 42 % — 2,1 Mo/s, encore 12 s", then "Vérification du modèle français…", "Chargement du modèle
// français…". Sizes in decimal units (1 Mo = 1 000 000 octets), with a decimal comma.
class InstallationText
{
public:
    // `model` names what is installed as the sentence needs it: "modèle français", "modèle précis".
    // The percentage is whole and never reaches 100 while the download runs: the last bytes are
    // followed by the checks and the loading.
    static QString describe(const InstallationProgress& progress, const QString& model);

    // "850 ko", "42,2 Mo", "1,3 Go".
    static QString size(qint64 bytes);
    // "850 ko/s", "2,1 Mo/s".
    static QString speed(double bytesPerSecond);
    // What is left, rounded up: "12 s", "4 min", "1 h 05".
    static QString duration(double seconds);
};

} // namespace parlune
