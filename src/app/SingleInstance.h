// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace parlune {

// One interactive Parlune per user. The first instance listens on a socket in the user's runtime
// folder; a later launch finds it there, asks it to bring its window forward, and exits.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    // The socket's path: $XDG_RUNTIME_DIR/<desktop id>.socket (the temporary folder when unset).
    static QString socketPath();
    // Where an instance started under the program's earlier name listens: parlune.socket.
    static QString legacySocketPath();

    // Asks a running instance listening at `path` to come forward; false when none answers.
    static bool handOver(const QString& path);
    // The same at the socket's path, then at the earlier one: the instance a user started before an
    // upgrade still comes forward instead of running beside a second one.
    static bool handOver();

    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts listening at `path`, replacing a socket left behind by an instance that died. False when the
    // socket cannot be made.
    bool listen(const QString& path = socketPath());

Q_SIGNALS:
    // Another launch of the program asked this one to come forward.
    void reopenRequested();

private:
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace parlune
