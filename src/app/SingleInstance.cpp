// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/SingleInstance.h"

#include "platform/Log.h"
#include "platform/xdg/DesktopId.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace parlune {

namespace {

const QByteArray reopenMessage = QByteArrayLiteral("reopen\n");
// A running instance answers at once; this only bounds a stuck one.
constexpr int handOverTimeoutMs = 2000;

QString runtimeFolder()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return folder.isEmpty() ? QDir::tempPath() : folder;
}

} // namespace

QString SingleInstance::socketPath()
{
    return runtimeFolder() + QLatin1Char('/') + desktopId() + QStringLiteral(".socket");
}

QString SingleInstance::legacySocketPath()
{
    return runtimeFolder() + QStringLiteral("/parlune.socket");
}

bool SingleInstance::handOver()
{
    return handOver(socketPath()) || handOver(legacySocketPath());
}

bool SingleInstance::handOver(const QString& path)
{
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(handOverTimeoutMs))
        return false;
    socket.write(reopenMessage);
    if (!socket.waitForBytesWritten(handOverTimeoutMs))
        return false;
    // Wait for the running instance to read it and close, so that the message is not lost with us.
    socket.waitForDisconnected(handOverTimeoutMs);
    return true;
}

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::listen(const QString& path)
{
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // Only reached when no instance answered there: what is left is a dead instance's socket.
    QLocalServer::removeServer(path);
    if (!m_server->listen(path)) {
        logLine("Single instance socket unavailable: %s", qPrintable(m_server->errorString()));
        return false;
    }
    connect(m_server.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->readAll().contains(reopenMessage.trimmed()))
                    Q_EMIT reopenRequested();
                socket->disconnectFromServer();
            });
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
    return true;
}

} // namespace parlune
