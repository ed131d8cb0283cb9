// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xdg/XdgAutostart.h"
#include "platform/xdg/DesktopId.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <utility>

namespace parlune {

namespace {

QString quoted(QString argument)
{
    // A literal percent sign is doubled: single ones are field codes.
    argument.replace(QLatin1Char('%'), QLatin1String("%%"));
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    if (!argument.isEmpty() &&
        std::none_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); }))
        return argument;
    QString escaped;
    for (QChar c : std::as_const(argument)) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

XdgAutostart::XdgAutostart(QString configHome, QString executable, QStringList arguments)
    : m_configHome(std::move(configHome))
    , m_executable(std::move(executable))
    , m_arguments(std::move(arguments))
{}

QString XdgAutostart::entryPath() const
{
    return m_configHome + QLatin1String("/autostart/") + desktopId() + QLatin1String(".desktop");
}

QString XdgAutostart::legacyEntryPath() const
{
    return m_configHome + QLatin1String("/autostart/parlune.desktop");
}

void XdgAutostart::adoptLegacyEntry() const
{
    if (!QFile::exists(legacyEntryPath()))
        return;
    // Renamed whole, so that a login start the desktop's settings switched off stays off. Two entries
    // would start the program twice: the old one goes when the new one is already there.
    if (!QFile::rename(legacyEntryPath(), entryPath()))
        QFile::remove(legacyEntryPath());
}

QString XdgAutostart::execLine() const
{
    QStringList parts{quoted(m_executable)};
    for (const QString& argument : m_arguments)
        parts << quoted(argument);
    return parts.join(QLatin1Char(' '));
}

bool XdgAutostart::isRegistered()
{
    adoptLegacyEntry();
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // An entry switched off by the desktop's own session settings stays in place but does not count.
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line == QLatin1String("Hidden=true") || line == QLatin1String("X-GNOME-Autostart-enabled=false"))
            return false;
    }
    return true;
}

std::optional<QString> XdgAutostart::registerProgram()
{
    adoptLegacyEntry();
    const QString folder = QFileInfo(entryPath()).path();
    if (!QDir().mkpath(folder))
        return QStringLiteral("cannot create the folder %1").arg(folder);
    QSaveFile file(entryPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text))
        return file.errorString();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Parlune\n"
                                         "Comment=Dictée vocale : maintenez le raccourci, parlez, relâchez\n"
                                         "Exec=%1\n"
                                         "Icon=parlune\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execLine());
    file.write(entry.toUtf8());
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

std::optional<QString> XdgAutostart::unregisterProgram()
{
    adoptLegacyEntry();
    QFile file(entryPath());
    if (!file.exists() || file.remove())
        return std::nullopt;
    return file.errorString();
}

} // namespace parlune
