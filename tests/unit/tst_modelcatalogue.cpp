// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pocketsphinx/PocketsphinxRecognizer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

void makeFiles(const QString& root, const QStringList& paths)
{
    for (const QString& path : paths) {
        const QString full = QDir(root).filePath(path);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        file.open(QIODevice::WriteOnly);
    }
}

QString relative(const QString& root, const QString& path)
{
    return QDir(root).relativeFilePath(path);
}

} // namespace

class ModelCatalogueTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void modelFilesInAFolder_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("expected"); // acoustic | language model | dictionary, or empty

        QTest::newRow("system layout, phonetic model left aside")
            << QStringList{"en-us/mdef", "en-us/means", "en-us-phone.lm.bin", "en-us.lm.bin",
                           "cmudict-en-us.dict"}
            << "en-us | en-us.lm.bin | cmudict-en-us.dict";
        QTest::newRow("everything at the top")
            << QStringList{"mdef", "fr.lm", "fr.dic"} << ". | fr.lm | fr.dic";
        QTest::newRow("text language model")
            << QStringList{"am/mdef", "es.lm.dmp", "es.dict"} << "am | es.lm.dmp | es.dict";
        QTest::newRow("no dictionary") << QStringList{"am/mdef", "es.lm.bin"} << QString();
        QTest::newRow("no acoustic model") << QStringList{"am/means", "es.lm.bin", "es.dict"} << QString();
        QTest::newRow("only a phonetic language model")
            << QStringList{"am/mdef", "fr-phone.lm.bin", "fr.dict"} << QString();
    }

    void modelFilesInAFolder()
    {
        QFETCH(QStringList, files);
        QFETCH(QString, expected);
        QTemporaryDir folder;
        makeFiles(folder.path(), files);

        const std::optional<ModelFiles> found = ModelFiles::find(folder.path());
        const QString outcome = found ? QStringList{relative(folder.path(), found->acousticModel),
                                                    relative(folder.path(), found->languageModel),
                                                    relative(folder.path(), found->dictionary)}
                                            .join(QStringLiteral(" | "))
                                      : QString();
        QCOMPARE(outcome, expected);
    }

    // A model the user installed wins over the system's; a locale that the catalogue does not know is
    // never looked up.
    void userModelComesBeforeTheSystemOne()
    {
        QTemporaryDir root;
        const QStringList model{"am/mdef", "lm.lm.bin", "words.dict"};
        makeFiles(root.filePath(QStringLiteral("system")), model);
        makeFiles(root.filePath(QStringLiteral("models/de-DE")), model);
        const QString system = root.filePath(QStringLiteral("system"));
        PocketsphinxRecognizer recognizer(
            ModelCatalogue({ModelSource{QStringLiteral("en-US"), {}, {}, system},
                            ModelSource{QStringLiteral("fr-FR"), {}, {}, {}}}),
            root.filePath(QStringLiteral("models")));

        QCOMPARE(recognizer.installedModel(QStringLiteral("en-US"))->dictionary, system + "/words.dict");
        makeFiles(root.filePath(QStringLiteral("models/en-US")), model);
        QCOMPARE(recognizer.installedModel(QStringLiteral("en-US"))->dictionary,
                 root.filePath(QStringLiteral("models/en-US/words.dict")));
        QVERIFY(!recognizer.installedModel(QStringLiteral("fr-FR")));
        QVERIFY(!recognizer.installedModel(QStringLiteral("de-DE")));
    }
};

QTEST_GUILESS_MAIN(ModelCatalogueTest)
#include "tst_modelcatalogue.moc"
