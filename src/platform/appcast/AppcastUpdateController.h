// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/UpdateController.h"

#include <QTimer>
#include <QUrl>

class QNetworkAccessManager;

namespace parlune {

// Checks the update feed over HTTPS when started and then once a day, and on request.
class AppcastUpdateController final : public UpdateController
{
    Q_OBJECT

public:
    static constexpr int checkIntervalHours = 24;

    // The feed compiled into the program; empty when the build names none, and then nothing is checked.
    static QUrl defaultFeedUrl();
    // The version of this build.
    static QString currentVersion();

    AppcastUpdateController(QUrl feedUrl, QString currentVersion, QObject* parent = nullptr);
    ~AppcastUpdateController() override;

    void startUpdater() override;
    void checkForUpdates() override;

    // Only HTTPS is trusted to say what to install; plain HTTP is accepted from this machine only.
    static bool isAcceptableFeed(const QUrl& url);

private:
    void check(bool userInitiated);

    QUrl m_feedUrl;
    QString m_currentVersion;
    QNetworkAccessManager* m_network;
    QTimer m_daily;
    bool m_checking = false;
};

} // namespace parlune
