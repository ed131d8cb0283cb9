// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeAutostart.h"
#include "platform/xdg/XdgAutostart.h"
#include "system/LoginItem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

class LoginItemTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyAChangeTouchesTheRegistration()
    {
        FakeAutostart autostart;
        LoginItem item(autostart);
        for (bool enabled : {false, true, true, false, false})
            item.set(enabled);
        QCOMPARE(autostart.calls, (QStringList{"register", "unregister"}));
    }

    void autostartEntryStartsTheProgramAtLogin()
    {
        QTemporaryDir config;
        XdgAutostart autostart(config.path(), QStringLiteral("/opt/Mes Programmes/parlune"),
                               {LoginItem::launchArgument});
        LoginItem item(autostart);
        item.set(true);
        QFile entry(config.filePath(QStringLiteral("autostart/parlune.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        entry.close();
        QVERIFY(text.startsWith("[Desktop Entry]\nType=Application\n"));
        // A path with a space is quoted, and the login launch is recognisable by its argument.
        QVERIFY(text.contains("\nExec=\"/opt/Mes Programmes/parlune\" --autostart\n"));
        item.set(false);
        QVERIFY(!entry.exists());

        // An entry the desktop's own settings switched off does not count: switching on writes it anew.
        for (const char* off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n"}) {
            QVERIFY(!autostart.registerProgram() && entry.open(QIODevice::Append));
            entry.write(off);
            entry.close();
            QVERIFY(!autostart.isRegistered());
            item.set(true);
            QVERIFY(autostart.isRegistered());
        }
    }
};

QTEST_GUILESS_MAIN(LoginItemTest)
#include "tst_loginitem.moc"
