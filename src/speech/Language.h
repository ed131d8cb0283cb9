// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaType>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>

namespace parlune {

// The dictation language. The raw value ("fr", "es", "en") is its identity: the settings file stores
// it and the log lines print it.
enum class Language { fr, es, en };

// Every language, in the order the pickers show them.
inline constexpr std::array<Language, 3> allLanguages{Language::fr, Language::es, Language::en};

QString rawValue(Language language);
// The locale handed to the recogniser: "fr-FR", "es-ES", "en-US".
QString localeIdentifier(Language language);
// The name shown to the user: "Français", "Español", "English".
QString displayName(Language language);
// None for anything but one of the three raw values.
std::optional<Language> languageFromRawValue(QStringView raw);

} // namespace parlune

Q_DECLARE_METATYPE(parlune::Language)
