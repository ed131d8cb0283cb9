// SPDX-License-Identifier: GPL-3.0-or-later
// The recording panel on the private desktop: shown at the bottom of the screen, it does not take the
// keyboard focus from the application the text is for. (Clicks cannot give it the focus either: its
// window refuses it, which the panel's unit test checks.)
#include "FakeDesktop.h"
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "ui/RecordingHUD.h"

#include <QGuiApplication>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xlib.h>

using namespace parlune;

namespace {

Window inputFocus(Display* display)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

} // namespace

class TestLifecycleSession : public QObject
{
    Q_OBJECT

    Display* m_display = nullptr;

private Q_SLOTS:
    void initTestCase()
    {
        m_display = XOpenDisplay(nullptr);
        QVERIFY(m_display);
    }

    void cleanupTestCase() { XCloseDisplay(m_display); }

    void panelNeverTakesTheFocus()
    {
        SessionChild field(QStringLiteral(PARLUNE_TEST_FIELD), {QStringLiteral("line")});
        QVERIFY(field.waitForLine("ready"));
        QTRY_VERIFY(inputFocus(m_display) > PointerRoot);
        const Window focused = inputFocus(m_display);

        QTemporaryDir folder;
        FakeDesktop desktop(folder.path());
        AppCoordinator coordinator(desktop.services(), false);
        RecordingHUD hud(coordinator);
        hud.show();
        QQuickWindow* panel = hud.panel();
        QTRY_VERIFY(panel->isExposed());
        // Bottom centre of the only screen, 12 above its bottom edge.
        QCOMPARE(panel->position(), QPoint((1920 - 420) / 2, 1080 - 12 - 60));
        QCOMPARE(inputFocus(m_display), focused);

        hud.hide();
        QTRY_VERIFY(!panel->isExposed());
    }
};

QTEST_MAIN(TestLifecycleSession)
#include "tst_lifecycle_session.moc"
