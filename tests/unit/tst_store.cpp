// SPDX-License-Identifier: GPL-3.0-or-later
// The settings file and the history file.
#include "store/AppSettingsStore.h"
#include "store/AtomicFile.h"
#include "store/TranscriptStore.h"

#include <QTemporaryDir>
#include <QTest>

#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

using namespace parlune;

using Entries = QList<TranscriptEntry>;

namespace {

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

// What is at `path`: its kind and, for a file or a folder, what it holds.
QByteArray snapshot(const QString& path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "nothing";
    if (S_ISREG(info.st_mode))
        return "file " + readFile(path);
    if (S_ISDIR(info.st_mode))
        return "folder " + QDir(path).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(u',').toUtf8();
    return "kind " + QByteArray::number(info.st_mode & S_IFMT);
}

// Spanish, Control-Option-Space, every switch the other way round, accurate recognition.
const AppSettings custom{
    Language::es,         {49, ModifierFlag::control | ModifierFlag::option, false}, true, true, true, false,
    Recognition::accurate};

} // namespace

class StoreTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_settings;
    QString m_history;

private Q_SLOTS:
    void init()
    {
        QDir(m_dir.filePath(QStringLiteral("Parlune"))).removeRecursively();
        m_settings = m_dir.filePath(QStringLiteral("Parlune/settings.json"));
        m_history = m_dir.filePath(QStringLiteral("Parlune/history.json"));
    }

    // Settings members in a fixed order; history ids in upper case, members the program does not know
    // dropped.
    void filesAreByteExact()
    {
        AppSettingsStore(m_settings).save(custom);
        QCOMPARE(readFile(m_settings),
                 QByteArray(
                     R"({"language":"es","shortcut":{"keyCode":49,"modifiers":786432,"isModifierKey":false},)"
                     R"("launchAtLogin":true,"muteWhileRecording":true,"onboardingDone":true,)"
                     R"("soundsEnabled":false,"recognition":"accurate"})"));
        QCOMPARE(AppSettingsStore(m_settings).load(), custom);
        const auto entries = TranscriptStore::decode(
            R"([{"text":"1\/2","extra":{},"date":786543210.125,"id":"e621e1f8-c36c-495a-93fc-0c247a3e6e5f"}])");
        QVERIFY(entries);
        QCOMPARE(
            TranscriptStore::encode(*entries),
            QByteArray(
                R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":786543210.125,"text":"1\/2"}])"));
    }

    // Like the language, a recognition that cannot be read is the default one, and the rest of the
    // record still counts.
    void recognitionIsFastUnlessStoredAccurate_data()
    {
        QTest::addColumn<QByteArray>("member");
        QTest::addColumn<Recognition>("expected");
        QTest::newRow("absent, as in files of earlier versions") << QByteArray() << Recognition::fast;
        QTest::newRow("fast") << QByteArray(R"("fast")") << Recognition::fast;
        QTest::newRow("accurate") << QByteArray(R"("accurate")") << Recognition::accurate;
        QTest::newRow("unknown") << QByteArray(R"("Accurate")") << Recognition::fast;
        QTest::newRow("null") << QByteArray("null") << Recognition::fast;
        QTest::newRow("wrong type") << QByteArray("true") << Recognition::fast;
    }

    void recognitionIsFastUnlessStoredAccurate()
    {
        QFETCH(QByteArray, member);
        QFETCH(Recognition, expected);
        QByteArray json = R"({"language":"es","soundsEnabled":false)";
        if (!member.isNull())
            json += R"(,"recognition":)" + member;
        writeFile(m_settings, json + "}");
        const AppSettings loaded = AppSettingsStore(m_settings).load();
        QCOMPARE(loaded.recognition, expected);
        QCOMPARE(loaded.language, Language::es);
        QVERIFY(!loaded.soundsEnabled);
    }

    void longerHistoryLoadsWholeAndIsCutToFiftyAtTheNextAddition()
    {
        Entries sixty;
        for (int i = 60; i > 0; --i)
            sixty.append({QUuid::createUuid(), Date{700000000.25 + i}, QString::number(i)});
        writeFile(m_history, TranscriptStore::encode(sixty));
        TranscriptStore store(m_history);
        QCOMPARE(store.entries(), sixty);

        const Entries expected =
            Entries{store.add(QStringLiteral("nouveau"), Date{800000000})} + sixty.first(49);
        QCOMPARE(store.entries(), expected);
        QCOMPARE(TranscriptStore(m_history).entries(), expected);
    }

    // Saves run on a thread of their own. A list given while an older one is being written replaces
    // any not yet begun, so an older list never lands after a newer one.
    void savesLandInOrder()
    {
        std::mutex mutex;
        std::condition_variable changed;
        bool held = true; // the first write waits, as on a slow disk
        QList<QByteArray> written;
        FileWriteQueue slowDisk([&](const QString& path, const QByteArray& content, mode_t mode) {
            std::unique_lock lock(mutex);
            written.append(content);
            changed.notify_all();
            changed.wait(lock, [&] { return !held; });
            return writeFileAtomically(path, content, mode);
        });
        TranscriptStore store(m_history, slowDisk);
        store.add(QStringLiteral("un"), Date{1});
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return !written.isEmpty(); });
        for (const char* text : {"deux", "trois", "quatre"})
            store.add(QString::fromLatin1(text), Date{2});
        held = false;
        changed.notify_all();
        lock.unlock();
        store.waitForSaves();
        const QByteArray newest = TranscriptStore::encode(store.entries());
        QCOMPARE(written, (QList<QByteArray>{TranscriptStore::encode(store.entries().mid(3)), newest}));
        QCOMPARE(readFile(m_history), newest);
    }

    void historyIsPrivateAndReplacedWhole()
    {
        // Even over a file that others could read.
        const QString other = m_dir.filePath(QStringLiteral("other/history.json"));
        writeFile(other, "[]");
        QVERIFY(QFile::setPermissions(other, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        QCOMPARE(::link(QFile::encodeName(other).constData(), QFile::encodeName(other + ".link").constData()),
                 0);
        TranscriptStore(m_history).add(QStringLiteral("a"), Date{1});
        TranscriptStore(other).add(QStringLiteral("a"), Date{1});
        QCOMPARE(modeOf(m_history), mode_t(0600));
        QCOMPARE(modeOf(QFileInfo(m_history).absolutePath()), mode_t(0700));
        QCOMPARE(modeOf(other), mode_t(0600));
        // A new file renamed over the old one: a reader never sees it half written, and the old
        // file's other name still holds what it held.
        QCOMPARE(readFile(other + ".link"), QByteArray("[]"));
        QVERIFY(readFile(other).contains(R"("text":"a")"));
    }

    void damagedFilesGiveDefaultsAndStayUntilTheNextSave_data()
    {
        QTest::addColumn<bool>("history");
        QTest::addColumn<QByteArray>("damage"); // "<folder>", "<pipe>": not a file at all
        const QList<std::pair<const char*, QByteArray>> damages{
            {"truncated", "[{\"id\":\"E621E1F8-C36C-495A-93FC-0C247A3E6E5F\",\"da"},
            // A switch that is not a boolean spoils the whole settings record.
            {"a switch as a number", R"({"language":"es","launchAtLogin":1})"},
            {"a folder in place of the file", "<folder>"},
            // Unlike a file without read permission, refused even to root; and it must not block the reader.
            {"a pipe in place of the file", "<pipe>"}};
        for (const bool history : {false, true})
            for (const auto& [name, damage] : damages)
                QTest::addRow("%s: %s", history ? "history" : "settings", name) << history << damage;
    }

    void damagedFilesGiveDefaultsAndStayUntilTheNextSave()
    {
        QFETCH(bool, history);
        QFETCH(QByteArray, damage);
        const QString path = history ? m_history : m_settings;
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (damage == "<folder>")
            QVERIFY(QDir().mkpath(path + QLatin1String("/inside")));
        else if (damage == "<pipe>")
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        else
            writeFile(path, damage);
        const QByteArray before = snapshot(path);

        QByteArray saved;
        if (history) {
            TranscriptStore store(path);
            QVERIFY(store.entries().isEmpty());
            QCOMPARE(snapshot(path), before);
            // The list in memory holds the entry whether or not the file could be written.
            const Entries added{store.add(QStringLiteral("après"), Date{2})};
            QCOMPARE(store.entries(), added);
            saved = TranscriptStore::encode(added);
        } else {
            const AppSettingsStore store(path);
            QCOMPARE(store.load(), AppSettings{});
            QCOMPARE(snapshot(path), before);
            store.save(custom);
            saved = custom.toJson();
        }
        // Nothing can replace a folder: the save gives up and leaves it alone.
        QCOMPARE(snapshot(path), damage == "<folder>" ? before : "file " + saved);
        // The temporary files of the atomic writes: none is left behind.
        QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList({".*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }
};

QTEST_GUILESS_MAIN(StoreTest)
#include "tst_store.moc"
