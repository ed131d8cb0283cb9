// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "platform/parakeet/PhraseDecoder.h"
#include "platform/parakeet/VoiceActivity.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace parlune {

// The Parakeet model and the voice detectors its dictations cut their phrases with. The model takes
// seconds to load and several hundred megabytes: it is loaded once, by its first user, and kept until
// `unload()`, then freed as soon as the last dictation that holds it is over. A voice detector serves
// one dictation at a time; one given back serves the next. Safe to use from several threads; only
// `unload()` and `isLoaded()` are meant for the main thread, and neither waits for a load.
class ParakeetModelSlot
{
public:
    using ModelLoader = std::function<Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError>()>;
    using VoiceActivityOutcome = Outcome<std::unique_ptr<VoiceActivity>, RecognitionError>;
    using VoiceActivityLoader = std::function<VoiceActivityOutcome()>;

    ParakeetModelSlot(ModelLoader loadModel, VoiceActivityLoader loadVoiceActivity);
    ~ParakeetModelSlot();

    // The model, loading it first if needed: blocks meanwhile, as do other users who ask then. A load
    // that fails is tried again by the next user.
    Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError> model();
    bool isLoaded() const;

    // A voice detector for one dictation, to be given back reset when it is over.
    Outcome<std::unique_ptr<VoiceActivity>, RecognitionError> takeVoiceActivity();
    void giveBack(std::unique_ptr<VoiceActivity> voice);

    // Lets go of the model and the waiting voice detectors; a dictation still running keeps what it
    // holds until it is over. Freed off the main thread. A load under way at that moment is not kept.
    void unload();

private:
    const ModelLoader m_loadModel;
    const VoiceActivityLoader m_loadVoiceActivity;
    // Held during a load, so that two users never load the model twice.
    std::mutex m_loading;
    mutable std::mutex m_mutex;
    std::shared_ptr<PhraseDecoder> m_model;
    std::vector<std::unique_ptr<VoiceActivity>> m_voices;
    // Counts the unloads, so that a load that began before one is not kept.
    int m_generation = 0;
};

} // namespace parlune
