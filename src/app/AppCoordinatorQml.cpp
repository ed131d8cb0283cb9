// SPDX-License-Identifier: GPL-3.0-or-later
// The coordinator's state in the forms the views read most easily.
#include "app/AppCoordinator.h"

namespace parlune {

QString AppCoordinator::languageCode() const
{
    return rawValue(m_language);
}

void AppCoordinator::setLanguageCode(const QString& code)
{
    if (const std::optional<Language> language = languageFromRawValue(code))
        setLanguage(*language);
}

} // namespace parlune
