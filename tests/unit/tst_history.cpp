// SPDX-License-Identifier: GPL-3.0-or-later
#include "DamagedFile.h"
#include "store/TranscriptStore.h"

#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace parlune;
using namespace parlune::test;

using Entries = QList<TranscriptEntry>;
using MaybeEntries = std::optional<Entries>;
Q_DECLARE_METATYPE(MaybeEntries)

namespace {

const QUuid someId = QUuid::fromString(QLatin1String("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"));

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

mode_t modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

Entries numberedEntries(int count)
{
    Entries entries;
    for (int i = count - 1; i >= 0; --i)
        entries.append({QUuid::createUuid(), Date{700000000.0 + i}, QString::number(i)});
    return entries;
}

} // namespace

class HistoryTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_path;

private Q_SLOTS:
    void initTestCase() { qputenv("XDG_DATA_HOME", m_dir.path().toUtf8()); }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.filePath(QStringLiteral("Parlune"))).removeRecursively();
        m_path = m_dir.filePath(QStringLiteral("Parlune/history.json"));
    }

    void encodingIsByteExact()
    {
        QCOMPARE(TranscriptStore::encode({}), QByteArray("[]"));
        const Entries entries{{someId, Date{786543210.123456}, QStringLiteral("1/2 \"ok\"\nÉté\tfin\\")},
                              {someId, Date{-5}, QString()}};
        const QByteArray expected =
            R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":786543210.123456,)"
            // WORKAROUND: Qt 6.4 moc misreads a backslash before a quote in a raw string, then finds no test.
            "\"text\":\"1\\/2 \\\"ok\\\"\\nÉté\\tfin\\\\\"},"
            R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":-5,"text":""}])";
        QCOMPARE(TranscriptStore::encode(entries), expected);
    }

    void decoding_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<MaybeEntries>("expected");
        const Entries one{{someId, Date{12.5}, QStringLiteral("a")}};

        QTest::newRow("empty array") << QByteArray("[]") << MaybeEntries(Entries{});
        QTest::newRow("lower-case id, members in any order, extra members")
            << QByteArray(
                   R"([{"text":"a","extra":{},"date":12.5,"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}])")
            << MaybeEntries(one);
        QTest::newRow("whole-number date")
            << QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":12,"text":"a"}])")
            << MaybeEntries(Entries{{someId, Date{12}, QStringLiteral("a")}});

        const char* goodAndThen = R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":1,"text":"a"},)";
        const auto afterAGoodOne = [&](const char* element) {
            return QByteArray(goodAndThen) + element + ']';
        };
        QTest::newRow("an element without id") << afterAGoodOne(R"({"date":1,"text":"a"})") << MaybeEntries();
        QTest::newRow("an id that is not a UUID")
            << afterAGoodOne(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5G","date":1,"text":"a"})")
            << MaybeEntries();
        QTest::newRow("an id in braces")
            << afterAGoodOne(R"({"id":"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}","date":1,"text":"a"})")
            << MaybeEntries();
        QTest::newRow("an id without hyphens")
            << afterAGoodOne(R"({"id":"E621E1F8C36C495A93FC0C247A3E6E5F","date":1,"text":"a"})")
            << MaybeEntries();
        QTest::newRow("a date as text")
            << afterAGoodOne(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":"1","text":"a"})")
            << MaybeEntries();
        QTest::newRow("a null text")
            << afterAGoodOne(R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":1,"text":null})")
            << MaybeEntries();
        QTest::newRow("an element that is not an object") << afterAGoodOne(R"("a")") << MaybeEntries();
        QTest::newRow("an object document") << QByteArray(R"({"entries":[]})") << MaybeEntries();
    }

    void decoding()
    {
        QFETCH(QByteArray, json);
        QFETCH(MaybeEntries, expected);
        QCOMPARE(TranscriptStore::decode(json), expected);
    }

    void textAndDateReadBackIdentical()
    {
        const QStringList texts{QStringLiteral("https://exemple.fr/a/b"),
                                QStringLiteral("il a dit \"oui\" et 'non'"),
                                QStringLiteral("ligne 1\nligne 2\r\n\tfin"),
                                QStringLiteral("Ça déjà vu, où ? «ñ» €😀"), QStringLiteral("\\u00e9 \x01")};
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
            ids.insert(store.add(QStringLiteral("même texte %1").arg(i % 2), Date{double(i)}).id);
        QCOMPARE(ids.size(), 51);
        QCOMPARE(store.entries().size(), 50);
        QCOMPARE(store.entries().first().date, Date{50});
        QCOMPARE(store.entries().last().date, Date{1});
        QCOMPARE(TranscriptStore(m_path).entries(), store.entries());
    }

    void longerFileLoadsWholeAndIsCutAtTheNextAddition()
    {
        const Entries sixty = numberedEntries(60);
        writeFile(m_path, TranscriptStore::encode(sixty));
        TranscriptStore store(m_path);
        QCOMPARE(store.entries(), sixty);

        const TranscriptEntry added = store.add(QStringLiteral("nouveau"), Date{800000000});
        const Entries expected = Entries{added} + sixty.first(49);
        QCOMPARE(store.entries(), expected);
        QCOMPARE(TranscriptStore(m_path).entries(), expected);
    }

    void clearingWritesAnEmptyArray()
    {
        TranscriptStore store(m_path);
        store.add(QStringLiteral("a"), Date{1});
        store.clear();
        QVERIFY(store.entries().isEmpty());
        QCOMPARE(readFile(m_path), QByteArray("[]"));
    }

    void fileAndFolderArePrivate()
    {
        // Even with a permissive umask, and over a file that was readable by others.
        const mode_t previous = ::umask(0);
        writeFile(m_dir.filePath(QStringLiteral("other/history.json")), "[]");
        QVERIFY(QFile::setPermissions(m_dir.filePath(QStringLiteral("other/history.json")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        TranscriptStore(m_path).add(QStringLiteral("a"), Date{1});
        TranscriptStore(m_dir.filePath(QStringLiteral("other/history.json")))
            .add(QStringLiteral("a"), Date{1});
        ::umask(previous);
        QCOMPARE(modeOf(m_path), mode_t(0600));
        QCOMPARE(modeOf(QFileInfo(m_path).absolutePath()), mode_t(0700));
        QCOMPARE(modeOf(m_dir.filePath(QStringLiteral("other/history.json"))), mode_t(0600));
    }

    void damagedFileGivesEmptyHistoryAndStaysUntilTheNextAddition_data() { damagedFiles_data(); }

    void damagedFileGivesEmptyHistoryAndStaysUntilTheNextAddition()
    {
        QFETCH(Damage, damage);
        QFETCH(QByteArray, content);
        placeDamagedFile(m_path, damage, content);
        if (QTest::currentTestFailed())
            return;

        TranscriptStore store(m_path);
        QVERIFY(store.entries().isEmpty());
        verifyDamagedFileIsUntouched(m_path, damage, content);
        if (QTest::currentTestFailed())
            return;

        const TranscriptEntry added = store.add(QStringLiteral("après"), Date{2});
        // The list in memory holds the entry whether or not the file could be written.
        QCOMPARE(store.entries(), Entries{added});
        if (damage == Damage::folder) {
            verifyDamagedFileIsUntouched(m_path, damage, content);
            QCOMPARE(QDir(QFileInfo(m_path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
                     QStringList());
        } else {
            QCOMPARE(readFile(m_path), TranscriptStore::encode({added}));
        }
    }

    void defaultLocationIsInTheSupportFolder()
    {
        QCOMPARE(TranscriptStore().url(), m_dir.filePath(QStringLiteral("Parlune/history.json")));
        QCOMPARE(TranscriptStore().limit(), 50);
    }
};

QTEST_GUILESS_MAIN(HistoryTest)
#include "tst_history.moc"
