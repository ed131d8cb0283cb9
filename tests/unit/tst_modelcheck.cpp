// SPDX-License-Identifier: GPL-3.0-or-later
// A model is loaded first in a child process unless the program knows how it loads: the verdicts kept
// for a folder's files, the marks of loads that never finished, and the real child on models that load
// or take it down.
#include "FakeClock.h"
#include "FakeVoskModel.h"
#include "platform/models/ModelCheckProcess.h"
#include "platform/models/ModelGuard.h"
#include "platform/models/ModelVerdicts.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace parlune;
using Verdict = ModelVerdicts::Verdict;

Q_DECLARE_METATYPE(Verdict)

namespace {

// What a check in a child would say: a model that loads unless its folder holds a file named "damaged".
QCoro::Task<Verdict> pretendCheck(QString folder)
{
    co_return QFileInfo::exists(folder + QStringLiteral("/damaged")) ? Verdict::refused : Verdict::loads;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

// A mark as a process that has since ended would have left it: a process number no process has.
void leaveMarkOfEndedProcess(const QString& folder)
{
    writeFile(folder + QStringLiteral("/.parlune-loading-2147483646-1"), "12345");
}

} // namespace

class ModelCheckTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_folders = 0;

    QString modelFolder()
    {
        const QString folder = m_dir.filePath(QStringLiteral("model%1").arg(++m_folders));
        QDir().mkpath(folder + QStringLiteral("/am"));
        writeFile(folder + QStringLiteral("/am/final.mdl"), "weights");
        writeFile(folder + QStringLiteral("/tokens.txt"), "a 0\n");
        return folder;
    }

private Q_SLOTS:
    // The first load of a folder runs a check; what it said stands while the files stay as they were, and
    // a folder whose download was verified needs none, until a load in it never finishes.
    void checksRunOnceForTheSameFiles_data()
    {
        QTest::addColumn<bool>("verified");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<int>("checks");
        QTest::newRow("nothing changed") << false << "" << 1;
        QTest::newRow("a file rewritten") << false << "rewrite" << 2;
        QTest::newRow("a file added") << false << "add" << 2;
        QTest::newRow("a damaged verdict") << false << "damage" << 2;
        QTest::newRow("a load that never finished") << false << "interrupted" << 2;
        QTest::newRow("a load running in this process") << false << "running" << 1;
        QTest::newRow("verified by its download") << true << "" << 0;
        QTest::newRow("verified, then a load that never finished") << true << "interrupted" << 1;
    }

    void checksRunOnceForTheSameFiles()
    {
        QFETCH(bool, verified);
        QFETCH(QString, meanwhile);
        QFETCH(int, checks);
        const QString folder = modelFolder();
        ModelGuard guard(pretendCheck);
        if (verified)
            QVERIFY(ModelVerdicts::recordVerified(folder));
        else
            QVERIFY(QCoro::waitFor(guard.mayLoad(folder)));
        std::optional<ModelVerdicts::LoadMark> running;
        if (meanwhile == "rewrite")
            writeFile(folder + "/tokens.txt", "a 0\nb 1\n");
        else if (meanwhile == "add")
            writeFile(folder + "/am/extra", "");
        else if (meanwhile == "damage")
            writeFile(folder + "/.parlune-verdict", "{\"files\":");
        else if (meanwhile == "interrupted")
            leaveMarkOfEndedProcess(folder);
        else if (meanwhile == "running")
            running.emplace(folder);
        QVERIFY(QCoro::waitFor(guard.mayLoad(folder)));
        QVERIFY(QCoro::waitFor(guard.mayLoad(folder)));
        QCOMPARE(guard.checksRun(), checks);
    }

    // A refused model stays refused without another child, and a verified download replacing it loads.
    void refusalIsKept()
    {
        const QString folder = modelFolder();
        writeFile(folder + QStringLiteral("/damaged"), "");
        ModelGuard guard(pretendCheck);
        QVERIFY(!QCoro::waitFor(guard.mayLoad(folder)));
        QVERIFY(!QCoro::waitFor(guard.mayLoad(folder)));
        QCOMPARE(guard.checksRun(), 1);
        QVERIFY(ModelVerdicts::recordVerified(folder));
        QVERIFY(QCoro::waitFor(guard.mayLoad(folder)));
        QCOMPARE(guard.checksRun(), 1);
    }

    // The real child, the program itself, on models that load and on models that end it; this process
    // goes on.
    void childLoadsTheModel_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Verdict>("verdict");
        QTest::newRow("a Parakeet model") << PARLUNE_PARAKEET_STANDIN << Verdict::loads;
        QTest::newRow("a Parakeet model without its metadata: the library ends the process")
            << PARLUNE_PARAKEET_STANDIN_WITHOUT_METADATA << Verdict::refused;
        QTest::newRow("a corrupt Parakeet model: the library aborts")
            << PARLUNE_PARAKEET_STANDIN_CORRUPT << Verdict::refused;
        QTest::newRow("a damaged Vosk model") << "vosk" << Verdict::refused;
        QTest::newRow("no model at all") << "empty" << Verdict::unknown;
    }

    void childLoadsTheModel()
    {
        QFETCH(QString, kind);
        QFETCH(Verdict, verdict);
        QString folder = kind;
        if (!QDir::isAbsolutePath(kind)) {
            folder = m_dir.filePath(QStringLiteral("child-") + kind);
            QDir().mkpath(folder);
        }
        if (kind == QLatin1String("vosk"))
            writeFakeVoskModel(folder, {});
        // Under LeakSanitizer the child would end in error on onnxruntime's own leak of a 32-byte block,
        // which is not the model's to answer for.
        qputenv("ASAN_OPTIONS", "detect_leaks=0");
        // Its time limit never comes: the clock's pending sleep ends with it.
        FakeClock clock;
        ModelCheckProcess child(QStringLiteral(PARLUNE_PROGRAM), clock);
        QCOMPARE(QCoro::waitFor(child.check(folder)), verdict);
    }

    // A child that neither loads nor fails is stopped at the time limit, and tells nothing.
    void childStoppedAtTheTimeLimit()
    {
        const QString program = m_dir.filePath(QStringLiteral("hangs"));
        writeFile(program, "#!/bin/sh\nexec sleep 60\n");
        QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner);
        FakeClock clock;
        ModelCheckProcess child(program, clock);
        std::optional<Verdict> verdict;
        [](ModelCheckProcess& child, std::optional<Verdict>& verdict) -> QCoro::Task<> {
            verdict = co_await child.check(QStringLiteral("/nowhere"));
        }(child, verdict);
        QTRY_COMPARE(clock.pendingSleeps(), std::size_t(1));
        clock.advance(ModelCheckProcess::timeLimit - Seconds(0.001));
        QCOMPARE(clock.pendingSleeps(), std::size_t(1));
        clock.advance(Seconds(0.001));
        QTRY_VERIFY(verdict);
        QCOMPARE(*verdict, Verdict::unknown);
    }
};

QTEST_GUILESS_MAIN(ModelCheckTest)
#include "tst_modelcheck.moc"
