// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/MenuContent.h"

#include "app/AppCoordinator.h"
#include "platform/Pasteboard.h"
#include "speech/Language.h"

#include <QActionGroup>
#include <QMenu>

namespace parlune {

MenuContent::MenuContent(AppCoordinator& coordinator, MenuCommands commands, QObject* parent)
    : QObject(parent)
    , m_coordinator(coordinator)
    , m_commands(std::move(commands))
    , m_menu(new QMenu)
{
    // The menu shows the status, the recording, the language and the history; nothing else it reads.
    for (auto signal : {&AppCoordinator::statusChanged, &AppCoordinator::isRecordingChanged,
                        &AppCoordinator::languageChanged, &AppCoordinator::historyChanged})
        connect(&m_coordinator, signal, this, &MenuContent::scheduleRebuild);
    rebuild();
}

void MenuContent::scheduleRebuild()
{
    // Later, once: a change often comes from one of the menu's own actions, which must not be deleted
    // while it runs, and several fields change together.
    if (m_rebuildPending)
        return;
    m_rebuildPending = true;
    QMetaObject::invokeMethod(this, &MenuContent::rebuild, Qt::QueuedConnection);
}

MenuContent::~MenuContent()
{
    delete m_menu;
}

void MenuContent::rebuild()
{
    m_rebuildPending = false;
    // clear() removes the actions but leaves the submenus they opened alive as children of the menu.
    const QList<QMenu*> submenus = m_menu->findChildren<QMenu*>(Qt::FindDirectChildrenOnly);
    m_menu->clear();
    qDeleteAll(submenus);

    QAction* statusLine = m_menu->addAction(m_coordinator.status().label());
    statusLine->setEnabled(false);

    // While recording the same item finishes the dictation and delivers its text; it never cancels.
    m_menu->addAction(m_coordinator.isRecording() ? tr("Terminer la dictée") : tr("Dicter (mains libres)"),
                      &m_coordinator, &AppCoordinator::toggle);
    m_menu->addSeparator();

    QMenu* languages = m_menu->addMenu(tr("Langue"));
    auto* group = new QActionGroup(languages);
    for (Language language : allLanguages) {
        QAction* choice = languages->addAction(displayName(language));
        choice->setCheckable(true);
        choice->setChecked(language == m_coordinator.language());
        group->addAction(choice);
        connect(choice, &QAction::triggered, this, [this, language] {
            // Choosing the current language again changes nothing.
            if (m_coordinator.language() != language)
                m_coordinator.setLanguage(language);
        });
    }

    if (!m_coordinator.history().isEmpty()) {
        // The text of the newest entry at the time the menu was built.
        const QString text = m_coordinator.history().first().text;
        m_menu->addAction(tr("Copier le dernier texte"), this, [this, text] {
            if (!m_commands.pasteboard)
                return;
            m_commands.pasteboard->clearContents();
            m_commands.pasteboard->writeItems(
                {PasteboardItem{{{QStringLiteral("text/plain"), text.toUtf8()}}}});
        });
    }
    m_menu->addSeparator();

    m_menu->addAction(tr("Ouvrir Parlune"), this, [this] {
        if (m_commands.showMainWindow)
            m_commands.showMainWindow();
    });
    m_menu->addAction(tr("Rechercher des mises à jour…"), this, [this] {
        if (m_commands.checkForUpdates)
            m_commands.checkForUpdates();
    });
    m_menu->addAction(tr("Revoir la présentation"), this, [this] {
        // Saved with the next settings save, not now: quitting before then brings the usual window back.
        m_coordinator.setOnboardingDone(false);
        if (m_commands.showMainWindow)
            m_commands.showMainWindow();
    });
    QAction* quit = m_menu->addAction(tr("Quitter"), this, [this] {
        if (m_commands.quit)
            m_commands.quit();
    });
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
}

} // namespace parlune
