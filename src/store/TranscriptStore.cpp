// SPDX-License-Identifier: GPL-3.0-or-later
#include "store/TranscriptStore.h"

#include "store/AppPaths.h"
#include "store/AtomicFile.h"
#include "store/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace parlune {

namespace {

// Only the 36-character form is an id: hexadecimal digits (either case) in groups of 8, 4, 4, 4 and 12.
// QUuid alone would also take braces, and gives the nil id for anything it cannot read.
std::optional<QUuid> readId(const QJsonValue& value)
{
    const QString text = value.toString();
    if (!value.isString() || text.size() != 36)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
        if (hyphen ? c != '-' : !hex)
            return std::nullopt;
    }
    return QUuid::fromString(text);
}

std::optional<TranscriptEntry> readEntry(const QJsonValue& value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    const std::optional<QUuid> id = readId(object.value(QLatin1String("id")));
    const QJsonValue date = object.value(QLatin1String("date"));
    const QJsonValue text = object.value(QLatin1String("text"));
    if (!id || !date.isDouble() || !std::isfinite(date.toDouble()) || !text.isString())
        return std::nullopt;
    return TranscriptEntry{*id, Date{date.toDouble()}, text.toString()};
}

} // namespace

TranscriptStore::TranscriptStore(QString url, FileWriteQueue& writes)
    : m_writes(writes)
    , m_url(url.isEmpty() ? AppPaths::support() + QLatin1String("/history.json") : std::move(url))
{
    m_writes.waitUntilWritten(m_url);
    // A missing or damaged file gives an empty history; the file is left as it is until the next save.
    if (const std::optional<QByteArray> data = readWholeFile(m_url)) {
        if (auto entries = decode(*data))
            m_entries = std::move(*entries);
    }
}

TranscriptStore::~TranscriptStore()
{
    waitForSaves();
}

TranscriptEntry TranscriptStore::add(const QString& text, Date date)
{
    TranscriptEntry entry{QUuid::createUuid(), date, text};
    m_entries.prepend(entry);
    // A longer file loads whole; it is cut to the newest entries only here.
    if (m_entries.size() > m_limit)
        m_entries.resize(m_limit);
    save();
    return entry;
}

void TranscriptStore::clear()
{
    m_entries.clear();
    save();
}

void TranscriptStore::save()
{
    // The list in memory stays the authority: a failed write leaves the old file, and the next
    // successful one writes everything.
    m_writes.write(m_url, encode(m_entries), 0600);
}

void TranscriptStore::waitForSaves()
{
    m_writes.waitUntilWritten(m_url);
}

QByteArray TranscriptStore::encode(const QList<TranscriptEntry>& entries)
{
    JsonWriter writer;
    writer.beginArray();
    for (const TranscriptEntry& entry : entries) {
        writer.beginObject();
        writer.key("id");
        writer.value(entry.idString());
        writer.key("date");
        writer.value(entry.date.sinceReferenceDate);
        writer.key("text");
        writer.value(entry.text);
        writer.endObject();
    }
    writer.endArray();
    return writer.bytes();
}

std::optional<QList<TranscriptEntry>> TranscriptStore::decode(const QByteArray& json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    QList<TranscriptEntry> entries;
    entries.reserve(array.size());
    // One unreadable element makes the whole history unreadable.
    for (const QJsonValue& element : array) {
        std::optional<TranscriptEntry> entry = readEntry(element);
        if (!entry)
            return std::nullopt;
        entries.append(std::move(*entry));
    }
    return entries;
}

} // namespace parlune
