// SPDX-License-Identifier: GPL-3.0-or-later
// Putting a dictation's text where the user was typing, and telling how it went.
#include "app/AppCoordinator.h"

#include "platform/FocusedElement.h"
#include "platform/InputAccess.h"
#include "platform/Pasteboard.h"
#include "speech/TextFormatter.h"
#include "store/TranscriptStore.h"
#include "system/Permissions.h"
#include "system/TextInjector.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace parlune {

namespace {

// Words as separated by any white space; blanks alone count none.
qint64 wordCount(const QString& text)
{
    return text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).size();
}

// How long the application brought back to the front gets to take the focus before the paste.
constexpr Seconds reactivationDelay{0.15};

} // namespace

QCoro::Task<> AppCoordinator::deliver(QString words, std::optional<RunningApplication> target,
                                      Language language)
{
    QPointer<AppCoordinator> self(this);
    if (words.isEmpty()) {
        if (!m_isRecording)
            setStatus(RecordingStatus::idle());
        co_return;
    }

    co_await reactivate(target);
    if (!self)
        co_return;

    // A widget that takes the text straight from us gets it so: no clipboard, no keystroke, and no
    // permission to type is needed.
    if (m_injector->canInsertDirectly()) {
        const QString text = TextFormatter(language).format(words, cursorContext(language));
        if (m_injector->insertDirectly(text)) {
            m_transcripts->add(text, Date::now());
            setHistory(m_transcripts->entries());
            if (!m_isRecording)
                setStatus(RecordingStatus::inserted(wordCount(text)));
            co_return;
        }
    }

    // No answer does not count as a refusal: most fields answer, and pasting is then the best guess.
    const std::optional<bool> accepts = m_permissions->focusedElementAcceptsText();
    const bool refuses = accepts.has_value() && !*accepts;
    const bool trusted = m_inputAccess && m_inputAccess->isTrusted();
    // Read just before the paste, so that it holds an earlier dictation delivered meanwhile. Text that
    // only goes to the clipboard, or to a widget that takes none, is written as a sentence of its own.
    const QString text = TextFormatter(language).format(words, trusted && !refuses ? cursorContext(language)
                                                                                   : CursorContext());
    if (!trusted) {
        m_pasteboard->clearContents();
        m_pasteboard->writeItems({PasteboardItem{{{TextInjector::plainTextType, text.toUtf8()}}}});
        m_transcripts->add(text, Date::now());
        setHistory(m_transcripts->entries());
        // Where the desktop binds the shortcut (Wayland), what is missing is its consent to type, which
        // the window calls "Saisie au clavier".
        if (!m_isRecording)
            setStatus(RecordingStatus::message(
                desktopBindsShortcut()
                    ? QCoreApplication::translate("AppCoordinator",
                                                  "Copié dans le presse-papier (Saisie au clavier requise)")
                    : QCoreApplication::translate("AppCoordinator",
                                                  "Copié dans le presse-papier (Accessibilité requise)")));
        co_return;
    }

    // A field that refuses text keeps nothing of the paste: the text stays on the clipboard for the user
    // to paste by hand.
    QCoro::Task<PasteOutcome> pasting = m_injector->pasteAtCursor(text, !refuses);
    // Recorded at once, even while the paste waits for keys to come up.
    m_transcripts->add(text, Date::now());
    setHistory(m_transcripts->entries());
    // Nothing says the text arrived before the keystroke was sent, or before a field that shows its text
    // shows it: until then the panel still says the dictation is being transcribed.
    const PasteOutcome outcome = co_await std::move(pasting);
    if (!self)
        co_return;

    // A new dictation that started meanwhile keeps its status.
    if (m_isRecording)
        co_return;
    if (refuses || (outcome != PasteOutcome::sent && outcome != PasteOutcome::readBack))
        setStatus(RecordingStatus::message(QCoreApplication::translate(
            "AppCoordinator", "Aucun champ de texte actif : le texte est copié, collez-le avec ⌘V")));
    else
        setStatus(RecordingStatus::inserted(wordCount(text)));
}

QCoro::Task<> AppCoordinator::reactivate(std::optional<RunningApplication> application)
{
    if (!application)
        co_return;
    const std::optional<RunningApplication> front = m_workspace->frontmostApplication();
    const QString frontIdentifier = front ? front->bundleIdentifier : QString();
    // Another application is in front: the user moved on, and the text goes there.
    if (frontIdentifier != m_workspace->currentApplication().bundleIdentifier)
        co_return;
    // This program took the focus (its panel or a window was clicked): give it back first. Where that
    // cannot be done (another program's window on Wayland) there is nothing to wait for.
    if (m_workspace->activate(*application))
        co_await m_clock->sleep(reactivationDelay);
}

CursorContext AppCoordinator::cursorContext(Language language) const
{
    return CursorContext::fromTextBefore(
        m_focusedElement ? m_focusedElement->textBeforeCaret(CursorContext::readLength) : std::nullopt,
        language);
}

} // namespace parlune
