// SPDX-License-Identifier: GPL-3.0-or-later
// What the program hands its windows: their buttons reach the desktop's settings.
#include "FakeDesktop.h"
#include "ui/MainWindowModel.h"
#include "ui/OnboardingModel.h"

#include <QTest>

using namespace parlune;
using Step = OnboardingModel::Step;

class TestProgramServices : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.path().toUtf8()); }

    void buttonsReachTheDesktop_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QStringList>("launched");
        const QStringList accessibility{"gnome-control-center", "universal-access"};
        QTest::newRow("window's Autoriser") << "window" << accessibility;
        QTest::newRow("walkthrough's Ouvrir les réglages") << "accessibility" << accessibility;
    }

    void buttonsReachTheDesktop()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, launched);
        FakeDesktop desktop(m_dir.path());
        AppCoordinator coordinator(desktop.services(), false);
        Permissions permissions(desktop.focusedElement, desktop.workspace, QStringLiteral("GNOME"), {},
                                [](const QString&) { return true; });
        MainWindowModel window(coordinator, desktopViewServices(permissions, desktop.pasteboard));
        // Without start(), the walkthrough keeps every page.
        const std::unique_ptr<OnboardingModel> walkthrough(window.makeOnboarding(nullptr));
        while (walkthrough->step() != Step::Accessibility)
            walkthrough->next();

        if (button == "window")
            window.requestAccessibility();
        else
            walkthrough->primaryAction();
        QCOMPARE(desktop.workspace.launched, std::vector<QStringList>{launched});
    }
};

QTEST_MAIN(TestProgramServices)
#include "tst_programservices.moc"
