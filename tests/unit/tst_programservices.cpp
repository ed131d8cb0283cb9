// SPDX-License-Identifier: GPL-3.0-or-later
// What the program hands its windows and its snapshot: the buttons reach the desktop's settings and the
// delivery's clipboard, and the snapshot's coordinator stands on services that do nothing.
#include "FakeDesktop.h"
#include "diagnostics/WindowSnapshot.h"
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
        QTest::newRow("walkthrough's Ouvrir les réglages du clavier")
            << "fn" << QStringList{"gnome-control-center", "keyboard"};
        QTest::newRow("a transcript's copy") << "copy" << QStringList{};
    }

    void buttonsReachTheDesktop()
    {
        QFETCH(QString, button);
        QFETCH(QStringList, launched);
        FakeDesktop desktop(m_dir.path());
        AppCoordinator coordinator(desktop.services(), false);
        Permissions permissions(desktop.focusedElement, desktop.workspace, QStringLiteral("GNOME"));
        MainWindowModel window(coordinator, desktopViewServices(permissions, desktop.pasteboard));
        // Without start(), the walkthrough keeps every page.
        const std::unique_ptr<OnboardingModel> walkthrough(window.makeOnboarding(nullptr));
        const Step page = button == "fn" ? Step::FnKey : Step::Accessibility;
        while (walkthrough->step() != page)
            walkthrough->next();

        if (button == "window")
            window.requestAccessibility();
        else if (button == "copy")
            window.copy(QStringLiteral("Bonjour"));
        else
            walkthrough->primaryAction();

        QCOMPARE(desktop.workspace.launched,
                 launched.isEmpty() ? std::vector<QStringList>{} : std::vector<QStringList>{launched});
        QCOMPARE(desktop.pasteboard.content.empty(), button != "copy");
    }

    void snapshotCoordinatorCanBeDrivenWithoutADesktop()
    {
        const std::unique_ptr<AppCoordinator> coordinator = WindowSnapshot::storedState();
        coordinator->toggle();
        coordinator->shortcutPressed();
        coordinator->shortcutReleased();
        coordinator->tick();
        // No language can be recognised: the user is told, and nothing records.
        QCOMPARE(coordinator->status().kind(), RecordingStatus::Message);
        QVERIFY(!coordinator->isRecording());
    }
};

QTEST_MAIN(TestProgramServices)
#include "tst_programservices.moc"
