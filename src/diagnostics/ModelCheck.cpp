// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/ModelCheck.h"

#include "platform/Log.h"
#include "platform/models/ModelCheckProcess.h"
#include "platform/sherpa/ParakeetModel.h"
#include "platform/sherpa/SherpaOnnxLibrary.h"
#include "platform/vosk/VoskLibrary.h"
#include "platform/vosk/VoskRecognizer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>

#include <cstring>
#include <vector>

namespace parlune {

namespace {

// Half a second of silence at 16 kHz: enough for the recogniser to run its whole decoding once.
constexpr int silenceSamples = 8000;

int checkVosk(const QString& folder)
{
    const auto library = VoskLibrary::load(VoskLibrary::installedPath());
    if (!library) {
        logLine("Parlune: no Vosk library to check the model with (%s)",
                library.error().toUtf8().constData());
        return ModelCheckProcess::cannotCheck;
    }
    const VoskLibrary& vosk = *library.value();
    vosk_model* model = vosk.modelNew(QFile::encodeName(folder).constData());
    if (!model)
        return ModelCheckProcess::refused;
    vosk_recognizer* recognizer = vosk.recognizerNew(model, 16000.0f);
    bool decoded = false;
    if (recognizer) {
        const std::vector<short> silence(silenceSamples, 0);
        decoded = vosk.recognizerAcceptWaveformS(recognizer, silence.data(), int(silence.size())) >= 0 &&
                  vosk.recognizerFinalResult(recognizer) != nullptr;
        vosk.recognizerFree(recognizer);
    }
    vosk.modelFree(model);
    return decoded ? ModelCheckProcess::loads : ModelCheckProcess::refused;
}

bool isParakeetFolder(const QString& folder)
{
    const QDir dir(folder);
    const QStringList& names = ParakeetModel::fileNames();
    return std::all_of(names.begin(), names.end(), [&dir](const QString& name) { return dir.exists(name); });
}

int checkParakeet(const QString& folder)
{
    const auto library = SherpaOnnxLibrary::load(SherpaOnnxLibrary::installedPath());
    if (!library) {
        logLine("Parlune: no sherpa-onnx library to check the model with (%s)",
                library.error().toUtf8().constData());
        return ModelCheckProcess::cannotCheck;
    }
    const auto model = ParakeetModel::load(library.value(), folder, 1);
    if (!model)
        return ModelCheckProcess::refused;
    const std::vector<float> silence(silenceSamples, 0.0f);
    return model.value()->decode(silence) ? ModelCheckProcess::loads : ModelCheckProcess::refused;
}

} // namespace

std::optional<QString> ModelCheck::requestedFolder(int argc, char** argv)
{
    const QByteArray argument = ModelCheckProcess::argument.toUtf8();
    for (int index = 1; index + 1 < argc; ++index) {
        if (std::strcmp(argv[index], argument.constData()) == 0)
            return QFile::decodeName(argv[index + 1]);
    }
    return std::nullopt;
}

int ModelCheck::run(const QString& folder)
{
    QElapsedTimer clock;
    clock.start();
    int status = ModelCheckProcess::cannotCheck;
    if (VoskRecognizer::isModelFolder(folder))
        status = checkVosk(folder);
    else if (isParakeetFolder(folder))
        status = checkParakeet(folder);
    else
        logLine("Parlune: %s holds no model this program knows", folder.toUtf8().constData());
    logLine("Parlune: model check %s in %.2f s", status == ModelCheckProcess::loads ? "passed" : "failed",
            double(clock.elapsed()) / 1000.0);
    return status;
}

} // namespace parlune
