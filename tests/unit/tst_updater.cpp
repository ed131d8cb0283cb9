// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/appcast/Appcast.h"
#include "platform/appcast/AppcastUpdateController.h"

#include <QTest>

using namespace parlune;

class UpdaterTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void versionsCompareAsReleasesAreNumbered_data()
    {
        QTest::addColumn<QString>("older");
        QTest::addColumn<QString>("newer");
        const auto row = [](const char* name, const char* older, const char* newer) {
            QTest::newRow(name) << QString::fromUtf8(older) << QString::fromUtf8(newer);
        };
        row("numbers, not text", "1.9", "1.10");
        row("extra component", "2.0", "2.0.1");
        row("pre-release before release", "1.0b2", "1.0");
        row("beta numbers", "1.0b2", "1.0b10");
        row("letters before a number", "1.0a", "1.0.1");
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
        QTest::addColumn<QByteArray>("items");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("link");
        const auto row = [](const char* name, const char* items, const char* version, const char* link) {
            QTest::newRow(name) << QByteArray(items) << QString::fromUtf8(version) << QString::fromUtf8(link);
        };
        row("versions in the enclosure",
            "<item><enclosure url='https://e.org/0.2.tgz' sparkle:version='0.2.0'/></item>"
            "<item><enclosure url='https://e.org/0.10.tgz' sparkle:version='0.10.0'/></item>",
            "0.10.0", "https://e.org/0.10.tgz");
        row("version as an element, release page preferred",
            "<item><sparkle:version>1.2</sparkle:version><link>https://e.org/1.2</link>"
            "<enclosure url='https://e.org/1.2.tgz'/></item>",
            "1.2", "https://e.org/1.2");
        row("a newer build for another system is skipped",
            "<item><enclosure url='https://e.org/9.exe' sparkle:version='9.0' sparkle:os='windows'/></item>"
            "<item><enclosure url='https://e.org/1.1.tgz' sparkle:version='1.1' sparkle:os='linux'/></item>",
            "1.1", "https://e.org/1.1.tgz");
        row("not XML", "</channel><html><body>502 Bad Gateway", "", "");
    }

    void feedGivesItsNewestLinuxRelease()
    {
        QFETCH(QByteArray, items);
        QFETCH(QString, version);
        QFETCH(QString, link);
        const auto newest = Appcast::newestUpdate(
            "<rss xmlns:sparkle='http://www.andymatuschak.org/xml-namespaces/sparkle'><channel>" + items +
            "</channel></rss>");
        QCOMPARE(newest.value_or(AvailableUpdate{}).version, version);
        QCOMPARE(newest.value_or(AvailableUpdate{}).link, QUrl(link));
    }

    void onlyHttpsOrThisMachineIsTrustedForUpdates()
    {
        for (const char* url :
             {"https://example.org/a.xml", "http://127.0.0.1:8080/a.xml", "http://localhost/a.xml"})
            QVERIFY2(AppcastUpdateController::isAcceptableFeed(QUrl(url)), url);
        for (const char* url : {"http://example.org/a.xml", "file:///tmp/a.xml", ""})
            QVERIFY2(!AppcastUpdateController::isAcceptableFeed(QUrl(url)), url);
    }
};

QTEST_GUILESS_MAIN(UpdaterTest)
#include "tst_updater.moc"
