// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/WindowPlatform.h"

#include <QTest>

using namespace parlune;

class TestComponents : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // In a Wayland session with Xwayland the windows go through it, unless another platform was asked
    // for (the snapshot's offscreen rendering, a test's).
    void windowsGoThroughXwaylandWhereTheyWouldBeNativeWayland_data()
    {
        QTest::addColumn<bool>("wayland");
        QTest::addColumn<QByteArray>("requested");
        QTest::addColumn<bool>("xwayland");
        QTest::addColumn<QByteArray>("chosen");
        QTest::newRow("Wayland, nothing asked") << true << QByteArray() << true << QByteArray("xcb");
        QTest::newRow("Wayland first in the desktop's list")
            << true << QByteArray("wayland;xcb") << true << QByteArray("xcb");
        QTest::newRow("offscreen rendering stays") << true << QByteArray("offscreen") << true << QByteArray();
        QTest::newRow("no Xwayland") << true << QByteArray() << false << QByteArray();
        QTest::newRow("X11 session") << false << QByteArray() << true << QByteArray();
    }

    void windowsGoThroughXwaylandWhereTheyWouldBeNativeWayland()
    {
        QFETCH(bool, wayland);
        QFETCH(QByteArray, requested);
        QFETCH(bool, xwayland);
        QFETCH(QByteArray, chosen);
        const auto platform = WindowPlatform::chosen(wayland ? DisplaySession::wayland : DisplaySession::x11,
                                                     requested, xwayland);
        QCOMPARE(platform.value_or(QByteArray()), chosen);
    }
};

QTEST_GUILESS_MAIN(TestComponents)
#include "tst_components.moc"
