// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/vosk/VoskModel.h"

#include <QFile>

namespace parlune {

VoskModel::VoskModel(std::shared_ptr<const VoskLibrary> library, vosk_model* model)
    : m_library(std::move(library))
    , m_model(model)
{}

VoskModel::~VoskModel()
{
    m_free.clear();
    m_library->modelFree(m_model);
}

Outcome<std::unique_ptr<VoskStream>, RecognitionError> VoskModel::acquire()
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_free.empty()) {
            std::unique_ptr<VoskStream> stream = std::move(m_free.back());
            m_free.pop_back();
            return stream;
        }
    }
    // Made outside the lock: another dictation may give one back meanwhile.
    vosk_recognizer* recognizer = m_library->recognizerNew(m_model, 16000.0f);
    if (!recognizer)
        return RecognitionError{QStringLiteral("Le moteur de dictée n'a pas pu démarrer.")};
    std::lock_guard lock(m_mutex);
    ++m_made;
    return std::make_unique<VoskStream>(m_library, recognizer);
}

void VoskModel::release(std::unique_ptr<VoskStream> stream)
{
    stream->reset();
    std::lock_guard lock(m_mutex);
    m_free.push_back(std::move(stream));
}

int VoskModel::recognizerCount() const
{
    std::lock_guard lock(m_mutex);
    return m_made;
}

VoskModelSlot::VoskModelSlot(std::shared_ptr<const VoskLibrary> library, QString folder, QString languageName,
                             std::shared_ptr<ModelGuard> guard)
    : m_library(std::move(library))
    , m_folder(std::move(folder))
    , m_languageName(std::move(languageName))
    , m_guard(std::move(guard))
{}

QCoro::Task<std::optional<RecognitionError>> VoskModelSlot::clearForLoading()
{
    if (!m_guard || isLoaded())
        co_return std::nullopt;
    const bool cleared = co_await m_guard->mayLoad(m_folder);
    m_cleared = cleared;
    m_refused = !cleared;
    co_return cleared ? std::nullopt : std::optional(refusal());
}

Outcome<std::shared_ptr<VoskModel>, RecognitionError> VoskModelSlot::get()
{
    std::lock_guard lock(m_mutex);
    if (m_model)
        return m_model;
    if (m_guard && !m_cleared)
        return refusal();
    // Kaldi aborts the process on some damaged models: the mark tells the next start that this load
    // never finished.
    std::optional<ModelVerdicts::LoadMark> loading;
    if (m_guard)
        loading.emplace(m_folder);
    vosk_model* model = m_library->modelNew(QFile::encodeName(m_folder).constData());
    if (!model) {
        if (m_guard) {
            ModelVerdicts::record(m_folder, ModelVerdicts::fingerprint(m_folder),
                                  ModelVerdicts::Verdict::refused, "load");
            m_refused = true;
        }
        return refusal();
    }
    m_model = std::make_shared<VoskModel>(m_library, model);
    return m_model;
}

RecognitionError VoskModelSlot::refusal() const
{
    return RecognitionError{
        QStringLiteral("%1 : le modèle de reconnaissance n'a pas pu être chargé.").arg(m_languageName)};
}

bool VoskModelSlot::isRefused() const
{
    return m_refused;
}

bool VoskModelSlot::isLoaded() const
{
    std::lock_guard lock(m_mutex);
    return m_model != nullptr;
}

} // namespace parlune
