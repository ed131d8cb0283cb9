// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/AppSettingsStore.h"

#include "store/AppPaths.h"
#include "store/AtomicFile.h"

namespace parlune {

AppSettingsStore::AppSettingsStore(QString url, FileWriteQueue& writes)
    : m_writes(writes)
    , m_url(url.isEmpty() ? AppPaths::support() + QLatin1String("/settings.json") : std::move(url))
{}

AppSettingsStore::~AppSettingsStore()
{
    m_writes.waitUntilWritten(m_url);
}

AppSettings AppSettingsStore::load() const
{
    m_writes.waitUntilWritten(m_url);
    // A missing or damaged file is left as it is: the next save replaces it.
    const std::optional<QByteArray> data = readWholeFile(m_url);
    if (!data)
        return {};
    return AppSettings::fromJson(*data).value_or(AppSettings{});
}

void AppSettingsStore::save(const AppSettings& settings) const
{
    m_writes.write(m_url, settings.toJson(), 0600);
}

} // namespace parlune
