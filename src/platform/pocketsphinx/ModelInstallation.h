// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/pocketsphinx/ModelCatalogue.h"

#include <QString>

class QNetworkAccessManager;

namespace parlune {

// Installs the model of one locale from the catalogue's archive: downloads it, checks its SHA-256,
// unpacks it into a temporary folder beside its destination and renames that folder into place. Until
// the rename nothing is at the destination, so an interrupted or damaged download leaves no half-
// installed model behind: the temporary folder is removed and the next attempt starts over.
class ModelInstallation final : public AssetInstallationRequest
{
public:
    // `destination` is the locale's folder in the user's model folder. `network` (the recogniser's)
    // must outlive a running installation.
    ModelInstallation(QNetworkAccessManager& network, ModelSource source, QString destination);

    QCoro::Task<std::optional<RecognitionError>> downloadAndInstall() override;

private:
    QNetworkAccessManager& m_network;
    ModelSource m_source;
    QString m_destination;
};

} // namespace parlune
