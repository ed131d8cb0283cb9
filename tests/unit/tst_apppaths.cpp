// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFiles.h"
#include "store/AppPaths.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;
using namespace parlune::test;

namespace {

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class AppPathsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void legacyFilesAreTakenOverOnce_data()
    {
        QTest::addColumn<bool>("supportExists");
        QTest::addColumn<QStringList>("legacyFiles"); // "-" alone: no legacy folder
        QTest::addColumn<bool>("supportExistsAfter");
        QTest::addColumn<QStringList>("supportFilesAfter");

        const QStringList both{QStringLiteral("history.json"), QStringLiteral("settings.json")};
        const QStringList none{QStringLiteral("-")};
        QTest::newRow("neither folder") << false << none << false << QStringList();
        QTest::newRow("legacy folder with both files and more")
            << false << (both + QStringList{QStringLiteral("notes.txt")}) << true << both;
        QTest::newRow("legacy folder with history only")
            << false << QStringList{QStringLiteral("history.json")} << true
            << QStringList{QStringLiteral("history.json")};
        QTest::newRow("empty legacy folder") << false << QStringList() << true << QStringList();
        QTest::newRow("empty support folder already there") << true << both << true << QStringList();
    }

    void legacyFilesAreTakenOverOnce()
    {
        QFETCH(bool, supportExists);
        QFETCH(QStringList, legacyFiles);
        QFETCH(bool, supportExistsAfter);
        QFETCH(QStringList, supportFilesAfter);

        QTemporaryDir dataHome;
        const QString support = dataHome.filePath(QStringLiteral("Parlune"));
        const QString legacy = dataHome.filePath(QStringLiteral("Oravel"));
        if (supportExists)
            QVERIFY(QDir().mkdir(support));
        if (legacyFiles != QStringList{QStringLiteral("-")}) {
            QVERIFY(QDir().mkdir(legacy));
            for (const QString& name : legacyFiles) {
                QFile file(legacy + u'/' + name);
                QVERIFY(file.open(QIODevice::WriteOnly));
                file.write("from Oravel: " + name.toUtf8());
            }
        }

        QCOMPARE(AppPaths::resolveSupport(dataHome.path()), support);
        QCOMPARE(QFileInfo(support).isDir(), supportExistsAfter);
        QCOMPARE(filesIn(support), supportFilesAfter);
        for (const QString& name : supportFilesAfter)
            QCOMPARE(readFile(support + u'/' + name), readFile(legacy + u'/' + name));
        // The legacy folder is left as it was.
        if (legacyFiles != QStringList{QStringLiteral("-")}) {
            legacyFiles.sort();
            QCOMPARE(filesIn(legacy), legacyFiles);
        }
        // Only a folder made here is made private; the history copied into it is private too.
        if (!supportExists && supportExistsAfter) {
            QCOMPARE(modeOf(support), mode_t(0700));
            if (supportFilesAfter.contains(QStringLiteral("history.json")))
                QCOMPARE(modeOf(support + QLatin1String("/history.json")), mode_t(0600));
        }
    }

    void supportIsResolvedOnceAndKept()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        QVERIFY(QDir().mkdir(second.filePath(QStringLiteral("Oravel"))));
        qputenv("XDG_DATA_HOME", first.path().toUtf8());
        QCOMPARE(AppPaths::support(), first.filePath(QStringLiteral("Parlune")));
        // Nothing is created while there is nothing to take over.
        QVERIFY(!QFileInfo::exists(AppPaths::support()));

        qputenv("XDG_DATA_HOME", second.path().toUtf8());
        QCOMPARE(AppPaths::support(), first.filePath(QStringLiteral("Parlune")));
        QVERIFY(!QFileInfo::exists(second.filePath(QStringLiteral("Parlune"))));
    }
};

QTEST_GUILESS_MAIN(AppPathsTest)
#include "tst_apppaths.moc"
