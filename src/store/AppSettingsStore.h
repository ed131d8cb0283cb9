// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/AppSettings.h"
#include "store/FileWriteQueue.h"

#include <QString>

namespace parlune {

// Reads and writes settings.json. Saves are written off the main thread, in order, and a load waits for
// those still on their way. Failures are silent: a file that cannot be read gives the default record
// and is left untouched until the next save replaces it.
class AppSettingsStore
{
public:
    // `url` defaults to settings.json in the support folder.
    explicit AppSettingsStore(QString url = {}, FileWriteQueue& writes = FileWriteQueue::shared());
    // Waits for the saves still on their way.
    ~AppSettingsStore();
    AppSettingsStore(const AppSettingsStore&) = delete;
    AppSettingsStore& operator=(const AppSettingsStore&) = delete;

    const QString& url() const { return m_url; }

    AppSettings load() const;
    void save(const AppSettings& settings) const;

private:
    FileWriteQueue& m_writes;
    QString m_url;
};

} // namespace parlune
