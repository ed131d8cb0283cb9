// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"
#include "app/SingleInstance.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

class TestAppDelegate : public QObject
{
    Q_OBJECT

    QStringList m_calls;
    bool m_trusted = true;
    MicrophoneAuthorization m_microphone = MicrophoneAuthorization::Authorized;
    bool m_onboardingDone = true;

    AppDelegate delegate()
    {
        LaunchServices services;
        services.runDictationCheck = [this] { m_calls << QStringLiteral("check"); };
        services.runSnapshot = [this](const QString& path) { m_calls << QStringLiteral("snapshot ") + path; };
        services.startUpdater = [this] { m_calls << QStringLiteral("updater"); };
        services.inputAccessTrusted = [this] { return m_trusted; };
        services.microphoneStatus = [this] { return m_microphone; };
        services.onboardingDone = [this] { return m_onboardingDone; };
        services.showMainWindow = [this] { m_calls << QStringLiteral("window"); };
        return AppDelegate(std::move(services));
    }

    // The launch's calls, including those it left for the event loop.
    QStringList launch(const QStringList& arguments, const QStringList& environment = {})
    {
        m_calls.clear();
        QProcessEnvironment env;
        for (const QString& name : environment)
            env.insert(name, QStringLiteral("1"));
        AppDelegate launcher = delegate();
        launcher.applicationDidFinishLaunching(QStringList{QStringLiteral("parlune")} + arguments, env);
        QCoreApplication::processEvents();
        return m_calls;
    }

private Q_SLOTS:
    void init()
    {
        m_trusted = true;
        m_microphone = MicrophoneAuthorization::Authorized;
        m_onboardingDone = true;
    }

    void modes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QStringList>("calls");

        const QString updater = QStringLiteral("updater");
        const QString window = QStringLiteral("window");
        QTest::newRow("ordinary launch") << QStringList() << QStringList() << QStringList{updater, window};
        QTest::newRow("self-check") << QStringList{QStringLiteral("--check-dictation")} << QStringList()
                                    << QStringList{QStringLiteral("check")};
        QTest::newRow("self-check wins over snapshot")
            << QStringList{QStringLiteral("--snapshot"), QStringLiteral("/tmp/a.png"),
                           QStringLiteral("--check-dictation")}
            << QStringList() << QStringList{QStringLiteral("check")};
        QTest::newRow("snapshot") << QStringList{QStringLiteral("--snapshot"), QStringLiteral("/tmp/a.png")}
                                  << QStringList() << QStringList{QStringLiteral("snapshot /tmp/a.png")};
        QTest::newRow("trailing snapshot is ignored")
            << QStringList{QStringLiteral("--snapshot")} << QStringList() << QStringList{updater, window};
        QTest::newRow("under a test runner, no updater")
            << QStringList() << QStringList{QStringLiteral("XCTestConfigurationFilePath")}
            << QStringList{window};
        QTest::newRow("login launch with everything granted")
            << QStringList{QStringLiteral("--autostart")} << QStringList() << QStringList{updater};
    }

    void modes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QStringList, calls);
        QCOMPARE(launch(arguments, environment), calls);
    }

    void loginLaunchOpensTheWindowWhileSomethingNeedsTheUser_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<int>("microphone");
        QTest::addColumn<bool>("onboardingDone");

        QTest::newRow("input access missing") << false << int(MicrophoneAuthorization::Authorized) << true;
        QTest::newRow("microphone not yet authorised")
            << true << int(MicrophoneAuthorization::NotDetermined) << true;
        QTest::newRow("microphone denied") << true << int(MicrophoneAuthorization::Denied) << true;
        QTest::newRow("walkthrough not done") << true << int(MicrophoneAuthorization::Authorized) << false;
    }

    void loginLaunchOpensTheWindowWhileSomethingNeedsTheUser()
    {
        QFETCH(bool, trusted);
        QFETCH(int, microphone);
        QFETCH(bool, onboardingDone);
        m_trusted = trusted;
        m_microphone = MicrophoneAuthorization(microphone);
        m_onboardingDone = onboardingDone;
        QCOMPARE(launch({QStringLiteral("--autostart")}),
                 QStringList({QStringLiteral("updater"), QStringLiteral("window")}));
    }

    void reopenShowsTheWindow()
    {
        m_calls.clear();
        AppDelegate launcher = delegate();
        launcher.applicationShouldHandleReopen();
        QVERIFY(m_calls.isEmpty()); // from the event loop, not inside the caller
        QCoreApplication::processEvents();
        QCOMPARE(m_calls, QStringList{QStringLiteral("window")});
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
