// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/Completion.h"
#include "platform/Clock.h"
#include "platform/FocusedElement.h"
#include "platform/KeySynth.h"
#include "platform/Pasteboard.h"
#include "platform/Workspace.h"

#include <QString>

#include <memory>
#include <optional>

namespace parlune {

// What became of a paste.
enum class PasteOutcome {
    // The keystroke went; the field does not show its text, so that is all there is to know.
    sent,
    // The keystroke went, and the field's text read back shows the text before its caret.
    readBack,
    // The keystroke went, but the field, which shows its text, did not take it: the text stays on the
    // clipboard.
    notTaken,
    // Another window came to the front while the paste waited: no keystroke, the text stays on the
    // clipboard.
    windowChanged,
    // The program in front takes no paste keystroke: the text stays on the clipboard.
    noPasteChord,
    // The keystroke could not be sent: the text stays on the clipboard.
    noKeystroke,
};

// What a TextInjector uses besides the clipboard and the keys, where the desktop has it.
struct TextInjectorOptions
{
    // A focused widget that takes text this way (the accessibility bus on Wayland) gets it before any
    // paste is tried.
    FocusedElement* directInsertion = nullptr;
    // Where a field shows its text, a paste is read back from it.
    FocusedElement* readBack = nullptr;
    // The PRIMARY selection, which the xterm family pastes on Shift+Insert.
    Pasteboard* primarySelection = nullptr;
};

// Types a finished dictation at the text cursor of the application in front, the way a user would:
// the text goes on the clipboard and the paste keystroke is synthesised. What the user had copied is
// copied aside first and put back a little later, unless something new was copied meanwhile.
class TextInjector
{
public:
    // The restore waits this long after the keystroke, so that the target has read the clipboard.
    static constexpr Seconds restoreDelay{0.6};
    // A held modifier that would turn the paste into another shortcut (Alt, Super...) is waited for: it
    // may be the shortcut of the next dictation, held already. As long as the longest dictation; past
    // it, the key is taken for stuck and the keystroke goes anyway.
    static constexpr Seconds modifierWaitLimit{600.0};
    static constexpr Seconds modifierPollInterval{0.01};
    // A field that shows its text is read again this often after the keystroke, until the restore is
    // due. Not at once: a target that is fetching the clipboard from us cannot answer the bus then,
    // and we could not hand it the clipboard while we wait for its answer.
    static constexpr Seconds readBackInterval{0.05};

    // Clipboard types written with the text: plain text, and the markers that ask clipboard history
    // tools not to keep it.
    static inline const QString plainTextType = QStringLiteral("text/plain");
    static inline const QString plainTextUtf8Type = QStringLiteral("text/plain;charset=utf-8");
    static inline const QString transientType = QStringLiteral("org.nspasteboard.TransientType");
    static inline const QString passwordManagerHintType = QStringLiteral("x-kde-passwordManagerHint");

    TextInjector(Pasteboard& pasteboard, KeySynth& keys, Workspace& workspace, Clock& clock,
                 TextInjectorOptions options = {});

    // Hands `text` straight to the focused widget, where the session has a way to (the accessibility bus
    // on Wayland): no clipboard, no keystroke. False when nothing was inserted, and the paste is left.
    bool insertDirectly(const QString& text);
    // Whether this desktop offers that way at all.
    bool canInsertDirectly() const { return m_options.directInsertion != nullptr; }

    // Inserts `text` at the cursor of the frontmost application. With `restoreClipboard` the previous
    // clipboard content comes back 0.6 s after the keystroke; without it the text stays on the
    // clipboard. Main thread only. While a modifier is held, or an earlier paste waits, the clipboard is
    // left alone until the keystroke can go. Completes once the outcome is known: at the keystroke, or,
    // for a field that shows its text, once it is read back there (at the latest when the restore is
    // due); the restore itself runs on its own.
    QCoro::Task<PasteOutcome> pasteAtCursor(QString text, bool restoreClipboard);

    // What the clipboard holds while the text is being pasted.
    static PasteboardItem textItem(const QString& text);
    // How the application pastes; none for a program known to take no paste keystroke at all.
    static std::optional<PasteChord> pasteChord(const RunningApplication& application);

private:
    Pasteboard& m_pasteboard;
    KeySynth& m_keys;
    Workspace& m_workspace;
    Clock& m_clock;
    TextInjectorOptions m_options;
    // The keystroke of the latest paste; the next one waits for it.
    std::shared_ptr<Completion> m_lastKeystroke;
};

} // namespace parlune
