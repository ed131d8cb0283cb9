// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ParluneApp.h"

#include "app/AppCoordinator.h"
#include "app/AppWindowController.h"
#include "ui/BrandMark.h"
#include "ui/MenuContent.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMenu>
#include <QPalette>
#include <QSystemTrayIcon>

namespace parlune {

namespace {

// Whether the desktop's panel is dark, so the icon is drawn light on it. GNOME's top bar is dark
// whatever the theme; elsewhere the panel follows the theme.
bool darkPanel()
{
    if (qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QLatin1String("GNOME"), Qt::CaseInsensitive))
        return true;
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128;
}

} // namespace

ParluneApp::ParluneApp(AppCoordinator& coordinator, AppWindowController& windows, Updater& updater,
                       Pasteboard& pasteboard, QObject* parent)
    : QObject(parent)
    , m_coordinator(coordinator)
    , m_windows(windows)
    , m_updater(updater)
{
    MenuCommands commands;
    commands.showMainWindow = [this] { m_windows.show(); };
    commands.checkForUpdates = [this] {
        startUpdater();
        m_updater.checkForUpdates();
    };
    commands.quit = [] { QCoreApplication::quit(); };
    commands.pasteboard = &pasteboard;
    m_menu = std::make_unique<MenuContent>(m_coordinator, std::move(commands));

    m_tray = std::make_unique<QSystemTrayIcon>();
    m_tray->setToolTip(QStringLiteral("Parlune"));
    m_tray->setContextMenu(m_menu->menu());
    // A click on the icon opens the same menu as the context click.
    connect(m_tray.get(), &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger)
                    m_menu->menu()->popup(QCursor::pos());
            });
    connect(&m_coordinator, &AppCoordinator::isRecordingChanged, this, &ParluneApp::updateIcon);
    updateIcon();
    m_tray->show();
}

ParluneApp::~ParluneApp() = default;

void ParluneApp::updateIcon()
{
    m_tray->setIcon(BrandMark::trayIcon(m_coordinator.isRecording(), darkPanel()));
}

void ParluneApp::startUpdater()
{
    m_updater.controller();
    connectUpdater();
}

void ParluneApp::connectUpdater()
{
    if (m_updaterConnected)
        return;
    m_updaterConnected = true;
    UpdateController& controller = m_updater.controller();
    connect(&controller, &UpdateController::updateFound, this, [this](const AvailableUpdate& update, bool) {
        const QUrl link = update.link;
        m_tray->showMessage(
            tr("Mise à jour disponible"),
            tr("Parlune %1 est disponible. Cliquez ici pour la télécharger.").arg(update.displayVersion));
        disconnect(m_tray.get(), &QSystemTrayIcon::messageClicked, this, nullptr);
        connect(m_tray.get(), &QSystemTrayIcon::messageClicked, this,
                [link] { QDesktopServices::openUrl(link); });
    });
    // A check the user did not ask for stays silent when it finds nothing or fails.
    connect(&controller, &UpdateController::noUpdateFound, this, [this](bool userInitiated) {
        if (userInitiated)
            m_tray->showMessage(tr("Parlune est à jour"), tr("Vous utilisez la dernière version."));
    });
    connect(&controller, &UpdateController::checkFailed, this, [this](bool userInitiated) {
        if (userInitiated)
            m_tray->showMessage(tr("Recherche de mises à jour impossible"),
                                tr("Vérifiez votre connexion à Internet, puis réessayez."),
                                QSystemTrayIcon::Warning);
    });
}

} // namespace parlune
