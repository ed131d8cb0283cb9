// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeUpdateController.h"
#include "platform/appcast/Appcast.h"
#include "platform/appcast/AppcastUpdateController.h"
#include "system/Updater.h"

#include <QTest>

using namespace parlune;

class UpdaterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checkFromTheMenuFirstStartsTheController()
    {
        QStringList log;
        int made = 0;
        Updater updater([&] {
            ++made;
            return std::make_unique<FakeUpdateController>(&log);
        });
        QCOMPARE(made, 0);
        updater.checkForUpdates();
        updater.controller();
        updater.checkForUpdates();
        QCOMPARE(made, 1);
        QCOMPARE(log, (QStringList{"start", "check", "check"}));
    }

    void versionsCompareAsReleasesAreNumbered_data()
    {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QString>("newer");
        QTest::newRow("numbers, not text") << "1.9"
                                           << "1.10";
        QTest::newRow("extra component") << "2.0"
                                         << "2.0.1";
        QTest::newRow("pre-release before release") << "1.0b2"
                                                    << "1.0";
        QTest::newRow("beta numbers") << "1.0b2"
                                      << "1.0b10";
        QTest::newRow("letters before a number") << "1.0a"
                                                 << "1.0.1";
        QTest::newRow("major") << "0.9.9"
                               << "1.0";
    }

    void versionsCompareAsReleasesAreNumbered()
    {
        QFETCH(QString, older);
        QFETCH(QString, newer);
        QCOMPARE(Appcast::compareVersions(older, newer), -1);
        QCOMPARE(Appcast::compareVersions(newer, older), 1);
        QCOMPARE(Appcast::compareVersions(newer, newer), 0);
    }

    void feedGivesItsNewestLinuxRelease_data()
    {
        QTest::addColumn<QByteArray>("feed");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("link");

        const QByteArray head = "<?xml version='1.0' encoding='utf-8'?>"
                                "<rss version='2.0' "
                                "xmlns:sparkle='http://www.andymatuschak.org/xml-namespaces/"
                                "sparkle'><channel><title>Parlune</title>";
        const QByteArray tail = "</channel></rss>";
        QTest::newRow("versions in the enclosure")
            << head +
                   "<item><title>0.2</title><enclosure url='https://example.org/0.2.tar.gz' "
                   "sparkle:version='0.2.0' sparkle:shortVersionString='0.2'/></item>"
                   "<item><title>0.10</title><enclosure url='https://example.org/0.10.tar.gz' "
                   "sparkle:version='0.10.0'/></item>" +
                   tail
            << "0.10.0"
            << "https://example.org/0.10.tar.gz";
        QTest::newRow("versions as elements, release page preferred")
            << head +
                   "<item><sparkle:version>1.2</sparkle:version><link>https://example.org/1.2</"
                   "link><enclosure url='https://example.org/1.2.tar.gz'/></item>" +
                   tail
            << "1.2"
            << "https://example.org/1.2";
        QTest::newRow("a newer build for another system is skipped")
            << head +
                   "<item><enclosure url='https://example.org/9.exe' sparkle:version='9.0' "
                   "sparkle:os='windows'/></item>"
                   "<item><enclosure url='https://example.org/1.1.tar.gz' sparkle:version='1.1' "
                   "sparkle:os='linux'/></item>" +
                   tail
            << "1.1"
            << "https://example.org/1.1.tar.gz";
        QTest::newRow("no items") << head + tail << ""
                                  << "";
        QTest::newRow("not XML") << QByteArray("<html><body>502 Bad Gateway") << ""
                                 << "";
    }

    void feedGivesItsNewestLinuxRelease()
    {
        QFETCH(QByteArray, feed);
        QFETCH(QString, version);
        QFETCH(QString, link);
        const auto newest = Appcast::newestUpdate(feed);
        QCOMPARE(newest.has_value(), !version.isEmpty());
        if (newest) {
            QCOMPARE(newest->version, version);
            QCOMPARE(newest->link, QUrl(link));
        }
    }

    void onlyHttpsOrThisMachineIsTrustedForUpdates_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("acceptable");
        QTest::newRow("https") << "https://example.org/appcast.xml" << true;
        QTest::newRow("plain http") << "http://example.org/appcast.xml" << false;
        QTest::newRow("http on loopback") << "http://127.0.0.1:8080/appcast.xml" << true;
        QTest::newRow("http on localhost") << "http://localhost/appcast.xml" << true;
        QTest::newRow("file") << "file:///tmp/appcast.xml" << false;
        QTest::newRow("none configured") << "" << false;
    }

    void onlyHttpsOrThisMachineIsTrustedForUpdates()
    {
        QFETCH(QString, url);
        QFETCH(bool, acceptable);
        QCOMPARE(AppcastUpdateController::isAcceptableFeed(QUrl(url)), acceptable);
    }
};

QTEST_GUILESS_MAIN(UpdaterTest)
#include "tst_updater.moc"
