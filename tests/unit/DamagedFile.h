// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Files a store must survive: each row of damagedFiles_data() puts something unreadable where the
// store keeps its file, and damagedFileIsUntouched() tells that loading left it exactly as it was.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <sys/stat.h>

namespace parlune::test {

enum class Damage { bytes, folder, pipe, symlinkLoop };

inline void damagedFiles_data()
{
    QTest::addColumn<Damage>("damage");
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty file") << Damage::bytes << QByteArray();
    QTest::newRow("truncated") << Damage::bytes
                               << QByteArray(R"([{"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F","da)");
    // Unreadable for either file: a switch that is not a boolean, an element that is not an entry.
    QTest::newRow("an object") << Damage::bytes << QByteArray(R"({"soundsEnabled":"yes"})");
    QTest::newRow("an array") << Damage::bytes << QByteArray(R"([true,false])");
    QTest::newRow("number too big for a double") << Damage::bytes << QByteArray(R"([{"date":1e999}])");
    QTest::newRow("invalid UTF-8") << Damage::bytes << QByteArray("[{\"text\":\"caf\xc3(\"}]");
    QTest::newRow("binary garbage") << Damage::bytes << QByteArray("\x00\x01\xff\xfe", 4);
    QTest::newRow("a folder in place of the file") << Damage::folder << QByteArray();
    // Both refuse to be read even by root, unlike a file without read permission.
    QTest::newRow("a pipe in place of the file") << Damage::pipe << QByteArray();
    QTest::newRow("a symbolic link to itself") << Damage::symlinkLoop << QByteArray();
}

inline void placeDamagedFile(const QString& path, Damage damage, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    switch (damage) {
    case Damage::bytes: {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        break;
    }
    case Damage::folder:
        QVERIFY(QDir().mkdir(path));
        QVERIFY(QFile(path + QLatin1String("/inside")).open(QIODevice::WriteOnly));
        break;
    case Damage::pipe:
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        break;
    case Damage::symlinkLoop:
        QVERIFY(QFile::link(path, path));
        break;
    }
}

inline void verifyDamagedFileIsUntouched(const QString& path, Damage damage, const QByteArray& content)
{
    const QFileInfo info(path);
    switch (damage) {
    case Damage::bytes: {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
        break;
    }
    case Damage::folder:
        QVERIFY(info.isDir());
        QVERIFY(QFileInfo::exists(path + QLatin1String("/inside")));
        break;
    case Damage::pipe:
        struct stat status;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &status), 0);
        QVERIFY(S_ISFIFO(status.st_mode));
        break;
    case Damage::symlinkLoop:
        QCOMPARE(info.symLinkTarget(), info.absoluteFilePath());
        break;
    }
}

} // namespace parlune::test

Q_DECLARE_METATYPE(parlune::test::Damage)
