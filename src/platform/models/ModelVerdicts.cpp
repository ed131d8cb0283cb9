// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/models/ModelVerdicts.h"

#include "store/AtomicFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <optional>
#include <unistd.h>

namespace parlune {

namespace {

const QString ownPrefix = QStringLiteral(".parlune-");
const QString verdictName = QStringLiteral(".parlune-verdict");
const QString markPrefix = QStringLiteral(".parlune-loading-");

const char* verdictText(ModelVerdicts::Verdict verdict)
{
    return verdict == ModelVerdicts::Verdict::loads ? "loads" : "refused";
}

// When a process started, in clock ticks since the boot: with its number, what tells it from a later
// process given the same number.
std::optional<QByteArray> startTime(qint64 process)
{
    const std::optional<QByteArray> stat = readWholeFile(QStringLiteral("/proc/%1/stat").arg(process));
    if (!stat)
        return std::nullopt;
    // The name in brackets may hold blanks; the start time is the 20th field after it.
    const QList<QByteArray> fields = stat->mid(stat->lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 20)
        return std::nullopt;
    return fields.at(19);
}

// The process that left a mark ("<prefix><process>-<n>", holding its start time) is still there.
bool markIsAlive(const QDir& folder, const QString& mark)
{
    const qint64 process = mark.mid(markPrefix.size()).section(u'-', 0, 0).toLongLong();
    const std::optional<QByteArray> started = startTime(process);
    return process > 0 && started && readWholeFile(folder.filePath(mark)) == *started;
}

QStringList marksIn(const QDir& folder)
{
    return folder.entryList({markPrefix + u'*'}, QDir::Files | QDir::Hidden);
}

} // namespace

QByteArray ModelVerdicts::fingerprint(const QString& folder)
{
    const QDir root(folder);
    QStringList lines;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        files.next();
        const QFileInfo file = files.fileInfo();
        if (file.fileName().startsWith(ownPrefix))
            continue;
        lines << QStringLiteral("%1\t%2\t%3")
                     .arg(root.relativeFilePath(file.filePath()))
                     .arg(file.size())
                     .arg(file.lastModified().toMSecsSinceEpoch());
    }
    lines.sort();
    return QCryptographicHash::hash(lines.join(u'\n').toUtf8(), QCryptographicHash::Sha256).toHex();
}

ModelVerdicts::Verdict ModelVerdicts::verdict(const QString& folder, const QByteArray& files)
{
    const std::optional<QByteArray> kept = readWholeFile(QDir(folder).filePath(verdictName));
    if (!kept)
        return Verdict::unknown;
    // A damaged file reads as no verdict at all: the model is checked again.
    const QJsonObject verdict = QJsonDocument::fromJson(*kept).object();
    if (verdict.value(QLatin1String("files")).toString().toLatin1() != files)
        return Verdict::unknown;
    const QString said = verdict.value(QLatin1String("verdict")).toString();
    if (said == QLatin1String(verdictText(Verdict::loads)))
        return Verdict::loads;
    if (said == QLatin1String(verdictText(Verdict::refused)))
        return Verdict::refused;
    return Verdict::unknown;
}

bool ModelVerdicts::record(const QString& folder, const QByteArray& files, Verdict verdict, const char* how)
{
    if (verdict == Verdict::unknown)
        return false;
    const QJsonObject kept{{QLatin1String("files"), QString::fromLatin1(files)},
                           {QLatin1String("verdict"), QLatin1String(verdictText(verdict))},
                           {QLatin1String("by"), QLatin1String(how)}};
    return writeFileAtomically(QDir(folder).filePath(verdictName),
                               QJsonDocument(kept).toJson(QJsonDocument::Compact), 0644);
}

bool ModelVerdicts::recordVerified(const QString& folder)
{
    return record(folder, fingerprint(folder), Verdict::loads, "download");
}

bool ModelVerdicts::loadWasInterrupted(const QString& folder)
{
    const QDir dir(folder);
    const QStringList marks = marksIn(dir);
    return std::any_of(marks.begin(), marks.end(),
                       [&dir](const QString& mark) { return !markIsAlive(dir, mark); });
}

void ModelVerdicts::forgetInterruptedLoads(const QString& folder)
{
    const QDir dir(folder);
    for (const QString& mark : marksIn(dir)) {
        if (!markIsAlive(dir, mark))
            QFile::remove(dir.filePath(mark));
    }
}

ModelVerdicts::LoadMark::LoadMark(const QString& folder)
{
    static std::atomic<int> made;
    const qint64 process = ::getpid();
    m_path = QDir(folder).filePath(markPrefix + QStringLiteral("%1-%2").arg(process).arg(++made));
    // Not synced: the mark has to outlive this process, not the computer.
    QFile mark(m_path);
    if (!mark.open(QIODevice::WriteOnly) || mark.write(startTime(process).value_or(QByteArray())) < 0)
        m_path.clear();
}

ModelVerdicts::LoadMark::~LoadMark()
{
    if (!m_path.isEmpty())
        QFile::remove(m_path);
}

} // namespace parlune
