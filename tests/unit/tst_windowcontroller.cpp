// SPDX-License-Identifier: GPL-3.0-or-later
// The main window lives while it is open: built when shown, freed with its view when the user closes
// it, built anew by the next show.
#include "QuickRender.h"
#include "StagedCoordinator.h"
#include "app/AppWindowController.h"

#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

using namespace parlune;

class TestWindowController : public QObject
{
    Q_OBJECT

public:
    static void initMain() { QuickRender::useSoftwareRenderer(); }

private Q_SLOTS:
    void closedWindowIsFreedAndBuiltAgain()
    {
        QTemporaryDir folder;
        const QString view = folder.filePath(QStringLiteral("View.qml"));
        QFile file(view);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("import QtQuick\nItem { required property QtObject coordinator; implicitWidth: 380; "
                   "implicitHeight: 200 }\n");
        file.close();
        StagedDesktop staged;
        AppWindowController windows(staged.coordinator, QUrl::fromLocalFile(view));

        windows.show();
        QPointer<QQuickWindow> first = windows.window();
        QVERIFY(first && first->isVisible());
        QCOMPARE(first->size(), QSize(380, 200));
        QPointer<QQuickItem> content = first->contentItem()->childItems().value(0);
        QVERIFY(content);
        // Shown again while open: the same window comes forward.
        windows.show();
        QCOMPARE(windows.window(), first.data());

        first->close();
        QVERIFY(!windows.window());
        QTRY_VERIFY(!first && !content);

        windows.show();
        QVERIFY(windows.window() && windows.window()->isVisible());
        QCOMPARE(windows.window()->size(), QSize(380, 200));
    }
};

QTEST_MAIN(TestWindowController)
#include "tst_windowcontroller.moc"
