// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "platform/parakeet/VoiceActivity.h"

#include <QString>

#include <memory>
#include <vector>

namespace parlune {

class SherpaOnnxLibrary;

namespace sherpa {
struct SherpaOnnxVoiceActivityDetector;
}

// Speech and pauses told apart by the Silero model (v5) through sherpa-onnx's detector, tuned for
// dictation: a phrase ends after half a second of silence.
class SileroVoiceActivity : public VoiceActivity
{
public:
    struct Settings
    {
        // Silero's own default: above it a window is speech.
        float threshold = 0.5f;
        // A speaking user pauses a quarter of a second between words and half a second or more
        // between sentences and clauses: cutting there keeps the phrases the model decodes whole.
        float minSilenceSeconds = 0.5f;
        // Shorter bursts (a click, a breath, the key itself) are not speech; a short word is longer.
        float minSpeechSeconds = 0.25f;
        // Past it the detector asks for more certainty of speech, so that it cuts at the next weak
        // spot; it is no hard limit (speech goes on past it where there is no weak spot).
        float maxSpeechSeconds = 15.0f;
    };

    static constexpr int sampleRate = 16000;
    // Silero v5 reads 512 samples at a time at 16 kHz.
    static constexpr int windowSize = 512;

    static Outcome<std::unique_ptr<SileroVoiceActivity>, RecognitionError>
    create(std::shared_ptr<const SherpaOnnxLibrary> library, const QString& modelPath, Settings settings);
    static Outcome<std::unique_ptr<SileroVoiceActivity>, RecognitionError>
    create(std::shared_ptr<const SherpaOnnxLibrary> library, const QString& modelPath)
    {
        return create(std::move(library), modelPath, Settings{});
    }

    ~SileroVoiceActivity() override;

    void accept(std::span<const float> samples) override;
    bool isSpeaking() const override;
    std::optional<SpeechSegment> takeSegment() override;
    void flush() override;
    void reset() override;

private:
    SileroVoiceActivity(std::shared_ptr<const SherpaOnnxLibrary> library,
                        const sherpa::SherpaOnnxVoiceActivityDetector* detector);

    std::shared_ptr<const SherpaOnnxLibrary> m_library;
    const sherpa::SherpaOnnxVoiceActivityDetector* m_detector;
    // Samples short of a whole window, kept until the window is full.
    std::vector<float> m_partialWindow;
};

} // namespace parlune
