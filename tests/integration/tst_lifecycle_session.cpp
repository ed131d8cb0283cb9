// SPDX-License-Identifier: GPL-3.0-or-later
// The program on the private desktop: its main window, the hand-over of a second launch, the quiet login
// launch, and the recording panel that never takes the focus.
#include "FakeDesktop.h"
#include "SessionChild.h"
#include "app/AppCoordinator.h"
#include "ui/RecordingHUD.h"

#include <QGuiApplication>
#include <QProcess>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

using namespace parlune;

namespace {

// Top-level windows on screen whose title contains "Parlune".
int parluneWindowsOnScreen(Display* display)
{
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;
    int found = 0;
    if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
        return 0;
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        char* name = nullptr;
        if (XGetWindowAttributes(display, children[i], &attributes) && attributes.map_state == IsViewable &&
            XFetchName(display, children[i], &name) && name) {
            if (QByteArray(name).contains("Parlune"))
                ++found;
        }
        if (name)
            XFree(name);
    }
    if (children)
        XFree(children);
    return found;
}

Window inputFocus(Display* display)
{
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display, &focus, &revert);
    return focus;
}

// The program, quiet (no update check, nothing written to the user's files) unless told otherwise.
class Program
{
public:
    explicit Program(const QStringList& arguments, const QString& runtimeFolder = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // As under a test runner: a quiet coordinator and no update check.
        environment.insert(QStringLiteral("XCTestConfigurationFilePath"), QStringLiteral("1"));
        if (!runtimeFolder.isEmpty())
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtimeFolder);
        m_process.setProcessEnvironment(environment);
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        m_process.start(QStringLiteral(PARLUNE_PROGRAM), arguments);
    }
    ~Program()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(3000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
};

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

    void secondLaunchHandsOverToTheFirst()
    {
        QCOMPARE(parluneWindowsOnScreen(m_display), 0);
        Program first({});
        QTRY_COMPARE_WITH_TIMEOUT(parluneWindowsOnScreen(m_display), 1, 15000);

        Program second({});
        QVERIFY(second.process().waitForFinished(10000));
        QCOMPARE(second.process().exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process().exitCode(), 0);
        QCOMPARE(first.process().state(), QProcess::Running);
        QCOMPARE(parluneWindowsOnScreen(m_display), 1);
    }

    void loginLaunchStaysInTheTray()
    {
        // Input access works on this desktop, the microphone needs no permission and the walkthrough
        // counts as done for a quiet coordinator: nothing needs the user.
        QTemporaryDir runtime;
        Program login({QStringLiteral("--autostart")}, runtime.path());
        QVERIFY(login.process().waitForStarted());
        // Give it the time an ordinary launch takes to open its window; none may appear.
        QVERIFY(!QTest::qWaitFor([&] { return parluneWindowsOnScreen(m_display) > 0; }, 4000));
        QCOMPARE(login.process().state(), QProcess::Running);
    }

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

        // A click on the panel leaves the focus where it was.
        XTestFakeMotionEvent(m_display, -1, 750 + 210 - 40, 1008 + 30, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, True, CurrentTime);
        XTestFakeButtonEvent(m_display, 1, False, CurrentTime);
        XSync(m_display, False);
        QTest::qWait(300);
        QCOMPARE(inputFocus(m_display), focused);

        // On every desktop.
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long after = 0;
        unsigned char* data = nullptr;
        XGetWindowProperty(m_display, Window(panel->winId()),
                           XInternAtom(m_display, "_NET_WM_DESKTOP", False), 0, 1, False, XA_CARDINAL, &type,
                           &format, &items, &after, &data);
        QCOMPARE(items, 1ul);
        // Xlib hands 32-bit items over as longs.
        QCOMPARE(quint32(*reinterpret_cast<long*>(data)), 0xFFFFFFFFu);
        XFree(data);

        hud.hide();
        QTRY_VERIFY(!panel->isExposed());
    }
};

QTEST_MAIN(TestLifecycleSession)
#include "tst_lifecycle_session.moc"
