// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelCatalogue.h"

namespace parlune {

ModelCatalogue ModelCatalogue::shipped()
{
    // The small Vosk models, as their publisher lists them (one zip each, one top folder holding am/,
    // conf/, graph/ and ivector/). English also has Debian's pocketsphinx model, usable at once.
    return ModelCatalogue({
        ModelSource{QStringLiteral("fr-FR"),
                    QUrl(QStringLiteral("https://alphacephei.com/vosk/models/vosk-model-small-fr-0.22.zip")),
                    42'233'323,
                    "cabf6180e177eb9b3a9a9d43a437bd5e549f3a7d09525e5d69a3fed787be12ad",
                    {}},
        ModelSource{QStringLiteral("es-ES"),
                    QUrl(QStringLiteral("https://alphacephei.com/vosk/models/vosk-model-small-es-0.42.zip")),
                    39'817'833,
                    "09b239888f633ef2f0b4e09736e3d9936acfd810bc65d53fad45261762c6511f",
                    {}},
        ModelSource{
            QStringLiteral("en-US"),
            QUrl(QStringLiteral("https://alphacephei.com/vosk/models/vosk-model-small-en-us-0.15.zip")),
            41'205'931, "30f26242c4eb449f948e42cb302dd7a686cb29a3423a8367f99ff41780942498",
            QStringLiteral("/usr/share/pocketsphinx/model/en-us")},
    });
}

QList<ModelFile> ModelCatalogue::parakeetFiles()
{
    const QString base = QStringLiteral("https://huggingface.co/csukuangfj/"
                                        "sherpa-onnx-nemo-parakeet-tdt-0.6b-v3-int8/resolve/"
                                        "2bda32ec70b097a55adaa07d9a7173915b43cc78/");
    const auto file = [&base](const char* name, qint64 size, const char* sha256) {
        const QString fileName = QString::fromLatin1(name);
        return ModelFile{fileName, QUrl(base + fileName), size, QByteArray(sha256)};
    };
    return {
        file("encoder.int8.onnx", 652'184'281,
             "acfc2b4456377e15d04f0243af540b7fe7c992f8d898d751cf134c3a55fd2247"),
        file("decoder.int8.onnx", 11'845'275,
             "179e50c43d1a9de79c8a24149a2f9bac6eb5981823f2a2ed88d655b24248db4e"),
        file("joiner.int8.onnx", 6'355'277,
             "3164c13fc2821009440d20fcb5fdc78bff28b4db2f8d0f0b329101719c0948b3"),
        file("tokens.txt", 93'939, "d58544679ea4bc6ac563d1f545eb7d474bd6cfa467f0a6e2c1dc1c7d37e3c35d"),
    };
}

QString ModelCatalogue::parakeetNotice()
{
    return QStringLiteral(
        "Parakeet TDT 0.6B v3, modèle de reconnaissance de la parole de NVIDIA, sous licence Creative "
        "Commons Attribution 4.0 International (CC BY 4.0) : https://creativecommons.org/licenses/by/4.0/\n"
        "Modèle d'origine : https://huggingface.co/nvidia/parakeet-tdt-0.6b-v3\n"
        "Converti au format ONNX (int8) par le projet sherpa-onnx : "
        "https://huggingface.co/csukuangfj/sherpa-onnx-nemo-parakeet-tdt-0.6b-v3-int8\n"
        "Parlune télécharge ces fichiers sans les modifier.\n");
}

std::optional<ModelSource> ModelCatalogue::source(const QString& localeIdentifier) const
{
    for (const ModelSource& source : m_sources) {
        if (source.localeIdentifier == localeIdentifier)
            return source;
    }
    return std::nullopt;
}

} // namespace parlune
