// SPDX-License-Identifier: GPL-3.0-or-later
// What the program hands its snapshot: the snapshot's coordinator stands on services that do nothing.
#include "diagnostics/WindowSnapshot.h"

#include "app/AppCoordinator.h"

#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

class TestProgramServices : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.path().toUtf8()); }

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
