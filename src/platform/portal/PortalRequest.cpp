// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/portal/PortalRequest.h"

#include <QCoroDBusPendingCall>
#include <QCoroSignal>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QPointer>

#include <optional>

namespace parlune {

namespace {

// Receives the Response of one request, or notices the portal leaving the bus.
class ResponseWaiter : public QObject
{
    Q_OBJECT
public:
    ResponseWaiter(QDBusConnection bus, const QString& path)
        : m_bus(std::move(bus))
        , m_watcher(Portal::service, m_bus, QDBusServiceWatcher::WatchForUnregistration)
    {
        listen(path);
        connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this] {
            if (!response)
                settle({PortalResponse::unanswered, {}, {}});
        });
    }
    ~ResponseWaiter() override { stopListening(); }

    // The portal may give another path than the one we expected (portals older than handle tokens).
    void listen(const QString& path)
    {
        if (path == m_path)
            return;
        stopListening();
        m_path = path;
        m_bus.connect(Portal::service, m_path, QStringLiteral("org.freedesktop.portal.Request"),
                      QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
    }

    void settle(PortalResponse answer)
    {
        response = std::move(answer);
        Q_EMIT settled();
    }

    std::optional<PortalResponse> response;

Q_SIGNALS:
    void settled();

private Q_SLOTS:
    void onResponse(uint code, const QVariantMap& results)
    {
        if (!response)
            settle({code, results, {}});
    }

private:
    void stopListening()
    {
        if (!m_path.isEmpty())
            m_bus.disconnect(Portal::service, m_path, QStringLiteral("org.freedesktop.portal.Request"),
                             QStringLiteral("Response"), this, SLOT(onResponse(uint, QVariantMap)));
        m_path.clear();
    }

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    QString m_path;
};

QDBusMessage portalMessage(const QString& interface, const QString& method, const QVariantList& arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Portal::service, Portal::path, interface, method);
    message.setArguments(arguments);
    return message;
}

} // namespace

QString portalObjectPath(const QDBusConnection& bus, const QString& kind, const QString& token)
{
    // ":1.42" becomes "1_42".
    QString sender = bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    return Portal::path + QLatin1Char('/') + kind + QLatin1Char('/') + sender + QLatin1Char('/') + token;
}

QCoro::Task<PortalResponse> portalRequest(QDBusConnection bus, QString interface, QString method,
                                          QVariantList arguments, QVariantMap options)
{
    static quint64 counter = 0;
    const QString token = QStringLiteral("parlune_%1").arg(++counter);
    options.insert(QStringLiteral("handle_token"), token);
    arguments.append(options);

    // Listening before calling: the answer may come before the call's own reply.
    auto waiter =
        std::make_unique<ResponseWaiter>(bus, portalObjectPath(bus, QStringLiteral("request"), token));
    const QDBusMessage reply = co_await bus.asyncCall(portalMessage(interface, method, arguments), 30000);
    if (reply.type() == QDBusMessage::ErrorMessage)
        co_return PortalResponse{PortalResponse::unanswered, {}, reply.errorName()};
    if (!reply.arguments().isEmpty())
        waiter->listen(reply.arguments().constFirst().value<QDBusObjectPath>().path());
    if (!waiter->response)
        co_await qCoro(waiter.get(), &ResponseWaiter::settled);
    co_return *waiter->response;
}

QCoro::Task<QString> portalCall(QDBusConnection bus, QString interface, QString method,
                                QVariantList arguments)
{
    const QDBusMessage reply = co_await bus.asyncCall(portalMessage(interface, method, arguments), 30000);
    co_return reply.type() == QDBusMessage::ErrorMessage ? reply.errorName() : QString();
}

} // namespace parlune

#include "PortalRequest.moc"
