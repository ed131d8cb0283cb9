// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Recognizer.h"
#include "platform/models/ModelCatalogue.h"

#include <QString>

#include <functional>
#include <optional>

class QNetworkAccessManager;

namespace parlune {

// Installs the model of one locale from the catalogue's archive: downloads it, checks its size and
// SHA-256 as the bytes arrive, unpacks it into a temporary folder beside its destination and renames
// the model folder into place. Until the rename nothing is at the destination, so an interrupted,
// cancelled or damaged download leaves no half-installed model behind: the temporary folder is removed
// and the next attempt starts over. Failures name the language as the user knows it.
class ModelInstallation final : public AssetInstallationRequest
{
public:
    // Whether a folder holds a model of the kind being installed.
    using ModelCheck = std::function<bool(const QString& folder)>;

    // `destination` is the locale's folder in the user's model folder. `network` must outlive a running
    // installation.
    ModelInstallation(QNetworkAccessManager& network, ModelSource source, QString languageName,
                      QString destination, ModelCheck isModel);

    QCoro::Task<std::optional<RecognitionError>> downloadAndInstall() override;

    // Unpacks a zip or tar archive into `folder` with libarchive, keeping its paths. Entries that
    // would land outside the folder, links and special files are refused. The text says why it failed.
    static std::optional<QString> unpack(const QString& archive, const QString& folder);

private:
    QCoro::Task<std::optional<RecognitionError>> install();

    QNetworkAccessManager& m_network;
    ModelSource m_source;
    QString m_languageName;
    QString m_destination;
    ModelCheck m_isModel;
};

} // namespace parlune
