// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/sherpa/SherpaOnnxApi.h"

#include <QString>

#include <memory>

namespace parlune {

// sherpa-onnx's C interface (with the ONNX runtime it loads from beside itself), opened at run time:
// the program runs without it, on its other engines. Once loaded it stays loaded for the rest of the
// run, even once this object is gone: the runtime keeps global state (its environment, protobuf's
// tables) that only the end of the process frees.
class SherpaOnnxLibrary
{
public:
    // lib/parlune/libsherpa-onnx-c-api.so beside the folder of the executable: /usr/bin → /usr/lib/parlune
    // when installed, build/src → build/lib/parlune in the build folder.
    static QString installedPath();
    // The Silero voice activity model that comes with the program, share/parlune/silero_vad_v5.onnx,
    // found the same way.
    static QString installedVoiceActivityModelPath();

    // The library at `path` with every function the program calls; the text says why not otherwise.
    static Outcome<std::shared_ptr<const SherpaOnnxLibrary>, QString> load(const QString& path);

    SherpaOnnxLibrary(const SherpaOnnxLibrary&) = delete;
    SherpaOnnxLibrary& operator=(const SherpaOnnxLibrary&) = delete;

    const QString& path() const { return m_path; }
    // "1.13.4"
    QString version() const;

    sherpa::SherpaOnnxGetVersionStr_t getVersionStr = nullptr;
    sherpa::SherpaOnnxCreateOfflineRecognizer_t createOfflineRecognizer = nullptr;
    sherpa::SherpaOnnxDestroyOfflineRecognizer_t destroyOfflineRecognizer = nullptr;
    sherpa::SherpaOnnxCreateOfflineStream_t createOfflineStream = nullptr;
    sherpa::SherpaOnnxDestroyOfflineStream_t destroyOfflineStream = nullptr;
    sherpa::SherpaOnnxAcceptWaveformOffline_t acceptWaveformOffline = nullptr;
    sherpa::SherpaOnnxDecodeOfflineStream_t decodeOfflineStream = nullptr;
    sherpa::SherpaOnnxGetOfflineStreamResult_t getOfflineStreamResult = nullptr;
    sherpa::SherpaOnnxDestroyOfflineRecognizerResult_t destroyOfflineRecognizerResult = nullptr;
    sherpa::SherpaOnnxCreateVoiceActivityDetector_t createVoiceActivityDetector = nullptr;
    sherpa::SherpaOnnxDestroyVoiceActivityDetector_t destroyVoiceActivityDetector = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorAcceptWaveform_t voiceActivityDetectorAcceptWaveform = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorEmpty_t voiceActivityDetectorEmpty = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorDetected_t voiceActivityDetectorDetected = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorFront_t voiceActivityDetectorFront = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorPop_t voiceActivityDetectorPop = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorClear_t voiceActivityDetectorClear = nullptr;
    sherpa::SherpaOnnxDestroySpeechSegment_t destroySpeechSegment = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorReset_t voiceActivityDetectorReset = nullptr;
    sherpa::SherpaOnnxVoiceActivityDetectorFlush_t voiceActivityDetectorFlush = nullptr;

private:
    SherpaOnnxLibrary() = default;

    QString m_path;
};

} // namespace parlune
