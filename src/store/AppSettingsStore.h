// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/AppSettings.h"

#include <QString>

namespace parlune {

// Reads and writes settings.json. Failures are silent: a file that cannot be read gives the default
// record and is left untouched until the next save replaces it.
class AppSettingsStore
{
public:
    // `url` defaults to settings.json in the support folder.
    explicit AppSettingsStore(QString url = {});

    const QString& url() const { return m_url; }

    AppSettings load() const;
    void save(const AppSettings& settings) const;

private:
    QString m_url;
};

} // namespace parlune
