// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeFocusedElement.h"
#include "FakeWorkspace.h"
#include "system/Permissions.h"

#include <QTest>

using namespace parlune;

class PermissionsTest : public QObject
{
    Q_OBJECT

    FakeFocusedElement focused;
    FakeWorkspace workspace;

private Q_SLOTS:
    // The accessibility button exists only where it opens the desktop's own settings.
    void accessibilitySettingsOfEachDesktop_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QString>("session");
        QTest::addColumn<QStringList>("installed");
        QTest::addColumn<QStringList>("launched");
        const QStringList everything{"systemsettings", "gnome-control-center",
                                     "xfce4-accessibility-settings"};
        const QStringList gnome{"gnome-control-center", "universal-access"};
        const auto row = [](const char* tag, const char* desktop, const char* session, QStringList installed,
                            QStringList launched) {
            QTest::newRow(tag) << QString(desktop) << QString(session) << installed << launched;
        };
        row("GNOME's relative", "ubuntu:GNOME", "", everything, gnome);
        row("no desktop name, a Plasma session", "", "plasmawayland", everything,
            {"systemsettings", "kcm_access"});
        row("the desktop's settings not installed", "KDE", "", {"gnome-control-center"}, {});
        row("unknown desktop, another's settings installed", "i3", "gnome", everything, {});
        row("nothing known", "", "", everything, {});
    }

    void accessibilitySettingsOfEachDesktop()
    {
        QFETCH(QString, desktop);
        QFETCH(QString, session);
        QFETCH(QStringList, installed);
        QFETCH(QStringList, launched);
        workspace.launched.clear();
        Permissions permissions(focused, workspace, desktop, session,
                                [&](const QString& program) { return installed.contains(program); });
        QCOMPARE(permissions.canRequestAccessibility(), !launched.isEmpty());
        permissions.requestAccessibility();
        QCOMPARE(workspace.launched,
                 launched.isEmpty() ? std::vector<QStringList>{} : std::vector<QStringList>{launched});
    }
};

QTEST_GUILESS_MAIN(PermissionsTest)
#include "tst_permissions.moc"
