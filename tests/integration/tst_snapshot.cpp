// SPDX-License-Identifier: GPL-3.0-or-later
// `parlune --snapshot PATH` run as the user would, with no display at all.
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class TestSnapshot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The main content, over a file already there.
    void mainContentIsWrittenWithNoDisplay()
    {
        QTemporaryDir home;
        QDir().mkpath(home.filePath(QStringLiteral("data/Parlune")));
        QFile settings(home.filePath(QStringLiteral("data/Parlune/settings.json")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(R"({"onboardingDone":true})");
        settings.close();
        const QString path = home.filePath(QStringLiteral("main.png"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("not a picture") > 0);
        old.close();

        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(PARLUNE_BINARY), {QStringLiteral("--snapshot"), path});
        QVERIFY(process.waitForFinished(60000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);

        // Two pixels per point; the hero and the settings at least, nothing near the walkthrough's height.
        const QImage image(path, "PNG");
        QCOMPARE(image.width(), 760);
        QVERIFY2(image.height() > 500 && image.height() != 1000, qPrintable(QString::number(image.height())));
    }
};

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
