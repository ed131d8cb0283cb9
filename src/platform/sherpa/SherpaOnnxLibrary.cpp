// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/sherpa/SherpaOnnxLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <dlfcn.h>

namespace parlune {

namespace {

// The version whose structs SherpaOnnxApi.h declares: another one may lay them out differently.
constexpr char expectedVersion[] = "1.13.4";

QString besideExecutable(const char* relativePath)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1String("/../") +
                           QLatin1String(relativePath));
}

} // namespace

QString SherpaOnnxLibrary::installedPath()
{
    return besideExecutable("lib/parlune/libsherpa-onnx-c-api.so");
}

QString SherpaOnnxLibrary::installedVoiceActivityModelPath()
{
    return besideExecutable("share/parlune/silero_vad_v5.onnx");
}

Outcome<std::shared_ptr<const SherpaOnnxLibrary>, QString> SherpaOnnxLibrary::load(const QString& path)
{
    // Local symbols: its ONNX runtime and protobuf stay its own.
    void* handle = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return QString::fromLocal8Bit(dlerror());

    std::shared_ptr<SherpaOnnxLibrary> library(new SherpaOnnxLibrary);
    library->m_path = path;
    QString missing;
    const auto resolve = [&](auto& function, const char* name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(dlsym(handle, name));
        if (!function && missing.isEmpty())
            missing = QString::fromLatin1(name);
    };
    SherpaOnnxLibrary& l = *library;
    resolve(l.getVersionStr, "SherpaOnnxGetVersionStr");
    resolve(l.createOfflineRecognizer, "SherpaOnnxCreateOfflineRecognizer");
    resolve(l.destroyOfflineRecognizer, "SherpaOnnxDestroyOfflineRecognizer");
    resolve(l.createOfflineStream, "SherpaOnnxCreateOfflineStream");
    resolve(l.destroyOfflineStream, "SherpaOnnxDestroyOfflineStream");
    resolve(l.acceptWaveformOffline, "SherpaOnnxAcceptWaveformOffline");
    resolve(l.decodeOfflineStream, "SherpaOnnxDecodeOfflineStream");
    resolve(l.getOfflineStreamResult, "SherpaOnnxGetOfflineStreamResult");
    resolve(l.destroyOfflineRecognizerResult, "SherpaOnnxDestroyOfflineRecognizerResult");
    resolve(l.createVoiceActivityDetector, "SherpaOnnxCreateVoiceActivityDetector");
    resolve(l.destroyVoiceActivityDetector, "SherpaOnnxDestroyVoiceActivityDetector");
    resolve(l.voiceActivityDetectorAcceptWaveform, "SherpaOnnxVoiceActivityDetectorAcceptWaveform");
    resolve(l.voiceActivityDetectorEmpty, "SherpaOnnxVoiceActivityDetectorEmpty");
    resolve(l.voiceActivityDetectorDetected, "SherpaOnnxVoiceActivityDetectorDetected");
    resolve(l.voiceActivityDetectorFront, "SherpaOnnxVoiceActivityDetectorFront");
    resolve(l.voiceActivityDetectorPop, "SherpaOnnxVoiceActivityDetectorPop");
    resolve(l.voiceActivityDetectorClear, "SherpaOnnxVoiceActivityDetectorClear");
    resolve(l.destroySpeechSegment, "SherpaOnnxDestroySpeechSegment");
    resolve(l.voiceActivityDetectorReset, "SherpaOnnxVoiceActivityDetectorReset");
    resolve(l.voiceActivityDetectorFlush, "SherpaOnnxVoiceActivityDetectorFlush");
    if (!missing.isEmpty())
        return QStringLiteral("%1 has no %2").arg(path, missing);
    if (library->version() != QLatin1String(expectedVersion))
        return QStringLiteral("%1 is sherpa-onnx %2, not %3")
            .arg(path, library->version(), QLatin1String(expectedVersion));
    return std::shared_ptr<const SherpaOnnxLibrary>(std::move(library));
}

QString SherpaOnnxLibrary::version() const
{
    return QString::fromUtf8(getVersionStr());
}

} // namespace parlune
