// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux catalogue says anew exactly the texts that name another system's things, its key symbols
// among them (or ask for what cannot be done here), and no other.
#include "FakeDesktop.h"
#include "speech/SpeechEngine.h"
#include "ui/OnboardingModel.h"
#include "ui/TextCatalogue.h"

#include <QDirIterator>
#include <QRegularExpression>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

using namespace parlune;

namespace {

const QRegularExpression anotherSystem(
    QStringLiteral(R"(\bMac\b|macOS|Réglages Système|barre des menus|[⌃⌥⇧⌘]|d'Apple|Finder|Dock\b)"));

// Context and source text of every message of the catalogue's source file.
QList<QPair<QString, QString>> catalogueMessages()
{
    QFile file(QStringLiteral(PARLUNE_SOURCE_DIR "/src/ui/translations/parlune_linux_fr.ts"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QPair<QString, QString>> messages;
    QString context;
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("name"))
            context = xml.readElementText();
        else if (xml.name() == QLatin1String("source"))
            messages.append({context, xml.readElementText()});
    }
    return messages;
}

// Every string literal of the program's C++ and QML, with the name of its file (without extension):
// literals that follow each other on the next line joined, whole-line comments left out.
QMultiHash<QString, QString> programLiterals()
{
    QMultiHash<QString, QString> literals;
    QDirIterator files(QStringLiteral(PARLUNE_SOURCE_DIR "/src"), {"*.cpp", "*.h", "*.qml"}, QDir::Files,
                       QDirIterator::Subdirectories);
    // Written without raw strings, which moc cannot always read.
    const QRegularExpression comment(QStringLiteral("^\\s*//[^\n]*\n"), QRegularExpression::MultilineOption);
    const QRegularExpression split(QStringLiteral("\"\\s*\n\\s*\""));
    const QRegularExpression literal(QStringLiteral("\"((?:[^\"\\\\\n]|\\\\.)*)\""));
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QString code = QString::fromUtf8(file.readAll()).remove(comment).remove(split);
        for (const QRegularExpressionMatch& match : literal.globalMatch(code))
            literals.insert(match.captured(1), files.fileInfo().completeBaseName());
    }
    return literals;
}

} // namespace

class TestTextCatalogue : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void overridesExactlyTheTextsNamingAnotherSystem()
    {
        QTranslator catalogue;
        QVERIFY(catalogue.load(TextCatalogue::path));
        const QMultiHash<QString, QString> literals = programLiterals();
        QStringList sources;
        for (const auto& [context, source] : catalogueMessages()) {
            sources << source;
            // Said under the context of the class or QML file that holds the text.
            const QStringList files = literals.values(source);
            const QString owner = context.section(u':', -1);
            const bool inItsFile = std::any_of(files.begin(), files.end(),
                                               [&](const QString& file) { return file.startsWith(owner); });
            QVERIFY2(inItsFile, qPrintable(context + u' ' + source));
            const QString said = catalogue.translate(context.toUtf8(), source.toUtf8());
            QVERIFY2(!said.isEmpty() && !said.contains(anotherSystem), qPrintable(source));
            QCOMPARE(said.count(QStringLiteral("%1")), source.count(QStringLiteral("%1")));
        }
        // Every text naming another system's things, and the fn page's title (fn cannot be freed on a PC
        // keyboard: the page offers another key instead); no other.
        QStringList expected = QStringList(literals.keys()).filter(anotherSystem);
        expected << QStringLiteral("Libérez la touche fn");
        expected.removeDuplicates();
        expected.sort();
        sources.sort();
        QCOMPARE(sources, expected);
    }

    void programTextsGoThroughTheCatalogue()
    {
        QVERIFY(TextCatalogue::install());
        QTemporaryDir folder;
        FakeDesktop desktop(folder.path());
        AppCoordinator coordinator(desktop.services(), false);
        OnboardingModel walkthrough(coordinator, ViewServices{});
        QVERIFY(walkthrough.textFor(OnboardingModel::Welcome).endsWith(QStringLiteral("cet ordinateur.")));
        QCOMPARE(SpeechEngine::description(SpeechEngine::EngineError::unsupported(Language::es)),
                 QStringLiteral("Español n'est pas disponible sur cet ordinateur."));
    }
};

QTEST_MAIN(TestTextCatalogue)
#include "tst_textcatalogue.moc"
