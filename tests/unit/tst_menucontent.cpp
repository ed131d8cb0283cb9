// SPDX-License-Identifier: GPL-3.0-or-later
#include "StagedCoordinator.h"
#include "speech/SpeechEngine.h"
#include "ui/MenuContent.h"

#include <QMenu>
#include <QTest>

using namespace parlune;

namespace {

// The menu as a person reads it: its items between bars, "---" for a separator, "(off)" after an item
// that cannot be chosen, the language submenu's choices after its title with "[x]" before the checked one.
QString lines(const QMenu& menu)
{
    QStringList items;
    for (QAction* action : menu.actions()) {
        QString line = action->isSeparator() ? QStringLiteral("---") : action->text();
        if (!action->isEnabled())
            line += QStringLiteral(" (off)");
        for (QAction* choice : action->menu() ? action->menu()->actions() : QList<QAction*>())
            line += (choice->isChecked() ? " [x] " : " [ ] ") + choice->text();
        items << line;
    }
    return items.join(QStringLiteral(" | "));
}

TranscriptEntry entry(const QString& text)
{
    return {QUuid::createUuid(), {}, text};
}

} // namespace

class TestMenuContent : public QObject
{
    Q_OBJECT

    std::unique_ptr<StagedDesktop> m_staged;
    std::unique_ptr<MenuContent> m_menu;

    StagedCoordinator& coordinator() { return m_staged->coordinator; }
    QAction* item(const char* text)
    {
        for (QAction* action : m_menu->menu()->actions())
            if (action->text() == QString::fromUtf8(text))
                return action;
        return nullptr;
    }

    void build(bool live)
    {
        m_menu.reset();
        m_staged = std::make_unique<StagedDesktop>(live);
        MenuCommands commands;
        commands.pasteboard = &m_staged->desktop.pasteboard;
        m_menu = std::make_unique<MenuContent>(coordinator(), std::move(commands));
    }

    // Lets the menu catch up with the coordinator, as the event loop does between two openings.
    static void settle() { QCoreApplication::processEvents(); }

private Q_SLOTS:
    void init() { build(false); }

    void itemsFollowTheState_data()
    {
        QTest::addColumn<RecordingStatus>("status");
        QTest::addColumn<bool>("recording");
        QTest::addColumn<bool>("withHistory");
        QTest::addColumn<QString>("expected");

        // Without history the language submenu is followed directly by the second separator.
        const auto row = [](const char* tag, RecordingStatus status, bool recording, bool history,
                            QString top) {
            QTest::newRow(tag) << status << recording << history
                               << top + " | --- | Langue [x] Français [ ] Español [ ] English | " +
                                      (history ? "Copier le dernier texte | " : "") +
                                      "--- | Ouvrir Parlune | Rechercher des mises à jour… | Revoir la "
                                      "présentation | Quitter";
        };
        row("idle", RecordingStatus::idle(), false, false, "Prêt (off) | Dicter (mains libres)");
        row("recording, with history", RecordingStatus::recording(), true, true,
            "Je vous écoute (off) | Terminer la dictée");
    }

    void itemsFollowTheState()
    {
        QFETCH(RecordingStatus, status);
        QFETCH(bool, recording);
        QFETCH(bool, withHistory);
        QFETCH(QString, expected);

        coordinator().setStatus(status);
        coordinator().setIsRecording(recording);
        coordinator().setHistory(withHistory ? QList{entry(QStringLiteral("bonjour"))}
                                             : QList<TranscriptEntry>());
        settle();
        QCOMPARE(lines(*m_menu->menu()), expected);
        // The menu is rebuilt on every change; the submenus of earlier builds are gone.
        QCOMPARE(m_menu->menu()->findChildren<QMenu*>().size(), 1);
    }

    void copyLeavesTheNewestTextAtBuildTimeAloneOnTheClipboard()
    {
        coordinator().setHistory(
            {entry(QStringLiteral("le plus récent")), entry(QStringLiteral("plus ancien"))});
        settle();
        // What arrives after the menu was built is not what it copies.
        coordinator().setHistory(
            {entry(QStringLiteral("arrivé après")), entry(QStringLiteral("le plus récent"))});
        FakePasteboard& clipboard = m_staged->desktop.pasteboard;
        item("Copier le dernier texte")->trigger();
        const PasteboardItem text{
            {{QStringLiteral("text/plain"), QStringLiteral("le plus récent").toUtf8()}}};
        QCOMPARE(clipboard.content, PasteboardSnapshot{text});
    }

    void dictationItemFinishesWithDeliveryAndNeverCancels()
    {
        build(true);
        m_staged->desktop.focusedElement.facts = FocusedElementFacts{QStringLiteral("text"), true};
        QVERIFY(coordinator().engine().readyFormat(Language::fr));
        item("Dicter (mains libres)")->trigger();
        QVERIFY(coordinator().isRecording() && coordinator().handsFree());
        settle();
        m_staged->desktop.recognizer->lastAnalyzer().readingsOnFinalize = {{QStringLiteral("Bonjour"), true}};
        item("Terminer la dictée")->trigger();
        QVERIFY(!coordinator().isRecording());
        QTRY_COMPARE(coordinator().history().size(), 1);
        QCOMPARE(coordinator().history().first().text, QStringLiteral("Bonjour"));
    }
};

QTEST_MAIN(TestMenuContent)
#include "tst_menucontent.moc"
