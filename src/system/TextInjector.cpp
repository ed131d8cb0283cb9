// SPDX-License-Identifier: GPL-3.0-or-later
#include "system/TextInjector.h"

#include "platform/Log.h"

#include <QSet>

#include <algorithm>
#include <utility>

namespace parlune {

namespace {

// Names are compared in lower case with both parts of the window's class: the class ("XTerm") and the
// instance, often the executable ("xterm").
bool isListed(const QSet<QString>& names, const RunningApplication& application)
{
    return names.contains(application.bundleIdentifier.toLower()) ||
           names.contains(application.instanceName.toLower());
}

// Terminal emulators take Control+Shift+V for paste, Control+V being a control character there.
const QSet<QString> terminals{
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

// The xterm family types Control+Shift+V as a control character and has no chord for the clipboard:
// Shift+Insert pastes the PRIMARY selection.
const QSet<QString> xtermFamily{
    QStringLiteral("xterm"), QStringLiteral("uxterm"),       QStringLiteral("urxvt"),
    QStringLiteral("rxvt"),  QStringLiteral("rxvt-unicode"),
};

// Programs that take no paste keystroke at all: xev prints the keys it gets and takes no text; the
// nested X servers hand keys to the programs of their own display, which paste that display's clipboard,
// not ours.
const QSet<QString> withoutPaste{
    QStringLiteral("xev"),
    QStringLiteral("xephyr"),
    QStringLiteral("xnest"),
};

// A paste's text is read back with a little more before it: white space may be told differently.
constexpr int readBackMargin = 16;

// The outcome of one paste, for whoever waits for it.
struct PasteResult
{
    Completion known;
    PasteOutcome outcome = PasteOutcome::sent;
};

// One selection lent to a paste: what it held before, and the change count of the text put there.
class LentSelection
{
public:
    LentSelection(Pasteboard& pasteboard, const QString& text)
        : m_pasteboard(pasteboard)
        , m_snapshot(pasteboard.items())
    {
        m_pasteboard.clearContents();
        m_pasteboard.writeItems({TextInjector::textItem(text)});
        m_ourChangeCount = m_pasteboard.changeCount();
    }

    void giveBack()
    {
        // Anything copied since, by the user or another program, wins over the old content.
        if (m_pasteboard.changeCount() != m_ourChangeCount)
            return;
        m_pasteboard.clearContents();
        if (!m_snapshot.empty())
            m_pasteboard.writeItems(m_snapshot);
    }

private:
    Pasteboard& m_pasteboard;
    PasteboardSnapshot m_snapshot;
    int m_ourChangeCount = 0;
};

// Whether the text before the caret, read back after the keystroke, shows the paste. Blanks do not
// count: a one-line field turns line breaks into spaces or drops them.
bool showsPaste(const QString& before, const QString& after, const QString& text)
{
    const auto withoutBlanks = [](QString value) {
        value.removeIf([](QChar c) { return c.isSpace(); });
        return value;
    };
    return after != before && withoutBlanks(after).endsWith(withoutBlanks(text));
}

void report(PasteResult& result, PasteOutcome outcome, qsizetype characters)
{
    static constexpr const char* lines[] = {
        "Parlune: %lld characters pasted, not read back",
        "Parlune: %lld characters pasted, read back",
        "Parlune: %lld characters pasted, not found on reading back: left on the clipboard",
        "Parlune: %lld characters left on the clipboard: another window came to the front while the paste "
        "waited",
        "Parlune: %lld characters left on the clipboard: the program in front takes no paste keystroke",
        "Parlune: %lld characters left on the clipboard: the paste keystroke could not be sent",
    };
    logLine(lines[int(outcome)], qint64(characters));
    result.outcome = outcome;
    result.known.complete();
}

// Everything a paste uses: it does not need the injector to live on.
struct Paste
{
    Pasteboard& clipboard;
    Pasteboard* primarySelection;
    KeySynth& keys;
    Workspace& workspace;
    Clock& clock;
    FocusedElement* readBack;
    QString text;
    std::optional<PasteChord> chord;
    bool restoreClipboard;
    // The application in front when the paste was asked for.
    std::optional<RunningApplication> front;
};

QCoro::Task<> pasteInTurn(Paste paste, std::shared_ptr<Completion> previous,
                          std::shared_ptr<Completion> keystroke, std::shared_ptr<PasteResult> result)
{
    const qsizetype characters = paste.text.size();
    // One paste at a time: when the keystroke lands, the clipboard must hold this text, not the next.
    bool waited = false;
    if (previous && !previous->isDone()) {
        waited = true;
        co_await previous->wait();
    }
    const auto leaveOnClipboard = [&](PasteOutcome outcome) {
        paste.clipboard.clearContents();
        paste.clipboard.writeItems({TextInjector::textItem(paste.text)});
        keystroke->complete();
        report(*result, outcome, characters);
    };
    if (!paste.chord) {
        leaveOnClipboard(PasteOutcome::noPasteChord);
        co_return;
    }

    // Control+Alt+Space still held when the dictation ends would make Control+V into Control+Alt+V:
    // let the keys come up. The clipboard is left alone meanwhile.
    Clock& clock = paste.clock;
    const Clock::Instant waitStart = clock.now();
    while (paste.keys.modifiersHeld() &&
           secondsBetween(waitStart, clock.now()) < TextInjector::modifierWaitLimit.count()) {
        waited = true;
        co_await clock.sleep(TextInjector::modifierPollInterval);
    }
    // The user went to another window meanwhile: the text is not theirs to receive.
    if (waited && paste.workspace.frontmostApplication() != paste.front) {
        leaveOnClipboard(PasteOutcome::windowChanged);
        co_return;
    }

    // Read before the clipboard is ours: while we wait for the bus, nobody waits for our clipboard.
    const int readLength = int(characters) + readBackMargin;
    const qint64 process = paste.front ? paste.front->processIdentifier : 0;
    FocusedElement* readBack = paste.restoreClipboard ? paste.readBack : nullptr;
    const std::optional<QString> before =
        readBack ? readBack->pasteTargetTextBeforeCaret(process, readLength) : std::nullopt;

    LentSelection clipboard(paste.clipboard, paste.text);
    std::optional<LentSelection> primary;
    if (*paste.chord == PasteChord::shiftInsert)
        primary.emplace(*paste.primarySelection, paste.text);
    const bool sent = paste.keys.postPaste(*paste.chord);
    const Clock::Instant sentAt = clock.now();
    keystroke->complete();
    if (!sent) {
        report(*result, PasteOutcome::noKeystroke, characters);
        co_return;
    }
    if (!paste.restoreClipboard) {
        report(*result, PasteOutcome::sent, characters);
        co_return;
    }

    // The clipboard stays ours while we sleep: the event loop keeps running, so the target
    // application's request for the text is answered.
    const auto untilRestore = [&] {
        return TextInjector::restoreDelay.count() - secondsBetween(sentAt, clock.now());
    };
    PasteOutcome outcome = PasteOutcome::sent;
    if (before) {
        outcome = PasteOutcome::notTaken;
        while (untilRestore() > 0) {
            co_await clock.sleep(Seconds(std::min(TextInjector::readBackInterval.count(), untilRestore())));
            const std::optional<QString> after = readBack->pasteTargetTextBeforeCaret(process, readLength);
            // The field went away (a dialog the paste closed): nothing more can be known.
            if (!after) {
                outcome = PasteOutcome::sent;
                break;
            }
            if (showsPaste(*before, *after, paste.text)) {
                outcome = PasteOutcome::readBack;
                break;
            }
        }
    }
    report(*result, outcome, characters);
    // A field that shows it did not take the text leaves it on the clipboard, for the user to paste.
    if (outcome == PasteOutcome::notTaken)
        co_return;
    if (untilRestore() > 0)
        co_await clock.sleep(Seconds(untilRestore()));
    clipboard.giveBack();
    if (primary)
        primary->giveBack();
}

} // namespace

TextInjector::TextInjector(Pasteboard& pasteboard, KeySynth& keys, Workspace& workspace, Clock& clock,
                           TextInjectorOptions options)
    : m_pasteboard(pasteboard)
    , m_keys(keys)
    , m_workspace(workspace)
    , m_clock(clock)
    , m_options(options)
{}

bool TextInjector::insertDirectly(const QString& text)
{
    // Unconfirmed still counts: the text may be there, and a paste could put it in twice.
    return m_options.directInsertion &&
           m_options.directInsertion->insertText(text) != TextInsertion::notInserted;
}

QCoro::Task<PasteOutcome> TextInjector::pasteAtCursor(QString text, bool restoreClipboard)
{
    const auto frontmost = m_workspace.frontmostApplication();
    std::optional<PasteChord> chord = frontmost ? pasteChord(*frontmost) : PasteChord::controlV;
    // Without a PRIMARY selection of ours, Shift+Insert would paste whatever is selected elsewhere.
    if (chord == PasteChord::shiftInsert && !m_options.primarySelection)
        chord.reset();

    // With no key held and no paste before it still waiting, the keystroke goes before this call
    // first waits; only the read-back and the restore are left to run.
    auto keystroke = std::make_shared<Completion>();
    auto result = std::make_shared<PasteResult>();
    pasteInTurn(Paste{m_pasteboard, m_options.primarySelection, m_keys, m_workspace, m_clock,
                      m_options.readBack, std::move(text), chord, restoreClipboard, frontmost},
                std::exchange(m_lastKeystroke, keystroke), keystroke, result);
    co_await result->known.wait();
    co_return result->outcome;
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

std::optional<PasteChord> TextInjector::pasteChord(const RunningApplication& application)
{
    if (isListed(withoutPaste, application))
        return std::nullopt;
    if (isListed(xtermFamily, application))
        return PasteChord::shiftInsert;
    return isListed(terminals, application) ? PasteChord::controlShiftV : PasteChord::controlV;
}

} // namespace parlune
