// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "store/FileWriteQueue.h"
#include "store/TranscriptEntry.h"

#include <QList>
#include <QString>

#include <optional>

namespace parlune {

// The recent dictations, newest first, kept in history.json (private to the user). At most 50 are
// kept after an addition; a longer file still loads whole.
//
// The list in memory is the authority. Each change is saved in the background, through `writes`: the
// main thread only encodes the list, and the file is replaced whole, the saves landing in the order of
// the changes.
class TranscriptStore
{
public:
    static constexpr qsizetype defaultLimit = 50;

    // `url` defaults to history.json in the support folder. The file is read now, once the saves of
    // this program still on their way to it are done; a missing or damaged file gives an empty history
    // and stays untouched until the next addition or clear.
    explicit TranscriptStore(QString url = {}, FileWriteQueue& writes = FileWriteQueue::shared());
    // Waits for the store's saves to reach the disk.
    ~TranscriptStore();
    TranscriptStore(const TranscriptStore&) = delete;
    TranscriptStore& operator=(const TranscriptStore&) = delete;

    const QString& url() const { return m_url; }
    qsizetype limit() const { return m_limit; }
    const QList<TranscriptEntry>& entries() const { return m_entries; }

    TranscriptEntry add(const QString& text, Date date);
    void clear();

    // Waits until the last change is on disk (or its save has failed).
    void waitForSaves();

    static QByteArray encode(const QList<TranscriptEntry>& entries);
    // None when the document or any one of its elements cannot be read.
    static std::optional<QList<TranscriptEntry>> decode(const QByteArray& json);

private:
    void save();

    FileWriteQueue& m_writes;
    QString m_url;
    qsizetype m_limit = defaultLimit;
    QList<TranscriptEntry> m_entries;
};

} // namespace parlune
