// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <sys/types.h>
#include <thread>

namespace parlune {

// Files written whole on a thread of their own, so that a slow disk never holds up the program: the
// write and its sync can take tens of milliseconds, a network home folder far more. The files of one
// queue are written one at a time; a file gets its contents in the order they were given, and a content
// replaced by a newer one before its turn is never written (the newer one holds all of it), so an older
// content never lands after a newer. Whatever was given is written before the queue is destroyed.
class FileWriteQueue
{
public:
    // Writes `content` to `path` with `mode`; false when it could not (the old file then stays).
    using WriteFunction = std::function<bool(const QString& path, const QByteArray& content, mode_t mode)>;

    // Writes with writeFileAtomically().
    FileWriteQueue();
    explicit FileWriteQueue(WriteFunction write);
    ~FileWriteQueue();
    FileWriteQueue(const FileWriteQueue&) = delete;
    FileWriteQueue& operator=(const FileWriteQueue&) = delete;

    // The program's queue; what it holds is written before the program ends.
    static FileWriteQueue& shared();

    // Returns at once; the content is written after what was given before.
    void write(const QString& path, QByteArray content, mode_t mode);
    // Waits until the last content given for `path` has been written (or has failed to be).
    void waitUntilWritten(const QString& path);

private:
    struct Pending
    {
        QString path;
        QByteArray content;
        mode_t mode;
    };
    void run();

    WriteFunction m_write;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Pending> m_pending;
    QString m_writing;
    bool m_stopping = false;
    std::thread m_thread;
};

} // namespace parlune
