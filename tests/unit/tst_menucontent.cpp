// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeDesktop.h"
#include "StagedCoordinator.h"
#include "speech/SpeechEngine.h"
#include "ui/MenuContent.h"

#include <QMenu>
#include <QTemporaryDir>
#include <QTest>

using namespace parlune;

namespace {

// The menu as a person reads it: one line per item, "---" for a separator, "[x]" before a checked
// language, "(off)" after an item that cannot be chosen.
QStringList lines(const QMenu& menu)
{
    QStringList result;
    for (QAction* action : menu.actions()) {
        if (action->isSeparator()) {
            result << QStringLiteral("---");
            continue;
        }
        QString line = action->text();
        if (!action->isEnabled())
            line += QStringLiteral(" (off)");
        result << line;
        if (QMenu* submenu = action->menu()) {
            for (QAction* choice : submenu->actions())
                result << QStringLiteral("  ") +
                              (choice->isChecked() ? QStringLiteral("[x] ") : QStringLiteral("[ ] ")) +
                              choice->text();
        }
    }
    return result;
}

QAction* item(const QMenu& menu, const QString& text)
{
    for (QAction* action : menu.actions()) {
        if (action->text() == text)
            return action;
        if (QMenu* submenu = action->menu()) {
            for (QAction* choice : submenu->actions()) {
                if (choice->text() == text)
                    return choice;
            }
        }
    }
    return nullptr;
}

TranscriptEntry entry(const QString& text)
{
    TranscriptEntry entry;
    entry.id = QUuid::createUuid();
    entry.text = text;
    return entry;
}

} // namespace

class TestMenuContent : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<FakeDesktop> m_desktop;
    std::unique_ptr<StagedCoordinator> m_coordinator;
    std::unique_ptr<MenuContent> m_menu;
    int m_windowShown = 0;
    int m_updateChecks = 0;
    int m_quits = 0;

    QMenu& menu() { return *m_menu->menu(); }
    StagedCoordinator& coordinator() { return *m_coordinator; }

    // Lets the menu catch up with the coordinator, as the event loop does between two openings.
    static void settle() { QCoreApplication::processEvents(); }

