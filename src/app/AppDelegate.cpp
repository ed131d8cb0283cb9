// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"

#include "system/LoginItem.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace parlune {

namespace {

// Runs `work` from the event loop, after the caller has returned.
void later(std::function<void()> work)
{
    if (work)
        QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

} // namespace

AppDelegate::AppDelegate(LaunchServices services)
    : m_services(std::move(services))
{}

AppDelegate::Mode AppDelegate::modeFor(const QStringList& arguments)
{
    if (arguments.contains(dictationCheckArgument))
        return Mode::DictationCheck;
    const qsizetype snapshot = arguments.indexOf(snapshotArgument);
    if (snapshot >= 0 && snapshot + 1 < arguments.size())
        return Mode::Snapshot;
    return Mode::Interactive;
}

bool AppDelegate::runsUnderTestRunner()
{
    return QStandardPaths::isTestModeEnabled();
}

AppDelegate::Mode AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    const Mode mode = modeFor(arguments);
    switch (mode) {
    case Mode::DictationCheck:
        later(m_services.runDictationCheck);
        return mode;
    case Mode::Snapshot:
        later([this, path = arguments.at(arguments.indexOf(snapshotArgument) + 1)] {
            if (m_services.runSnapshot)
                m_services.runSnapshot(path);
        });
        return mode;
    case Mode::Interactive:
        break;
    }

    if (!runsUnderTestRunner() && m_services.startUpdater)
        m_services.startUpdater();
    if (isQuietLaunch(arguments))
        return mode;
    later(m_services.showMainWindow);
    return mode;
}

bool AppDelegate::isQuietLaunch(const QStringList& arguments) const
{
    // A manual start is never quiet; a login start is, unless something still needs the user.
    return arguments.contains(LoginItem::launchArgument) && m_services.inputAccessTrusted &&
           m_services.inputAccessTrusted() && m_services.microphoneStatus &&
           m_services.microphoneStatus() == MicrophoneAuthorization::Authorized &&
           m_services.onboardingDone && m_services.onboardingDone();
}

void AppDelegate::applicationShouldHandleReopen()
{
    later(m_services.showMainWindow);
}

} // namespace parlune
