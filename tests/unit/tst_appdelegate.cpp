// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/AppDelegate.h"
#include "app/InstanceClient.h"
#include "app/SingleInstance.h"

#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <future>
#include <thread>

#include <sys/socket.h>
#include <unistd.h>

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

    // A command reaches the instance that listens, which answers once it has carried it out. With nobody
    // listening, a command that begins something starts the instance, once however many come together
    // (a desktop's shortcut held while the program starts), and they all wait for it; a release has
    // nothing to end. A later plain launch brings the instance forward.
    void commandsReachTheOneInstance()
    {
        QTemporaryDir runtime;
        const std::string path = runtime.filePath(QStringLiteral("socket")).toStdString();
        SingleInstance instance;
        QList<InstanceCommand> received;
        connect(&instance, &SingleInstance::commandReceived, this,
                [&received](InstanceCommand command) { received << command; });
        std::atomic<int> starts = 0;
        const InstanceClient client(path, [&](int listeningSocket) {
            ++starts;
            // The new instance inherits the socket; here it is this test's, taking commands from its loop.
            QMetaObject::invokeMethod(&instance, [&instance, inherited = ::dup(listeningSocket)] {
                QVERIFY(instance.listen(inherited));
            });
            return true;
        });

        QCOMPARE(client.send(InstanceCommand::release).status, 0);
        QCOMPARE(starts.load(), 0);
        std::vector<std::future<InstanceClient::Result>> runs;
        for (int run = 0; run < 4; ++run)
            runs.push_back(
                std::async(std::launch::async, [&client] { return client.send(InstanceCommand::shortcut); }));
        QTRY_COMPARE(received.size(), 4);
        for (auto& run : runs)
            QCOMPARE(run.get().error, std::string());
        QCOMPARE(starts.load(), 1);
        QCOMPARE(received, QList<InstanceCommand>(4, InstanceCommand::shortcut));

        QSignalSpy reopened(&instance, &SingleInstance::reopenRequested);
        auto launch = std::async(std::launch::async, [&client, &runtime] {
            return client.claim(runtime.filePath(QStringLiteral("legacy")).toStdString());
        });
        QTRY_COMPARE(reopened.size(), 1);
        QVERIFY(launch.get().handedOver);
        QCOMPARE(starts.load(), 1);
    }

    // An instance that cannot be started, or ends before it answers, or is older than the command: the
    // command says so and fails.
    void aCommandThatCannotActSaysWhy_data()
    {
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("error");
        QTest::newRow("cannot be started") << "none"
                                           << "parlune : impossible de démarrer Parlune.";
        QTest::newRow("ends during its start") << "dies"
                                               << "parlune : Parlune s'est arrêté au démarrage";
        QTest::newRow("older than the command") << "older"
                                                << "parlune : le Parlune en cours ne connaît pas --press";
    }

    void aCommandThatCannotActSaysWhy()
    {
        QFETCH(QString, instance);
        QFETCH(QString, error);
        QTemporaryDir runtime;
        std::thread older;
        const InstanceClient client(runtime.filePath(QStringLiteral("socket")).toStdString(),
                                    [&](int listeningSocket) {
                                        if (instance == u"older")
                                            older = std::thread([socket = ::dup(listeningSocket)] {
                                                const int connection = ::accept(socket, nullptr, nullptr);
                                                char word[16];
                                                if (::read(connection, word, sizeof word) > 0)
                                                    ::send(connection, "unknown\n", 8, MSG_NOSIGNAL);
                                                ::close(connection);
                                                ::close(socket);
                                            });
                                        return instance != u"none";
                                    });
        const InstanceClient::Result result = client.send(InstanceCommand::press);
        if (older.joinable())
            older.join();
        QCOMPARE(result.status, 1);
        QVERIFY2(QString::fromStdString(result.error).startsWith(error), result.error.c_str());
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
