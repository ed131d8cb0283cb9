// SPDX-License-Identifier: GPL-3.0-or-later
#include "diagnostics/InertDesktop.h"

#include "audio/AudioRecorder.h"
#include "platform/AudioInput.h"
#include "platform/FocusedElement.h"
#include "platform/KeySynth.h"
#include "platform/Pasteboard.h"
#include "platform/RecognizerChoice.h"
#include "platform/Workspace.h"

namespace parlune {

namespace {

class NoMicrophone final : public AudioInput
{
public:
    AudioFormat inputFormat() override { return {}; }
    void installTap(quint32, std::optional<AudioFormat>, Tap) override {}
    void removeTap() override {}
    void prepare() override {}
    std::optional<Error> start() override { return AudioRecorder::noInputError(); }
    void stop() override {}
    bool isRunning() const override { return false; }
    ObserverToken addConfigurationObserver(std::function<void()>) override { return 0; }
    void removeConfigurationObserver(ObserverToken) override {}
};

// Serves no language, so no language ever becomes ready and no analysis is ever made.
class NoRecognizer final : public Recognizer
{
public:
    QCoro::Task<std::optional<QString>> supportedLocale(QString) override { co_return std::nullopt; }
    QCoro::Task<InstallationRequestOutcome> assetInstallationRequest(Transcriber) override
    {
        co_return RecognitionError{};
    }
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(Transcriber) override
    {
        co_return std::nullopt;
    }
    std::shared_ptr<Analyzer> makeAnalyzer(Transcriber, AnalyzerOptions) override { return nullptr; }
};

class EmptyPasteboard final : public Pasteboard
{
public:
    PasteboardSnapshot items() override { return {}; }
    int changeCount() override { return 0; }
    void clearContents() override {}
    void writeItems(const PasteboardSnapshot&) override {}
};

class NoKeys final : public KeySynth
{
public:
    bool modifiersHeld() override { return false; }
    bool postPaste(PasteChord) override { return false; }
};

class NoWindows final : public Workspace
{
public:
    std::optional<RunningApplication> frontmostApplication() override { return std::nullopt; }
    RunningApplication currentApplication() override { return {}; }
    bool activate(const RunningApplication&) override { return false; }
    bool launch(const QString&, const QStringList&) override { return false; }
};

class NoFocus final : public FocusedElement
{
public:
    std::optional<FocusedElementFacts> focused() override { return std::nullopt; }
};

} // namespace

struct InertDesktop::Parts
{
    // Both engines there, as the window shows them where the accurate one can run.
    std::shared_ptr<RecognizerChoice> recognizer = std::make_shared<RecognizerChoice>(
        nullptr, std::make_shared<NoRecognizer>(), std::make_shared<NoRecognizer>());
    EmptyPasteboard pasteboard;
    NoKeys keySynth;
    NoWindows workspace;
    NoFocus focusedElement;
};

InertDesktop::InertDesktop()
    : m_parts(std::make_unique<Parts>())
{}

InertDesktop::~InertDesktop() = default;

AppCoordinatorServices InertDesktop::services()
{
    AppCoordinatorServices services;
    services.recognizer = m_parts->recognizer;
    services.recognizerChoice = m_parts->recognizer.get();
    services.audioInput = [] { return std::make_shared<NoMicrophone>(); };
    services.workspace = &m_parts->workspace;
    services.pasteboard = &m_parts->pasteboard;
    services.keySynth = &m_parts->keySynth;
    services.focusedElement = &m_parts->focusedElement;
    // No input access, keyboard tap, output, sounds or login entry: the coordinator goes without them.
    return services;
}

} // namespace parlune