private Q_SLOTS:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("settings.json")));
        QFile::remove(m_dir.filePath(QStringLiteral("history.json")));
        m_desktop = std::make_unique<FakeDesktop>(m_dir.path());
        m_coordinator = std::make_unique<StagedCoordinator>(m_desktop->services(), false);
        m_windowShown = m_updateChecks = m_quits = 0;
        MenuCommands commands;
        commands.showMainWindow = [this] { ++m_windowShown; };
        commands.checkForUpdates = [this] { ++m_updateChecks; };
        commands.quit = [this] { ++m_quits; };
        commands.pasteboard = &m_desktop->pasteboard;
        m_menu = std::make_unique<MenuContent>(*m_coordinator, std::move(commands));
    }

    void cleanup()
    {
        m_menu.reset();
        m_coordinator.reset();
        m_desktop.reset();
    }

    void itemsFollowTheState_data()
    {
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<bool>("withHistory");
        QTest::addColumn<QStringList>("expected");

        const QStringList languages{QStringLiteral("Langue"), QStringLiteral("  [x] Français"),
                                    QStringLiteral("  [ ] Español"), QStringLiteral("  [ ] English")};
        const QStringList commands{QStringLiteral("---"), QStringLiteral("Ouvrir Parlune"),
                                   QStringLiteral("Rechercher des mises à jour…"),
                                   QStringLiteral("Revoir la présentation"), QStringLiteral("Quitter")};
        const auto menu = [&](const char* status, const char* second, bool copy) {
            QStringList lines{QString::fromUtf8(status) + QStringLiteral(" (off)"), QString::fromUtf8(second),
                              QStringLiteral("---")};
            lines << languages;
            if (copy)
                lines << QStringLiteral("Copier le dernier texte");
            return lines << commands;
        };

        // Without history the language submenu is followed directly by the second separator.
        QTest::newRow("idle") << RecordingStatus::idle() << false << false
                              << menu("Prêt", "Dicter (mains libres)", false);
        QTest::newRow("idle with history")
            << RecordingStatus::idle() << false << true << menu("Prêt", "Dicter (mains libres)", true);
        QTest::newRow("recording") << RecordingStatus::recording() << true << false
                                   << menu("Je vous écoute", "Terminer la dictée", false);
        QTest::newRow("recording with history") << RecordingStatus::recording() << true << true
                                                << menu("Je vous écoute", "Terminer la dictée", true);
        QTest::newRow("preparing") << RecordingStatus::preparing(QStringLiteral("Préparation : Français…"))
                                   << false << false
                                   << menu("Préparation : Français…", "Dicter (mains libres)", false);
        QTest::newRow("inserted") << RecordingStatus::inserted(3) << false << true
                                  << menu("3 mots insérés", "Dicter (mains libres)", true);
    }

    void itemsFollowTheState()
    {
        QFETCH(RecordingStatus, status);
        QFETCH(bool, recording);
        QFETCH(bool, withHistory);
        QFETCH(QStringList, expected);

        coordinator().setStatus(status);
        coordinator().setIsRecording(recording);
        if (withHistory)
            coordinator().setHistory({entry(QStringLiteral("bonjour"))});
        settle();
        QCOMPARE(lines(menu()), expected);
        // Only Quitter has a keyboard equivalent.
        for (QAction* action : menu().actions())
            QCOMPARE(action->shortcut(), action->text() == QStringLiteral("Quitter")
                                             ? QKeySequence(QStringLiteral("Ctrl+Q"))
                                             : QKeySequence());
    }

    void choosingALanguageSetsIt()
    {
        item(menu(), QStringLiteral("English"))->trigger();
        QCOMPARE(coordinator().language(), Language::en);
        settle();
        QVERIFY(item(menu(), QStringLiteral("English"))->isChecked());
        QVERIFY(!item(menu(), QStringLiteral("Français"))->isChecked());

        // The language already chosen: no change is published.
        int changes = 0;
        connect(&coordinator(), &AppCoordinator::languageChanged, this, [&] { ++changes; });
        item(menu(), QStringLiteral("English"))->trigger();
        QCOMPARE(changes, 0);
        QCOMPARE(coordinator().language(), Language::en);
    }

    void copyTakesTheNewestTextWhenTheMenuWasBuilt()
    {
        coordinator().setHistory(
            {entry(QStringLiteral("le plus récent")), entry(QStringLiteral("plus ancien"))});
        settle();
        m_desktop->pasteboard.copyFromOtherProgram(
            {PasteboardItem{{{QStringLiteral("image/png"), QByteArrayLiteral("png")}}}});
        item(menu(), QStringLiteral("Copier le dernier texte"))->trigger();

        // The clipboard holds the text alone: what was there before is cleared.
        QCOMPARE(m_desktop->pasteboard.content.size(), 1u);
        const PasteboardItem expected{
            {{QStringLiteral("text/plain"), QStringLiteral("le plus récent").toUtf8()}}};
        QCOMPARE(m_desktop->pasteboard.content.front(), expected);
    }

    void commandsReachTheProgram()
    {
        item(menu(), QStringLiteral("Ouvrir Parlune"))->trigger();
        QCOMPARE(m_windowShown, 1);
        item(menu(), QStringLiteral("Rechercher des mises à jour…"))->trigger();
        QCOMPARE(m_updateChecks, 1);
        item(menu(), QStringLiteral("Quitter"))->trigger();
        QCOMPARE(m_quits, 1);
    }

    void reviewingTheWalkthroughReopensItWithoutSaving()
    {
        QVERIFY(coordinator().onboardingDone());
        item(menu(), QStringLiteral("Revoir la présentation"))->trigger();
        QVERIFY(!coordinator().onboardingDone());
        QCOMPARE(m_windowShown, 1);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("settings.json"))));
    }

    void dictationItemStartsAndFinishesWithDelivery()
    {
        // A live coordinator on fakes, recording for real: the item finishes, it does not cancel.
        m_menu.reset();
        m_coordinator.reset();
        m_coordinator = std::make_unique<StagedCoordinator>(m_desktop->services(), true);
        m_menu = std::make_unique<MenuContent>(*m_coordinator, MenuCommands{});
        m_desktop->focusedElement.facts = FocusedElementFacts{QStringLiteral("text"), true};
        QVERIFY(coordinator().engine().readyFormat(Language::fr));

        item(menu(), QStringLiteral("Dicter (mains libres)"))->trigger();
        QVERIFY(coordinator().isRecording());
        QVERIFY(coordinator().handsFree());
        settle();
        m_desktop->recognizer->lastAnalyzer().readingsOnFinalize = {{QStringLiteral("bonjour"), true}};
        item(menu(), QStringLiteral("Terminer la dictée"))->trigger();
        QVERIFY(!coordinator().isRecording());
        QTRY_COMPARE(coordinator().history().size(), 1);
        QCOMPARE(coordinator().history().first().text, QStringLiteral("bonjour"));
    }
};

QTEST_MAIN(TestMenuContent)
#include "tst_menucontent.moc"
