// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeFocusedElement.h"
#include "FakeWorkspace.h"
#include "system/Permissions.h"

#include <QTest>

using namespace parlune;

using Verdict = std::optional<bool>;

class PermissionsTest : public QObject
{
    Q_OBJECT

    FakeFocusedElement focused;
    FakeWorkspace workspace;

private Q_SLOTS:
    void focusedWidgetTakesTextByItsRoleOrWhenEditable()
    {
        const auto verdict = [&](std::optional<FocusedElementFacts> facts) {
            focused.facts = facts;
            return Permissions(focused, workspace, QString()).focusedElementAcceptsText();
        };
        QCOMPARE(verdict(FocusedElementFacts{QStringLiteral("entry"), true}), Verdict(true));
        QCOMPARE(verdict(FocusedElementFacts{QStringLiteral("document web"), false}), Verdict(true));
        // An editable combo box has no text role of its own.
        QCOMPARE(verdict(FocusedElementFacts{QStringLiteral("combo box"), true}), Verdict(true));
        QCOMPARE(verdict(FocusedElementFacts{QStringLiteral("combo box"), false}), Verdict(false));
        QCOMPARE(verdict(FocusedElementFacts{QStringLiteral("push button"), false}), Verdict(false));
        QCOMPARE(verdict(std::nullopt), Verdict());
    }

    void settingsPagesOfEachDesktop_data()
    {
        QTest::addColumn<QString>("desktop");
        QTest::addColumn<std::vector<QStringList>>("launched");
        const auto row = [](const char* desktop, std::vector<QStringList> launched) {
            QTest::newRow(desktop) << QString::fromUtf8(desktop) << launched;
        };
        row("ubuntu:GNOME",
            {{"gnome-control-center", "universal-access"}, {"gnome-control-center", "keyboard"}});
        row("XFCE", {{"xfce4-accessibility-settings"}, {"xfce4-keyboard-settings"}});
        row("i3", {});
    }

    void settingsPagesOfEachDesktop()
    {
        QFETCH(QString, desktop);
        QFETCH(std::vector<QStringList>, launched);
        workspace.launched.clear();
        Permissions permissions(focused, workspace, desktop);
        permissions.requestAccessibility();
        permissions.openKeyboardSettings();
        QCOMPARE(workspace.launched, launched);
    }
};

QTEST_GUILESS_MAIN(PermissionsTest)
#include "tst_permissions.moc"
