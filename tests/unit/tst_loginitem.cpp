// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/xdg/DesktopId.h"
#include "platform/xdg/XdgAutostart.h"
#include "system/LoginItem.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

class LoginItemTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void autostartEntryStartsTheProgramAtLogin()
    {
        QTemporaryDir config;
        XdgAutostart autostart(config.path(), QStringLiteral("/opt/Mes Programmes/parlune"),
                               {LoginItem::launchArgument});
        LoginItem item(autostart);
        item.set(true);
        QFile entry(config.filePath(QStringLiteral("autostart/%1.desktop").arg(desktopId())));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        entry.close();
        QVERIFY(text.startsWith("[Desktop Entry]\nType=Application\n"));
        // A path with a space is quoted, and the login launch is recognisable by its argument.
        QVERIFY(text.contains("\nExec=\"/opt/Mes Programmes/parlune\" --autostart\n"));
        // The desktop's own validator has nothing to say about it.
        QProcess validator;
        validator.start(QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate")),
                        {entry.fileName()});
        QVERIFY(validator.waitForFinished());
        QCOMPARE(validator.exitCode(), 0);
        QCOMPARE(validator.readAll(), QByteArray());
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
