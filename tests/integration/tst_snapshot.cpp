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
    void snapshot_data()
    {
        QTest::addColumn<bool>("onboardingDone");
        QTest::addColumn<QString>("file");
        // The picture's size; a height of 0 stands for the main content's own.
        QTest::addColumn<QSize>("size");

        QTest::newRow("main content, two pixels per point") << true << "main.png" << QSize(760, 0);
        QTest::newRow("walkthrough, replacing the file") << false << "walkthrough.png" << QSize(760, 1000);
    }

    void snapshot()
    {
        QFETCH(bool, onboardingDone);
        QFETCH(QString, file);
        QFETCH(QSize, size);

        QTemporaryDir home;
        QDir().mkpath(home.filePath(QStringLiteral("data/Parlune")));
        QFile settings(home.filePath(QStringLiteral("data/Parlune/settings.json")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.write(onboardingDone ? R"({"onboardingDone":true})" : R"({"onboardingDone":false})");
        settings.close();
        const QString path = home.filePath(file);
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

        const QImage image(path, "PNG");
        if (size.height() > 0) {
            QCOMPARE(image.size(), size);
        } else {
            // The hero and the settings at least, nothing near the walkthrough's height, in the dark scheme.
            QCOMPARE(image.width(), size.width());
            QVERIFY2(image.height() > 500 && image.height() != 1000,
                     qPrintable(QString::number(image.height())));
            QVERIFY(qGray(image.pixel(4, image.height() / 2)) < 80);
        }
    }
};

QTEST_GUILESS_MAIN(TestSnapshot)
#include "tst_snapshot.moc"
