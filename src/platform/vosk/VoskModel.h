// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Outcome.h"
#include "platform/Recognizer.h"
#include "platform/models/ModelGuard.h"
#include "platform/vosk/VoskLibrary.h"
#include "platform/vosk/VoskStream.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

namespace parlune {

// A loaded Vosk model and the recognisers made from it. Loading takes seconds and hundreds of
// megabytes, so the model is loaded once and kept; every dictation gets a recogniser of its own, and a
// recogniser a finished dictation gave back serves the next one. Safe to use from several threads.
class VoskModel
{
public:
    VoskModel(std::shared_ptr<const VoskLibrary> library, vosk_model* model);
    ~VoskModel();
    VoskModel(const VoskModel&) = delete;
    VoskModel& operator=(const VoskModel&) = delete;

    // A recogniser for one dictation.
    Outcome<std::unique_ptr<VoskStream>, RecognitionError> acquire();
    void release(std::unique_ptr<VoskStream> stream);

    // Recognisers made so far, in use or waiting.
    int recognizerCount() const;

private:
    std::shared_ptr<const VoskLibrary> m_library;
    vosk_model* m_model;
    mutable std::mutex m_mutex;
    std::vector<std::unique_ptr<VoskStream>> m_free;
    int m_made = 0;
};

// The model of one locale: loaded by its first user, from whatever thread, and kept for the rest of
// the run. A load that fails is tried again by the next user. With a guard, the model is loaded only
// once the guard has let it (`clearForLoading`), and each load is marked in its folder while it runs.
class VoskModelSlot
{
public:
    // `languageName` ("Français") names the language in failures.
    VoskModelSlot(std::shared_ptr<const VoskLibrary> library, QString folder, QString languageName,
                  std::shared_ptr<ModelGuard> guard = nullptr);

    // Main thread, before a load: asks the guard whether the model may be loaded in this process.
    QCoro::Task<std::optional<RecognitionError>> clearForLoading();
    // Blocks while the model loads.
    Outcome<std::shared_ptr<VoskModel>, RecognitionError> get();
    bool isLoaded() const;
    // The guard refused the model, or the library did.
    bool isRefused() const;
    // Why the model cannot serve.
    RecognitionError refusal() const;
    const QString& folder() const { return m_folder; }

private:
    const std::shared_ptr<const VoskLibrary> m_library;
    const QString m_folder;
    const QString m_languageName;
    const std::shared_ptr<ModelGuard> m_guard;
    mutable std::mutex m_mutex;
    std::shared_ptr<VoskModel> m_model;
    // Read without the lock, which a load holds for seconds.
    std::atomic<bool> m_cleared = false;
    std::atomic<bool> m_refused = false;
};

} // namespace parlune
