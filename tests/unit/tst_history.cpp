// SPDX-License-Identifier: GPL-3.0-or-later
#include "StoreFiles.h"
#include "store/TranscriptStore.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;
using namespace parlune::test;

using Entries = QList<TranscriptEntry>;

class HistoryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.filePath(QStringLiteral("Parlune"))).removeRecursively();
        m_path = m_dir.filePath(QStringLiteral("Parlune/history.json"));
    }

    void idsAreWrittenInUpperCaseAndReadInEither()
    {
        const QByteArray lowerCase =
            R"([{"text":"1\/2","extra":{},"date":12,"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}])";
        const auto entries = TranscriptStore::decode(lowerCase);
        QVERIFY(entries);
        QCOMPARE(TranscriptStore::encode(*entries),
                 QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":12,"text":"1\/2"}])"));
    }

    void textAndDateReadBackIdentical()
    {
        const QStringList texts{
            QStringLiteral("https://exemple.fr/a/b"), QStringLiteral("il a dit \"oui\" et 'non' \\o/"),
            QStringLiteral("ligne 1\nligne 2\r\n\tfin \x01"), QStringLiteral("Ça déjà vu, où ? «ñ» €😀")};
        TranscriptStore store(m_path);
        for (const QString& text : texts)
            store.add(text, Date::now());
        QCOMPARE(TranscriptStore(m_path).entries(), store.entries());
    }

    void fiftyFirstAdditionDropsTheOldest()
    {
        TranscriptStore store(m_path);
        QSet<QUuid> ids;
        for (int i = 0; i <= 50; ++i)
            ids.insert(store.add(QStringLiteral("même texte"), Date{double(i)}).id);
        QCOMPARE(ids.size(), 51);
        QCOMPARE(store.entries().size(), 50);
        QCOMPARE(store.entries().first().date, Date{50});
        QCOMPARE(store.entries().last().date, Date{1});
        QCOMPARE(TranscriptStore(m_path).entries(), store.entries());

        store.clear();
        QCOMPARE(readFile(m_path), QByteArray("[]"));
    }

    void longerFileLoadsWholeAndIsCutAtTheNextAddition()
    {
        Entries sixty;
        for (int i = 60; i > 0; --i)
            sixty.append({QUuid::createUuid(), Date{700000000.25 + i}, QString::number(i)});
        writeFile(m_path, TranscriptStore::encode(sixty));
        TranscriptStore store(m_path);
        QCOMPARE(store.entries(), sixty);

        const TranscriptEntry added = store.add(QStringLiteral("nouveau"), Date{800000000});
        const Entries expected = Entries{added} + sixty.first(49);
        QCOMPARE(store.entries(), expected);
        QCOMPARE(TranscriptStore(m_path).entries(), expected);
    }

    void fileAndFolderArePrivate()
    {
        // Whatever the umask, and even over a file that others could read.
        const QString other = m_dir.filePath(QStringLiteral("other/history.json"));
        const mode_t previous = ::umask(0);
        writeFile(other, "[]");
        QVERIFY(QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        TranscriptStore(m_path).add(QStringLiteral("a"), Date{1});
        TranscriptStore(other).add(QStringLiteral("a"), Date{1});
        ::umask(previous);
        QCOMPARE(modeOf(m_path), mode_t(0600));
        QCOMPARE(modeOf(QFileInfo(m_path).absolutePath()), mode_t(0700));
        QCOMPARE(modeOf(other), mode_t(0600));
    }

    void damagedFileGivesEmptyHistoryAndStaysUntilTheNextAddition_data() { damagedFiles_data(); }

    void damagedFileGivesEmptyHistoryAndStaysUntilTheNextAddition()
    {
        QFETCH(Damage, damage);
        QFETCH(QByteArray, content);
        placeDamagedFile(m_path, damage, content);
        const QByteArray before = snapshot(m_path);

        TranscriptStore store(m_path);
        QVERIFY(store.entries().isEmpty());
        QCOMPARE(snapshot(m_path), before);

        const TranscriptEntry added = store.add(QStringLiteral("après"), Date{2});
        // The list in memory holds the entry whether or not the file could be written.
        QCOMPARE(store.entries(), Entries{added});
        if (damage == Damage::folder)
            QCOMPARE(snapshot(m_path), before);
        else
            QCOMPARE(readFile(m_path), TranscriptStore::encode({added}));
        QCOMPARE(hiddenFilesBeside(m_path), QStringList());
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
