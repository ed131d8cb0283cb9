// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"
#include "app/SingleInstance.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

class TestAppDelegate : public QObject
{
    Q_OBJECT

    QStringList m_calls;

    // A launch whose services log their calls; `missing` names what still needs the user, if anything.
    AppDelegate delegate(const QString& missing = {})
    {
        LaunchServices services;
        services.runDictationCheck = [this] { m_calls << QStringLiteral("check"); };
        services.runSnapshot = [this](const QString& path) { m_calls << QStringLiteral("snapshot ") + path; };
        services.startUpdater = [this] { m_calls << QStringLiteral("updater"); };
        services.showMainWindow = [this] { m_calls << QStringLiteral("window"); };
        services.inputAccessTrusted = [missing] { return missing != u"input access"; };
        services.microphoneStatus = [missing] {
            return missing == u"microphone not asked" ? MicrophoneAuthorization::NotDetermined
                                                      : MicrophoneAuthorization::Authorized;
        };
        services.onboardingDone = [missing] { return missing != u"walkthrough"; };
        return AppDelegate(std::move(services));
    }

private Q_SLOTS:
    void init() { m_calls.clear(); }

    void launch_data()
    {
        QTest::addColumn<QString>("arguments");
        QTest::addColumn<QString>("missing");
        QTest::addColumn<bool>("testRun");
        // What the launch started, including what it left for the event loop.
        QTest::addColumn<QString>("calls");

        const auto row = [](const QByteArray& tag, const char* arguments, const char* missing,
                            const char* calls, bool testRun = false) {
            QTest::newRow(tag.constData())
                << QString(arguments) << QString(missing) << testRun << QString(calls);
        };
        row("ordinary launch", "", "", "updater window");
        row("under a test program", "", "", "window", true);
        row("self-check", "--check-dictation", "", "check");
        row("snapshot", "--snapshot /tmp/a.png", "", "snapshot /tmp/a.png");
        row("snapshot without a path: an ordinary launch", "--snapshot", "", "updater window");
        row("login launch with everything granted", "--autostart", "", "updater");
        for (const char* missing : {"input access", "microphone not asked", "walkthrough"})
            row("login launch without " + QByteArray(missing), "--autostart", missing, "updater window");
    }

    void launch()
    {
        QFETCH(QString, arguments);
        QFETCH(QString, missing);
        QFETCH(bool, testRun);
        QFETCH(QString, calls);
        AppDelegate launcher = delegate(missing);
        QStandardPaths::setTestModeEnabled(testRun);
        launcher.applicationDidFinishLaunching(QStringList{QStringLiteral("parlune")} +
                                               arguments.split(u' ', Qt::SkipEmptyParts));
        QStandardPaths::setTestModeEnabled(false);
        QCoreApplication::processEvents();
        QCOMPARE(m_calls.join(u' '), calls);
    }

    void secondLaunchHandsOverToTheRunningOne()
    {
        QTemporaryDir runtime;
        const QString path = runtime.filePath(QStringLiteral("parlune.socket"));
        QVERIFY(!SingleInstance::handOver(path));
        SingleInstance running;
        QVERIFY(running.listen(path));
        QSignalSpy reopened(&running, &SingleInstance::reopenRequested);
        // The second launch blocks on its side; the running one answers from its event loop.
        bool handedOver = false;
        QMetaObject::invokeMethod(
            this, [&] { handedOver = SingleInstance::handOver(path); }, Qt::QueuedConnection);
        QTRY_COMPARE(reopened.size(), 1);
        QTRY_VERIFY(handedOver);
        // A socket left behind by an instance that died does not stop the next one from listening.
        SingleInstance next;
        QVERIFY(next.listen(path));
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
