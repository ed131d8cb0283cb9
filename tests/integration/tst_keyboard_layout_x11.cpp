// SPDX-License-Identifier: GPL-3.0-or-later
// Shortcut labels follow the layout the X server uses, from one label to the next.
#include "input/KeyCombo.h"

#include <QProcess>
#include <QTest>

#include <xcb/xcb.h>
// WORKAROUND: libxcb's XKB header names a structure member "explicit", a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>

using namespace parlune;

namespace {

bool setLayout(const QStringList& arguments)
{
    return QProcess::execute(QStringLiteral("setxkbmap"), arguments) == 0;
}

// Switches the core keyboard to another group, as a layout-switch key would.
bool lockGroup(quint8 group)
{
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    bool ok = !xcb_connection_has_error(connection);
    if (ok) {
        std::free(xcb_xkb_use_extension_reply(connection, xcb_xkb_use_extension(connection, 1, 0), nullptr));
        xcb_generic_error_t* error = xcb_request_check(
            connection, xcb_xkb_latch_lock_state_checked(connection, XCB_XKB_ID_USE_CORE_KBD, 0, 0, true,
                                                         group, 0, false, 0));
        ok = !error;
        std::free(error);
    }
    xcb_disconnect(connection);
    return ok;
}

} // namespace

class KeyboardLayoutX11Test : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("DISPLAY"), "run inside scripts/session");
        // The server's layout wins over the one the environment names.
        qputenv("XKB_DEFAULT_LAYOUT", "de");
    }
    void cleanupTestCase() { setLayout({QStringLiteral("us")}); }

    void labelsFollowTheServerLayout()
    {
        QVERIFY(setLayout({QStringLiteral("fr")}));
        QCOMPARE(KeyCombo::keyName(12), QStringLiteral("A"));
        QCOMPARE(KeyCombo::keyName(19), QStringLiteral("É"));
        QCOMPARE((KeyCombo{12, ModifierFlag::control, false}.displayString()), QStringLiteral("⌃A"));

        QVERIFY(setLayout({QStringLiteral("us")}));
        QCOMPARE(KeyCombo::keyName(12), QStringLiteral("Q"));
        QCOMPARE(KeyCombo::keyName(19), QStringLiteral("2"));
    }

    void labelsFollowTheGroupSwitchedTo()
    {
        QVERIFY(setLayout({QStringLiteral("-layout"), QStringLiteral("us,fr")}));
        QVERIFY(lockGroup(0));
        QCOMPARE(KeyCombo::keyName(12), QStringLiteral("Q"));
        QVERIFY(lockGroup(1));
        QCOMPARE(KeyCombo::keyName(12), QStringLiteral("A"));
        QVERIFY(lockGroup(0));
    }
};

QTEST_GUILESS_MAIN(KeyboardLayoutX11Test)
#include "tst_keyboard_layout_x11.moc"
