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

VoskModelSlot::VoskModelSlot(std::shared_ptr<const VoskLibrary> library, QString folder, QString languageName)
    : m_library(std::move(library))
    , m_folder(std::move(folder))
    , m_languageName(std::move(languageName))
{}

Outcome<std::shared_ptr<VoskModel>, RecognitionError> VoskModelSlot::get()
{
    std::lock_guard lock(m_mutex);
    if (m_model)
        return m_model;
    vosk_model* model = m_library->modelNew(QFile::encodeName(m_folder).constData());
    if (!model)
        return RecognitionError{
            QStringLiteral("%1 : le modèle de reconnaissance n'a pas pu être chargé.").arg(m_languageName)};
    m_model = std::make_shared<VoskModel>(m_library, model);
    return m_model;
}

bool VoskModelSlot::isLoaded() const
{
    std::lock_guard lock(m_mutex);
    return m_model != nullptr;
}

} // namespace parlune
