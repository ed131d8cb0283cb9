// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/appcast/AppcastUpdateController.h"

#include "platform/Log.h"
#include "platform/appcast/Appcast.h"

#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

#include <chrono>

namespace parlune {

QUrl AppcastUpdateController::defaultFeedUrl()
{
    return QUrl(QStringLiteral(PARLUNE_APPCAST_URL));
}

QString AppcastUpdateController::currentVersion()
{
    return QStringLiteral(PARLUNE_VERSION);
}

AppcastUpdateController::AppcastUpdateController(QUrl feedUrl, QString currentVersion, QObject* parent)
    : UpdateController(parent)
    , m_feedUrl(std::move(feedUrl))
    , m_currentVersion(std::move(currentVersion))
    , m_network(new QNetworkAccessManager(this))
{
    m_daily.setInterval(std::chrono::hours(checkIntervalHours));
    connect(&m_daily, &QTimer::timeout, this, [this] { check(false); });
}

AppcastUpdateController::~AppcastUpdateController() = default;

bool AppcastUpdateController::isAcceptableFeed(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == QLatin1String("https"))
        return true;
    return url.scheme() == QLatin1String("http") &&
           (url.host() == QLatin1String("localhost") || QHostAddress(url.host()).isLoopback());
}

void AppcastUpdateController::startUpdater()
{
    m_daily.start();
    check(false);
}

void AppcastUpdateController::checkForUpdates()
{
    check(true);
}

void AppcastUpdateController::check(bool userInitiated)
{
    if (!isAcceptableFeed(m_feedUrl)) {
        if (userInitiated)
            Q_EMIT checkFailed(true);
        return;
    }
    if (m_checking && !userInitiated)
        return;
    m_checking = true;

    QNetworkRequest request(m_feedUrl);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setTransferTimeout(30000);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Parlune/%1").arg(m_currentVersion));
    QNetworkReply* reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, userInitiated] {
        reply->deleteLater();
        m_checking = false;
        if (reply->error() != QNetworkReply::NoError) {
            logLine("Parlune: update check failed: %s", qUtf8Printable(reply->errorString()));
            Q_EMIT checkFailed(userInitiated);
            return;
        }
        const auto newest = Appcast::newestUpdate(reply->readAll());
        if (newest && Appcast::compareVersions(newest->version, m_currentVersion) > 0)
            Q_EMIT updateFound(*newest, userInitiated);
        else
            Q_EMIT noUpdateFound(userInitiated);
    });
}

} // namespace parlune

#include "moc_AppcastUpdateController.cpp"
