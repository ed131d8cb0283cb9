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

namespace parlune {

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

    // Clipboard types written with the text: plain text, and the markers that ask clipboard history
    // tools not to keep it.
    static inline const QString plainTextType = QStringLiteral("text/plain");
    static inline const QString plainTextUtf8Type = QStringLiteral("text/plain;charset=utf-8");
    static inline const QString transientType = QStringLiteral("org.nspasteboard.TransientType");
    static inline const QString passwordManagerHintType = QStringLiteral("x-kde-passwordManagerHint");

    // With `directInsertion`, a focused widget that takes text that way gets it before any paste is tried.
    TextInjector(Pasteboard& pasteboard, KeySynth& keys, Workspace& workspace, Clock& clock,
                 FocusedElement* directInsertion = nullptr);

    // Hands `text` straight to the focused widget, where the session has a way to (the accessibility bus
    // on Wayland): no clipboard, no keystroke. False when nothing was inserted, and the paste is left.
    bool insertDirectly(const QString& text);
    // Whether this desktop offers that way at all.
    bool canInsertDirectly() const { return m_directInsertion != nullptr; }

    // Inserts `text` at the cursor of the frontmost application. With `restoreClipboard` the previous
    // clipboard content comes back 0.6 s after the keystroke; without it the text stays on the
    // clipboard. Returns at once, reports nothing; main thread only. While a modifier is held, or an
    // earlier paste waits, the clipboard is left alone until the keystroke can go.
    void pasteAtCursor(const QString& text, bool restoreClipboard);

    // What the clipboard holds while the text is being pasted.
    static PasteboardItem textItem(const QString& text);
    // Terminal emulators take Control+Shift+V for paste, Control+V being a control character there.
    static bool isTerminal(const RunningApplication& application);

private:
    Pasteboard& m_pasteboard;
    KeySynth& m_keys;
    Workspace& m_workspace;
    Clock& m_clock;
    FocusedElement* m_directInsertion;
    // The keystroke of the latest paste; the next one waits for it.
    std::shared_ptr<Completion> m_lastKeystroke;
};

} // namespace parlune
