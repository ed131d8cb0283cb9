// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Clock.h"
#include "platform/Recognizer.h"
#include "platform/models/ModelPackage.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QNetworkAccessManager;

namespace parlune {

// Installs a model: downloads its files one by one into a hidden folder beside its destination,
// checks each against its published size and SHA-256, unpacks an archive, and renames the model into
// place, so that the destination holds the whole model or nothing. What was downloaded survives a
// failure, a cancellation and a restart of the program: the next attempt hashes it again and fetches
// only the rest. A file found damaged is removed. Free space is checked before any byte is fetched.
//
// One installation of a model runs at a time across every Parlune process (a lock beside the model):
// another one waits for it, showing how far it has come, and then uses the model it installed. The
// progress tells each step, and the bytes, speed and time left of the download, at most once a percent
// or once a second. Failures name what is installed ("Français : …", "Modèle précis : …").
class ModelInstallation final : public AssetInstallationRequest
{
public:
    // What the installation asks of the system, replaced in tests.
    struct Environment
    {
        Clock* clock = &SystemClock::instance();
        // Bytes free for the user in `folder`; none when the system cannot tell.
        std::function<std::optional<qint64>(const QString& folder)> freeSpace = systemFreeSpace;
    };
    static std::optional<qint64> systemFreeSpace(const QString& folder);

    ModelInstallation(std::shared_ptr<QNetworkAccessManager> network, ModelPackage package,
                      Environment environment);
    // On the system's clock and disk.
    ModelInstallation(std::shared_ptr<QNetworkAccessManager> network, ModelPackage package);

    QCoro::Task<std::optional<RecognitionError>> downloadAndInstall() override;

    // Makes installations of the accurate model into `modelsFolder`, sharing one network access.
    using Factory = std::function<std::shared_ptr<AssetInstallationRequest>()>;
    static Factory parakeetFactory(QString modelsFolder);

private:
    std::shared_ptr<QNetworkAccessManager> m_network;
    ModelPackage m_package;
    Environment m_environment;
};

} // namespace parlune
