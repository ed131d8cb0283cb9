// SPDX-License-Identifier: GPL-3.0-or-later
#include "speech/Language.h"

namespace parlune {

QString rawValue(Language language)
{
    switch (language) {
    case Language::fr:
        return QStringLiteral("fr");
    case Language::es:
        return QStringLiteral("es");
    case Language::en:
        return QStringLiteral("en");
    }
    return {};
}

QString localeIdentifier(Language language)
{
    switch (language) {
    case Language::fr:
        return QStringLiteral("fr-FR");
    case Language::es:
        return QStringLiteral("es-ES");
    case Language::en:
        return QStringLiteral("en-US");
    }
    return {};
}

QString displayName(Language language)
{
    switch (language) {
    case Language::fr:
        return QStringLiteral("Français");
    case Language::es:
        return QStringLiteral("Español");
    case Language::en:
        return QStringLiteral("English");
    }
    return {};
}

std::optional<Language> languageFromRawValue(QStringView raw)
{
    for (Language language : allLanguages) {
        if (raw == rawValue(language))
            return language;
    }
    return std::nullopt;
}

} // namespace parlune
