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
    void windowsGoThroughXwaylandWhereTheyWouldBeNativeWayland()
    {
        const auto chosen = [](DisplaySession session, const QByteArray& requested, bool xwayland) {
            return WindowPlatform::chosen(session, requested, xwayland).value_or("none");
        };
        QCOMPARE(chosen(DisplaySession::wayland, {}, true), "xcb");
        QCOMPARE(chosen(DisplaySession::wayland, "wayland;xcb", true), "xcb");
        QCOMPARE(chosen(DisplaySession::wayland, "offscreen", true), "none");
        QCOMPARE(chosen(DisplaySession::wayland, {}, false), "none");
        QCOMPARE(chosen(DisplaySession::x11, {}, true), "none");
    }
};

QTEST_GUILESS_MAIN(TestComponents)
#include "tst_components.moc"
