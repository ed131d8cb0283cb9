// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeAutostart.h"
#include "platform/xdg/XdgAutostart.h"
#include "system/LoginItem.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <unistd.h>

using namespace parlune;

namespace {

// What the program writes to standard error (the log's copy) while `action` runs.
QString standardErrorOf(const std::function<void()>& action)
{
    QTemporaryFile capture;
    if (!capture.open())
        return {};
    fflush(stderr);
    const int saved = dup(STDERR_FILENO);
    dup2(capture.handle(), STDERR_FILENO);
    action();
    fflush(stderr);
    dup2(saved, STDERR_FILENO);
    close(saved);
    capture.seek(0);
    return QString::fromUtf8(capture.readAll());
}

} // namespace

class LoginItemTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void onlyAChangeTouchesTheRegistration_data()
    {
        QTest::addColumn<bool>("registered");
        QTest::addColumn<QList<bool>>("wanted");
        QTest::addColumn<QStringList>("calls");
        QTest::newRow("start-up, off and not registered") << false << QList<bool>{false} << QStringList{};
        QTest::newRow("switched on twice") << false << QList<bool>{true, true} << QStringList{"register"};
        QTest::newRow("start-up, on and registered") << true << QList<bool>{true} << QStringList{};
        QTest::newRow("switched off") << true << QList<bool>{false, false} << QStringList{"unregister"};
    }

    void onlyAChangeTouchesTheRegistration()
    {
        QFETCH(bool, registered);
        QFETCH(QList<bool>, wanted);
        QFETCH(QStringList, calls);
        FakeAutostart autostart;
        autostart.registered = registered;
        LoginItem item(autostart);
        for (bool enabled : wanted)
            item.set(enabled);
        QCOMPARE(autostart.calls, calls);
    }

    void failedRegistrationLogsOneLine()
    {
        FakeAutostart autostart;
        autostart.failure = QStringLiteral("Permission denied");
        LoginItem item(autostart);
        const QString logged = standardErrorOf([&] { item.set(true); });
        const QStringList lines = logged.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.front().contains(QLatin1String("Parlune LoginItem error: Permission denied")),
                 qPrintable(lines.front()));
    }

    void autostartEntryAppearsAndDisappears()
    {
        QTemporaryDir config;
        XdgAutostart autostart(config.path(), QStringLiteral("/opt/Mes Programmes/parlune"),
                               {LoginItem::launchArgument});
        LoginItem item(autostart);
        QVERIFY(!autostart.isRegistered());

        item.set(true);
        QFile entry(config.filePath(QStringLiteral("autostart/parlune.desktop")));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        entry.close();
        QVERIFY(text.startsWith(QLatin1String("[Desktop Entry]\n")));
        QVERIFY(text.contains(QLatin1String("\nType=Application\n")));
        // A path with a space is quoted, and the login launch is recognisable by its argument.
        QVERIFY(text.contains(QLatin1String("\nExec=\"/opt/Mes Programmes/parlune\" --autostart\n")));
        QVERIFY(autostart.isRegistered());

        item.set(false);
        QVERIFY(!entry.exists());
        QVERIFY(!autostart.isRegistered());
    }

    void entrySwitchedOffByTheDesktopDoesNotCount_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("hidden") << QByteArray("Hidden=true");
        QTest::newRow("disabled in GNOME's session settings")
            << QByteArray("X-GNOME-Autostart-enabled=false");
    }

    void entrySwitchedOffByTheDesktopDoesNotCount()
    {
        QFETCH(QByteArray, line);
        QTemporaryDir config;
        XdgAutostart autostart(config.path(), QStringLiteral("/usr/bin/parlune"),
                               {LoginItem::launchArgument});
        QVERIFY(!autostart.registerProgram());
        QFile entry(autostart.entryPath());
        QVERIFY(entry.open(QIODevice::Append));
        entry.write(line + '\n');
        entry.close();
        QVERIFY(!autostart.isRegistered());

        LoginItem(autostart).set(true);
        QVERIFY(autostart.isRegistered());
    }
};

QTEST_GUILESS_MAIN(LoginItemTest)
#include "tst_loginitem.moc"
