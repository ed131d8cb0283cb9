// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux catalogue says differently exactly the texts that name another system's things (or ask
// for what cannot be done here): each is still a text of the program, each is said anew, and no other
// text is touched. Key symbols of another system are among those things.
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

// Every string literal of the program's C++ and QML, literals that follow each other on the next line
// joined, whole-line comments left out.
QStringList programLiterals()
{
    QStringList literals;
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
            literals << match.captured(1);
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
        const QList<QPair<QString, QString>> overridden{
            {"parlune::OnboardingModel", "Le texte s'écrit sous votre curseur, dans vos mails, vos messages "
                                         "ou vos documents. Votre voix ne "
                                         "quitte jamais ce Mac."},
            {"parlune::OnboardingModel", "Parlune n'écoute que pendant que vous tenez la touche. Le son est "
                                         "transcrit sur ce Mac, puis effacé."},
            {"parlune::OnboardingModel", "macOS doit autoriser Parlune à repérer votre touche et à coller le "
                                         "texte. Cochez Parlune dans la "
                                         "liste qui s'ouvre, puis revenez ici."},
            // fn cannot be freed on a PC keyboard: the page offers another key instead.
            {"parlune::OnboardingModel", "Libérez la touche fn"},
            {"parlune::OnboardingModel",
             "Pour l'instant, fn ouvre aussi les emojis ou la dictée d'Apple. Dans Réglages Système, puis "
             "Clavier, réglez la touche fn sur Ne rien faire."},
            {"parlune::OnboardingModel",
             "Vous pourrez en changer à tout moment depuis l'icône de la barre des menus."},
            {"parlune::OnboardingModel", "Parlune reste dans la barre des menus. Gardez "},
            {"OnboardingView", "Ouvrir Parlune au démarrage du Mac"},
            {"AppCoordinator", "Aucun champ de texte actif : le texte est copié, collez-le avec ⌘V"},
            {"SpeechEngine", "%1 n'est pas disponible sur ce Mac."},
        };
        QCOMPARE(catalogueMessages(), overridden);

        QTranslator catalogue;
        QVERIFY(catalogue.load(TextCatalogue::path));
        const QStringList literals = programLiterals();
        for (const auto& [context, source] : overridden) {
            QVERIFY2(literals.contains(source), qPrintable(source));
            const QString said = catalogue.translate(context.toUtf8(), source.toUtf8());
            QVERIFY2(!said.isEmpty() && !said.contains(anotherSystem), qPrintable(source));
            QCOMPARE(said.count(QStringLiteral("%1")), source.count(QStringLiteral("%1")));
        }
        // Found them all: no other text of the program names another system's things.
        for (const QString& text : literals.filter(anotherSystem)) {
            const bool listed = std::any_of(overridden.begin(), overridden.end(),
                                            [&](const auto& message) { return message.second == text; });
            QVERIFY2(listed, qPrintable(text));
        }
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
