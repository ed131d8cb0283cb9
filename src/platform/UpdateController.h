// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QUrl>

namespace parlune {

// A newer version offered by the update feed.
struct AvailableUpdate
{
    QString version;
    QString displayVersion;
    QUrl link;
};

// The software-update service: once started it checks in the background, and it can be asked to check
// now. It tells what it found through its signals; showing it to the user is the tray's job.
class UpdateController : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    virtual void startUpdater() = 0;
    virtual void checkForUpdates() = 0;

Q_SIGNALS:
    // `userInitiated` is true for a check asked for from the menu: only then is "no update" worth
    // telling the user.
    void updateFound(const parlune::AvailableUpdate& update, bool userInitiated);
    void noUpdateFound(bool userInitiated);
    void checkFailed(bool userInitiated);
};

} // namespace parlune
