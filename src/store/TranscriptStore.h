// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/TranscriptEntry.h"

#include <QList>
#include <QString>

#include <optional>

namespace parlune {

// The recent dictations, newest first, kept in history.json (private to the user). At most 50 are
// kept after an addition; a longer file still loads whole.
class TranscriptStore
{
public:
    static constexpr qsizetype defaultLimit = 50;

    // `url` defaults to history.json in the support folder. The file is read now; a missing or
    // damaged file gives an empty history and stays untouched until the next addition or clear.
    explicit TranscriptStore(QString url = {});

    const QString& url() const { return m_url; }
    qsizetype limit() const { return m_limit; }
    const QList<TranscriptEntry>& entries() const { return m_entries; }

    TranscriptEntry add(const QString& text, Date date);
    void clear();

    static QByteArray encode(const QList<TranscriptEntry>& entries);
    // None when the document or any one of its elements cannot be read.
    static std::optional<QList<TranscriptEntry>> decode(const QByteArray& json);

private:
    void save() const;

    QString m_url;
    qsizetype m_limit = defaultLimit;
    QList<TranscriptEntry> m_entries;
};

} // namespace parlune
