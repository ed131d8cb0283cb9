// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atspi/AtspiWorkspace.h"

#include "platform/atspi/AtspiTree.h"

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>

namespace parlune {

namespace {

QString executableName(qint64 processIdentifier)
{
    const QString path = QStringLiteral("/proc/%1/").arg(processIdentifier);
    const QString executable = QFile::symLinkTarget(path + QStringLiteral("exe"));
    if (!executable.isEmpty())
        return QFileInfo(executable).fileName();
    // Another user's process: its short name is still readable.
    QFile comm(path + QStringLiteral("comm"));
    return comm.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(comm.readAll().trimmed()) : QString();
}

} // namespace

AtspiWorkspace::AtspiWorkspace(Workspace& xwayland)
    : m_xwayland(xwayland)
{}

std::optional<RunningApplication> AtspiWorkspace::frontmostApplication()
{
    // Our own windows are not asked over the bus (we would be asking ourselves): Qt knows whether one of
    // them has the focus.
    if (QGuiApplication::applicationState() == Qt::ApplicationActive)
        return currentApplication();
    if (std::optional<atspi::ActiveWindow> active = atspi::activeWindowOfAnotherApplication()) {
        RunningApplication application;
        GError* error = nullptr;
        if (gchar* name = atspi_accessible_get_name(active->application.get(), &error)) {
            application.bundleIdentifier = QString::fromUtf8(name);
            g_free(name);
        }
        if (error)
            g_error_free(error);
        application.processIdentifier = active->processIdentifier;
        application.instanceName = executableName(active->processIdentifier);
        return application;
    }
    return m_xwayland.frontmostApplication();
}

RunningApplication AtspiWorkspace::currentApplication()
{
    return m_xwayland.currentApplication();
}

bool AtspiWorkspace::activate(const RunningApplication& application)
{
    return application.window != 0 && m_xwayland.activate(application);
}

bool AtspiWorkspace::launch(const QString& program, const QStringList& arguments)
{
    return m_xwayland.launch(program, arguments);
}

} // namespace parlune
