// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/InstanceCommand.h"

#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;

namespace parlune {

// The listening side of the one interactive Parlune per user. The instance listens on a socket in the
// user's runtime folder (InstanceClient makes it, or finds another instance there); each later launch
// writes one command there and is answered "ok" once the command has been carried out.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // Starts taking commands on a socket already listening (made by InstanceClient). False when the
    // descriptor is not one.
    bool listen(int listeningSocket);

Q_SIGNALS:
    // Another launch of the program asked this one to come forward.
    void reopenRequested();
    // Another launch asked for a command (a press, a release…); its answer goes once the signal returns.
    void commandReceived(parlune::InstanceCommand command);

private:
    void readCommand(QLocalSocket* socket);

    std::unique_ptr<QLocalServer> m_server;
};

} // namespace parlune
