// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include "platform/Log.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace parlune {

namespace {

// A line that never ends is no command.
constexpr qsizetype longestLine = 64;

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen(int listeningSocket)
{
    m_server = std::make_unique<QLocalServer>();
    if (!m_server->listen(qintptr(listeningSocket))) {
        logLine("Single instance socket unavailable: %s", qPrintable(m_server->errorString()));
        return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readCommand(socket); });
            // Commands that waited for the program to start are carried out in the order they were
            // given (a press before its release): whatever a connection already holds is read now.
            socket->waitForReadyRead(0);
            readCommand(socket);
        }
    });
    return true;
}

void SingleInstance::readCommand(QLocalSocket* socket)
{
    if (socket->state() != QLocalSocket::ConnectedState)
        return;
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > longestLine)
            socket->disconnectFromServer();
        return;
    }
    const QByteArray word = socket->readLine(longestLine).trimmed();
    const std::optional<InstanceCommand> command = commandFromWord(word.toStdString());
    if (command == InstanceCommand::reopen)
        Q_EMIT reopenRequested();
    else if (command)
        Q_EMIT commandReceived(*command);
    // The launch waits for this answer: it comes once the command has been carried out.
    socket->write(command ? "ok\n" : "unknown\n");
    socket->disconnectFromServer();
}

} // namespace parlune
