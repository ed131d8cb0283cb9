// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/parakeet/ParakeetModelSlot.h"

#include "platform/FreedMemory.h"

#include <thread>

namespace parlune {

ParakeetModelSlot::ParakeetModelSlot(ModelLoader loadModel, VoiceActivityLoader loadVoiceActivity)
    : m_loadModel(std::move(loadModel))
    , m_loadVoiceActivity(std::move(loadVoiceActivity))
{}

ParakeetModelSlot::~ParakeetModelSlot() = default;

Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError> ParakeetModelSlot::model()
{
    std::lock_guard loading(m_loading);
    int generation = 0;
    {
        std::lock_guard lock(m_mutex);
        if (m_model)
            return m_model;
        generation = m_generation;
    }
    Outcome<std::shared_ptr<PhraseDecoder>, RecognitionError> loaded = m_loadModel();
    if (loaded) {
        std::lock_guard lock(m_mutex);
        if (generation == m_generation)
            m_model = loaded.value();
    }
    return loaded;
}

bool ParakeetModelSlot::isLoaded() const
{
    std::lock_guard lock(m_mutex);
    return m_model != nullptr;
}

Outcome<std::unique_ptr<VoiceActivity>, RecognitionError> ParakeetModelSlot::takeVoiceActivity()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_voices.empty()) {
            std::unique_ptr<VoiceActivity> voice = std::move(m_voices.back());
            m_voices.pop_back();
            return voice;
        }
    }
    return m_loadVoiceActivity();
}

void ParakeetModelSlot::giveBack(std::unique_ptr<VoiceActivity> voice)
{
    voice->reset();
    std::lock_guard lock(m_mutex);
    // Taken since the unload: it goes with the dictation instead.
    if (m_model)
        m_voices.push_back(std::move(voice));
}

void ParakeetModelSlot::unload()
{
    std::shared_ptr<PhraseDecoder> model;
    std::vector<std::unique_ptr<VoiceActivity>> voices;
    {
        std::lock_guard lock(m_mutex);
        ++m_generation;
        model = std::move(m_model);
        voices = std::move(m_voices);
    }
    if (!model && voices.empty())
        return;
    // Freeing hundreds of megabytes is not the interface's work; the allocator then gives the pages back.
    std::thread([model = std::move(model), voices = std::move(voices)]() mutable {
        model.reset();
        voices.clear();
        returnFreedMemory();
    }).detach();
}

} // namespace parlune
