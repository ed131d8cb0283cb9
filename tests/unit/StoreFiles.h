// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Helpers for the tests of the settings and history files, with the things a store must survive finding
// where it keeps its file: rows for a table-driven test, a way to put each in place, and a snapshot to
// tell that loading left it exactly as it was.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

namespace parlune::test {

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

inline mode_t modeOf(const QString& path)
{
    struct stat info;
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

enum class Damage { bytes, folder, pipe };

inline void damagedFiles_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("truncated") << Damage::bytes
                               << QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","da)");
    // Unreadable for either file: a switch that is not a boolean, an element that is not an entry.
    QTest::newRow("an object") << Damage::bytes << QByteArray(R"({"soundsEnabled":"yes"})");
    QTest::newRow("an array") << Damage::bytes << QByteArray(R"([true,false])");
    QTest::newRow("number too big for a double") << Damage::bytes << QByteArray(R"([{"date":1e999}])");
    QTest::newRow("invalid UTF-8") << Damage::bytes << QByteArray("[{\"text\":\"caf\xc3(\"}]");
    // One bad entry among good ones is enough.
    const QByteArray good = R"({"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","date":1,"text":"a"})";
    QTest::newRow("an entry without id") << Damage::bytes << "[" + good + R"(,{"date":1,"text":"a"}])";
    QTest::newRow("an id that is not a UUID")
        << Damage::bytes
        << "[" + good + R"(,{"id":"{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}","date":1,"text":"a"}])";
    QTest::newRow("a folder in place of the file") << Damage::folder << QByteArray();
    // Refused even to root, unlike a file without read permission; and it must not block the reader.
    QTest::newRow("a pipe in place of the file") << Damage::pipe << QByteArray();
}

inline void placeDamagedFile(const QString& path, Damage damage, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    switch (damage) {
    case Damage::bytes:
        writeFile(path, content);
        break;
    case Damage::folder:
        QVERIFY(QDir().mkdir(path));
        QVERIFY(QFile(path + QLatin1String("/inside")).open(QIODevice::WriteOnly));
        break;
    case Damage::pipe:
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    }
}

// What is at `path`: its kind and, for a file or a folder, what it holds.
inline QByteArray snapshot(const QString& path)
{
    struct stat info;
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return "nothing";
    QFile file(path);
    if (S_ISREG(info.st_mode) && file.open(QIODevice::ReadOnly))
        return "file " + file.readAll();
    if (S_ISDIR(info.st_mode))
        return "folder " + QDir(path)
                               .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                               .join(u',')
                               .toUtf8();
    return "kind " + QByteArray::number(info.st_mode & S_IFMT);
}

// The temporary files of the atomic writes: none may be left behind.
inline QStringList hiddenFilesBeside(const QString& path)
{
    return QDir(QFileInfo(path).absolutePath()).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden);
}

} // namespace parlune::test

Q_DECLARE_METATYPE(parlune::test::Damage)
