// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "input/KeyCombo.h"
#include "speech/Language.h"
#include "speech/Recognition.h"

#include <QByteArray>

#include <optional>

namespace parlune {

// The settings the user chose, as settings.json keeps them.
struct AppSettings
{
    Language language = Language::fr;
    KeyCombo shortcut = KeyCombo::defaultCombo();
    bool launchAtLogin = false;
    bool muteWhileRecording = false;
    bool onboardingDone = false;
    bool soundsEnabled = true;
    Recognition recognition = Recognition::fast;

    // Compact JSON, members in the order above.
    QByteArray toJson() const;
    // Lenient where it costs nothing (an unknown language is French, an unknown recognition fast, an
    // unreadable shortcut falls back to "holdCombo" and then to the default shortcut), strict about the
    // switches: a switch that is not a JSON boolean, or a document that is not an object, makes the whole
    // record unreadable.
    static std::optional<AppSettings> fromJson(const QByteArray& json);

    friend bool operator==(const AppSettings&, const AppSettings&) = default;
};

} // namespace parlune
