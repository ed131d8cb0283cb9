// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FakeAudioInput.h"
#include "FakeAutostart.h"
#include "FakeClock.h"
#include "FakeFocusedElement.h"
#include "FakeHud.h"
#include "FakeInputAccess.h"
#include "FakeKeySynth.h"
#include "FakeKeyboardTap.h"
#include "FakeOutputMixer.h"
#include "FakePasteboard.h"
#include "FakeRecognizer.h"
#include "FakeSound.h"
#include "FakeWorkspace.h"
#include "ManualQueue.h"

#include "app/AppCoordinator.h"
#include "platform/RecognizerChoice.h"
#include "system/LoginItem.h"
#include "system/MediaController.h"
#include "system/Sounds.h"

namespace parlune {

// Every desktop service the coordinator uses, faked, with the files in `folder`. Build the coordinator
// with services(); it must be destroyed before this. With `accurateEngine`, the recogniser chooses between
// `recognizer`, the fast engine, and `accurate`, as the program's does.
struct FakeDesktop
{
    explicit FakeDesktop(QString folder, bool accurateEngine = false)
        : folder(std::move(folder))
    {
        audio.configure = [](FakeAudioInput&) {};
        // The paste lands in the focused field, from the selection its chord pastes.
        keySynth.onPaste = [this](PasteChord chord) {
            focusedElement.paste(chord == PasteChord::shiftInsert ? primarySelection.text()
                                                                  : pasteboard.text());
        };
        if (accurateEngine) {
            accurate = std::make_shared<FakeRecognizer>();
            choice = std::make_shared<RecognizerChoice>(nullptr, recognizer, accurate);
        }
    }

    AppCoordinatorServices services()
    {
        AppCoordinatorServices services;
        services.clock = &clock;
        services.transcripts = std::make_unique<TranscriptStore>(folder + QStringLiteral("/history.json"));
        services.settingsStore =
            std::make_unique<AppSettingsStore>(folder + QStringLiteral("/settings.json"));
        services.makeHud = [this](AppCoordinator&) { return std::make_unique<FakeHud>(hud); };
        services.recognizer = recognizer;
        if (choice) {
            services.recognizer = choice;
            services.recognizerChoice = choice.get();
        }
        services.audioInput = audio.factory();
        services.microphoneStatus = [this] { return microphone; };
        services.inputAccess = &inputAccess;
        services.keyboardTap = &keyboardTap;
        services.desktopShortcut = desktopShortcut;
        services.workspace = &workspace;
        services.pasteboard = &pasteboard;
        services.primarySelection = &primarySelection;
        services.keySynth = &keySynth;
        services.focusedElement = &focusedElement;
        if (directInsertion)
            services.directInsertion = &focusedElement;
        services.media = &media;
        services.sounds = &sounds;
        services.loginItem = &loginItem;
        services.keyboardRepeat = [this] { return keyboardRepeat; };
        return services;
    }

    QString folder;
    FakeHud::State hud;
    std::shared_ptr<FakeRecognizer> recognizer = std::make_shared<FakeRecognizer>();
    std::shared_ptr<FakeRecognizer> accurate;
    std::shared_ptr<RecognizerChoice> choice;
    FakeAudioInputFactory audio;
    MicrophoneAuthorization microphone = MicrophoneAuthorization::Authorized;
    FakeInputAccess inputAccess;
    FakeKeyboardTap keyboardTap;
    // Set for a desktop that binds the shortcut itself (Wayland).
    DesktopShortcut* desktopShortcut = nullptr;
    FakeWorkspace workspace;
    FakePasteboard pasteboard;
    FakePasteboard primarySelection;
    FakeKeySynth keySynth;
    FakeFocusedElement focusedElement;
    KeyboardRepeat keyboardRepeat;
    // Whether texts are first handed straight to the focused widget, as in a Wayland session.
    bool directInsertion = false;
    FakeOutputMixer mixer;
    ManualQueue mediaQueue;
    MediaController media{mixer, mediaQueue};
    QStringList soundLog;
    Sounds sounds{[this](std::vector<float>) -> std::unique_ptr<Sound> {
        return std::make_unique<FakeSound>(&soundLog);
    }};
    FakeAutostart autostart;
    LoginItem loginItem{autostart};
    // Last, so that it goes first: sleeps it ends early still find every service above.
    FakeClock clock;
};

} // namespace parlune
