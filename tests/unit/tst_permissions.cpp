// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeFocusedElement.h"
#include "FakeWorkspace.h"
#include "system/Permissions.h"

#include <QTest>

using namespace parlune;

using Verdict = std::optional<bool>;
Q_DECLARE_METATYPE(Verdict)

class PermissionsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void focusedElementVerdict_data()
    {
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("role");
        QTest::addColumn<bool>("editable");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("line edit") << true << "entry" << true << Verdict(true);
        QTest::newRow("read-only text view still counts") << true << "text" << false << Verdict(true);
        QTest::newRow("password field") << true << "password text" << true << Verdict(true);
        QTest::newRow("terminal") << true << "terminal" << false << Verdict(true);
        QTest::newRow("web page, no field focused") << true << "document web" << false << Verdict(true);
        QTest::newRow("editable combo box") << true << "combo box" << true << Verdict(true);
        QTest::newRow("custom editable view") << true << "panel" << true << Verdict(true);
        QTest::newRow("button") << true << "push button" << false << Verdict(false);
        QTest::newRow("plain combo box") << true << "combo box" << false << Verdict(false);
        QTest::newRow("role unreadable") << true << "" << false << Verdict(false);
        QTest::newRow("nothing focused or no bus") << false << "" << false << Verdict();
    }

    void focusedElementVerdict()
    {
        QFETCH(bool, readable);
        QFETCH(QString, role);
        QFETCH(bool, editable);
        QFETCH(Verdict, verdict);
        FakeFocusedElement focused;
        FakeWorkspace workspace;
        if (readable)
            focused.facts = FocusedElementFacts{role, editable};
        Permissions permissions(focused, workspace, QStringLiteral("GNOME"));
        QCOMPARE(permissions.focusedElementAcceptsText(), verdict);
    }

    void settingsPagesOfEachDesktop_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<QStringList>("accessibility");
        QTest::addColumn<QStringList>("keyboard");
        QTest::newRow("GNOME") << "GNOME" << QStringList{"gnome-control-center", "universal-access"}
                               << QStringList{"gnome-control-center", "keyboard"};
        QTest::newRow("Ubuntu's GNOME")
            << "ubuntu:GNOME" << QStringList{"gnome-control-center", "universal-access"}
            << QStringList{"gnome-control-center", "keyboard"};
        QTest::newRow("Plasma") << "KDE" << QStringList{"systemsettings", "kcm_access"}
                                << QStringList{"systemsettings", "kcm_keyboard"};
        QTest::newRow("Xfce") << "XFCE" << QStringList{"xfce4-accessibility-settings"}
                              << QStringList{"xfce4-keyboard-settings"};
        QTest::newRow("Cinnamon") << "X-Cinnamon" << QStringList{"cinnamon-settings", "universal-access"}
                                  << QStringList{"cinnamon-settings", "keyboard"};
        QTest::newRow("unknown window manager") << "i3" << QStringList{} << QStringList{};
        QTest::newRow("no desktop at all") << "" << QStringList{} << QStringList{};
    }

    void settingsPagesOfEachDesktop()
    {
        QFETCH(QString, desktop);
        QFETCH(QStringList, accessibility);
        QFETCH(QStringList, keyboard);
        FakeFocusedElement focused;
        FakeWorkspace workspace;
        Permissions permissions(focused, workspace, desktop);

        permissions.requestAccessibility();
        permissions.openKeyboardSettings();
        std::vector<QStringList> expected;
        if (!accessibility.isEmpty())
            expected.push_back(accessibility);
        if (!keyboard.isEmpty())
            expected.push_back(keyboard);
        QCOMPARE(workspace.launched, expected);
    }
};

QTEST_GUILESS_MAIN(PermissionsTest)
#include "tst_permissions.moc"
