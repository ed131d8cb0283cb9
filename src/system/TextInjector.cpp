// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/TextInjector.h"

#include <QSet>

namespace parlune {

namespace {

// The keystroke waits for the user's modifiers, then the restore waits for the target to have read the
// clipboard. Everything the task uses is a parameter: it does not need the injector to live on.
QCoro::Task<> pasteAndRestore(Pasteboard& pasteboard, KeySynth& keys, Clock& clock, PasteChord chord,
                              int ourChangeCount, PasteboardSnapshot snapshot, bool restoreClipboard)
{
    // Control+Alt+Space still held when the dictation ends would make Control+V into
    // Control+Alt+V: let the keys come up, and past a short bound release them ourselves.
    const Clock::Instant waitStart = clock.now();
    while (keys.modifiersHeld() &&
           secondsBetween(waitStart, clock.now()) < TextInjector::modifierWaitLimit.count())
        co_await clock.sleep(TextInjector::modifierPollInterval);

    keys.postPaste(chord);

    if (!restoreClipboard)
        co_return;
    // The clipboard stays ours while we sleep: the event loop keeps running, so the target
    // application's request for the text is answered.
    co_await clock.sleep(TextInjector::restoreDelay);

    // Anything copied since, by the user or another program, wins over the old content.
    if (pasteboard.changeCount() != ourChangeCount)
        co_return;
    pasteboard.clearContents();
    if (!snapshot.empty())
        pasteboard.writeItems(snapshot);
}

} // namespace

TextInjector::TextInjector(Pasteboard& pasteboard, KeySynth& keys, Workspace& workspace, Clock& clock,
                           FocusedElement* directInsertion)
    : m_pasteboard(pasteboard)
    , m_keys(keys)
    , m_workspace(workspace)
    , m_clock(clock)
    , m_directInsertion(directInsertion)
{}

bool TextInjector::insertDirectly(const QString& text)
{
    // Unconfirmed still counts: the text may be there, and a paste could put it in twice.
    return m_directInsertion && m_directInsertion->insertText(text) != TextInsertion::notInserted;
}

void TextInjector::pasteAtCursor(const QString& text, bool restoreClipboard)
{
    PasteboardSnapshot snapshot = m_pasteboard.items();
    m_pasteboard.clearContents();
    m_pasteboard.writeItems({textItem(text)});
    const int ourChangeCount = m_pasteboard.changeCount();

    const auto frontmost = m_workspace.frontmostApplication();
    const PasteChord chord =
        frontmost && isTerminal(*frontmost) ? PasteChord::controlShiftV : PasteChord::controlV;

    // The task runs on its own once dropped; until the keystroke it only waits on the clock.
    pasteAndRestore(m_pasteboard, m_keys, m_clock, chord, ourChangeCount, std::move(snapshot),
                    restoreClipboard);
}

PasteboardItem TextInjector::textItem(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return PasteboardItem{{
        {plainTextType, utf8},
        {plainTextUtf8Type, utf8},
        {transientType, QByteArray("")},
        {passwordManagerHintType, QByteArray("secret")},
    }};
}

bool TextInjector::isTerminal(const RunningApplication& application)
{
    // Window classes and instance names of the common terminal emulators, lower case.
    static const QSet<QString> terminals{
        QStringLiteral("xterm"),
        QStringLiteral("uxterm"),
        QStringLiteral("gnome-terminal"),
        QStringLiteral("gnome-terminal-server"),
        QStringLiteral("konsole"),
        QStringLiteral("kitty"),
        QStringLiteral("alacritty"),
        QStringLiteral("xfce4-terminal"),
        QStringLiteral("mate-terminal"),
        QStringLiteral("lxterminal"),
        QStringLiteral("qterminal"),
        QStringLiteral("terminator"),
        QStringLiteral("tilix"),
        QStringLiteral("urxvt"),
        QStringLiteral("rxvt"),
        QStringLiteral("st"),
        QStringLiteral("st-256color"),
        QStringLiteral("sakura"),
        QStringLiteral("terminology"),
        QStringLiteral("guake"),
        QStringLiteral("tilda"),
        QStringLiteral("yakuake"),
        QStringLiteral("wezterm"),
        QStringLiteral("org.wezfurlong.wezterm"),
        QStringLiteral("foot"),
        QStringLiteral("kgx"),
        QStringLiteral("org.gnome.console"),
        QStringLiteral("deepin-terminal"),
        QStringLiteral("cool-retro-term"),
        QStringLiteral("x-terminal-emulator"),
    };
    return terminals.contains(application.bundleIdentifier.toLower()) ||
           terminals.contains(application.instanceName.toLower());
}

} // namespace parlune
