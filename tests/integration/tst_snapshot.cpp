// SPDX-License-Identifier: GPL-3.0-or-later
// `parlune --snapshot PATH` run as the user would, with no display at all.
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSnapshot : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home;

    QString dataFolder() const { return m_home.filePath(QStringLiteral("data/Parlune")); }

    void writeSettings(bool onboardingDone)
    {
        QDir().mkpath(dataFolder());
        QFile file(dataFolder() + QStringLiteral("/settings.json"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(
            QByteArray(R"({"language":"fr","shortcut":{"keyCode":62,"modifiers":0,"isModifierKey":true},)"
                       R"("launchAtLogin":false,"muteWhileRecording":false,"onboardingDone":)") +
            (onboardingDone ? "true" : "false") + QByteArray(R"(,"soundsEnabled":true})"));
    }

    // Runs the program; its exit code, -1 when it did not end normally in time.
    int snapshot(const QString& path)
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_home.filePath(QStringLiteral("config")));
        environment.remove(QStringLiteral("DISPLAY"));
        environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
        environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(PARLUNE_BINARY), {QStringLiteral("--snapshot"), path});
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }

private Q_SLOTS:
    void init()
    {
        QDir(m_home.path()).removeRecursively();
        QDir().mkpath(m_home.path());
    }

    void mainContentIsTwoPixelsPerPoint()
    {
        writeSettings(true);
        const QString path = m_home.filePath(QStringLiteral("main.png"));
        QCOMPARE(snapshot(path), 0);
        QImage image;
        QVERIFY(image.load(path, "PNG"));
        QCOMPARE(image.width(), 760);
        // The hero and the settings at least, and nothing near the walkthrough's fixed height.
        QVERIFY2(image.height() > 500 && image.height() != 1000, qPrintable(QString::number(image.height())));
        // Dark: the corner is the dark window background.
        QVERIFY(qGray(image.pixel(4, image.height() / 2)) < 80);
    }

    void walkthroughIsFixedSizeAndReplacesTheFile()
    {
        writeSettings(false);
        const QString path = m_home.filePath(QStringLiteral("walkthrough.png"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("not a picture");
        old.close();
        QCOMPARE(snapshot(path), 0);
        QImage image;
        QVERIFY(image.load(path, "PNG"));
        QCOMPARE(image.size(), QSize(760, 1000));
    }

    void missingFolderWritesNothing()
    {
        writeSettings(true);
        const QString path = m_home.filePath(QStringLiteral("nowhere/main.png"));
        QCOMPARE(snapshot(path), 0);
        QVERIFY(!QFile::exists(path));
        QVERIFY(!QDir(m_home.filePath(QStringLiteral("nowhere"))).exists());
    }
};

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
