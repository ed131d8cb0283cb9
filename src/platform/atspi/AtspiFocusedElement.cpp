// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atspi/AtspiFocusedElement.h"

#include "platform/Log.h"
#include "platform/atspi/AtspiTree.h"

#include <QElapsedTimer>
#include <QList>

#include <algorithm>

namespace parlune {

using namespace atspi;

namespace {

using EditableText = std::unique_ptr<AtspiEditableText, Unref>;
using Text = std::unique_ptr<AtspiText, Unref>;

// Reading the text before the cursor is worth less than a prompt paste.
constexpr int contextTimeoutMilliseconds = 100;

// A focus found this long ago still stands: a delivery asks one after the other whether the widget
// takes text, what is before its caret and, before the paste, what it shows, and each walk asks every
// program on the bus.
constexpr int focusReuseMilliseconds = 100;

// One call to another program. It failed for want of an answer when it took the bus's whole time limit.
class Call
{
public:
    Call() { m_timer.start(); }
    ~Call()
    {
        if (error)
            g_error_free(error);
    }
    Call(const Call&) = delete;
    Call& operator=(const Call&) = delete;

    bool failed() const { return error != nullptr; }
    bool unanswered() const { return error && m_timer.elapsed() >= callTimeoutMilliseconds * 9 / 10; }

    GError* error = nullptr;

private:
    QElapsedTimer m_timer;
};

// Whether the application's toolkit is Qt, which counts text otherwise. Asked of the application itself:
// Qt answers it only there, and the bus keeps the answer.
bool isQt(AtspiAccessible* application)
{
    Call call;
    gchar* toolkit = atspi_accessible_get_toolkit_name(application, &call.error);
    const bool qt = toolkit && qstrcmp(toolkit, "Qt") == 0;
    g_free(toolkit);
    return qt;
}

// How much of `text` the widget is told to insert: its bytes of UTF-8, as the bus defines it.
// WORKAROUND: Qt reads the length in UTF-16 units, and past the end of the text when told more.
int insertionLength(const QString& text, bool qt)
{
    return int(qt ? text.size() : text.toUtf8().size());
}

// The length of `text` in the widget's character offsets. WORKAROUND: Qt counts offsets in UTF-16 units
// where the bus means characters; the two differ only beyond the first 65536 characters (emoji).
int offsetLength(const QString& text, bool qt)
{
    return int(qt ? text.size() : text.toUcs4().size());
}

// Where the text goes: the caret, or the start of the selection, which is removed first as a paste
// would replace it. None when the widget tells no caret.
std::optional<int> insertionPoint(AtspiText* text, AtspiEditableText* editable)
{
    Call caretCall;
    const gint caret = atspi_text_get_caret_offset(text, &caretCall.error);
    if (caretCall.failed() || caret < 0)
        return std::nullopt;
    Call countCall;
    const gint selections = atspi_text_get_n_selections(text, &countCall.error);
    if (countCall.failed() || selections < 1)
        return caret;
    Call rangeCall;
    AtspiRange* range = atspi_text_get_selection(text, 0, &rangeCall.error);
    if (!range)
        return caret;
    const gint start = std::min(range->start_offset, range->end_offset);
    const gint end = std::max(range->start_offset, range->end_offset);
    g_free(range);
    if (start == end)
        return caret;
    Call deleteCall;
    if (!atspi_editable_text_delete_text(editable, start, end, &deleteCall.error) || deleteCall.failed())
        return caret;
    return start;
}

// Every bus call made while it lives answers within `milliseconds`, or fails.
class CallTimeout
{
public:
    explicit CallTimeout(int milliseconds) { atspi_set_timeout(milliseconds, milliseconds); }
    ~CallTimeout() { atspi_set_timeout(callTimeoutMilliseconds, callTimeoutMilliseconds); }
    CallTimeout(const CallTimeout&) = delete;
    CallTimeout& operator=(const CallTimeout&) = delete;
};

// Up to `length` characters before the caret of `element`; terminals left out with `notInTerminal`.
std::optional<QString> readBeforeCaret(AtspiAccessible* element, int length, bool notInTerminal)
{
    // A password field's characters are never read, whatever its toolkit would show of them.
    Call roleCall;
    const AtspiRole role = atspi_accessible_get_role(element, &roleCall.error);
    if (roleCall.failed() || role == ATSPI_ROLE_PASSWORD_TEXT ||
        (notInTerminal && role == ATSPI_ROLE_TERMINAL))
        return std::nullopt;
    const Text text(atspi_accessible_get_text_iface(element));
    if (!text)
        return std::nullopt;

    // Offsets count characters, not bytes.
    Call caretCall;
    const gint caret = atspi_text_get_caret_offset(text.get(), &caretCall.error);
    if (caretCall.failed() || caret < 0)
        return std::nullopt;
    if (caret == 0)
        return QString();
    Call readCall;
    gchar* before = atspi_text_get_text(text.get(), std::max(0, caret - length), caret, &readCall.error);
    const bool read = !readCall.failed();
    QString outcome = read ? QString::fromUtf8(before) : QString();
    g_free(before);
    if (!read)
        return std::nullopt;
    return outcome;
}

} // namespace

// The focused object of the active window, and the application it belongs to.
struct AtspiFocusedElement::Focus
{
    Accessible application;
    Accessible element;
    qint64 processIdentifier = 0;
};

AtspiFocusedElement::AtspiFocusedElement() = default;
AtspiFocusedElement::~AtspiFocusedElement() = default;

std::shared_ptr<const AtspiFocusedElement::Focus> AtspiFocusedElement::focusOfActiveWindow()
{
    if (m_lastFocus && m_lastFocusFound.isValid() && m_lastFocusFound.elapsed() < focusReuseMilliseconds)
        return m_lastFocus;
    m_lastFocus.reset();
    std::optional<ActiveWindow> active = activeWindowOfAnotherApplication();
    if (!active)
        return nullptr;
    Accessible element = focusedInside(active->window.get());
    if (!element)
        return nullptr;
    m_lastFocus = std::make_shared<const Focus>(
        Focus{std::move(active->application), std::move(element), active->processIdentifier});
    m_lastFocusFound.start();
    return m_lastFocus;
}

std::optional<FocusedElementFacts> AtspiFocusedElement::focused()
{
    const auto focus = focusOfActiveWindow();
    if (!focus)
        return std::nullopt;
    AtspiAccessible* element = focus->element.get();
    FocusedElementFacts facts;
    GError* roleError = nullptr;
    const AtspiRole role = atspi_accessible_get_role(element, &roleError);
    if (roleError) {
        g_error_free(roleError);
    } else if (gchar* name = atspi_role_get_name(role)) {
        facts.role = QString::fromUtf8(name);
        g_free(name);
    }
    facts.editable = hasState(element, ATSPI_STATE_EDITABLE);
    return facts;
}

TextInsertion AtspiFocusedElement::insertText(const QString& text)
{
    if (text.isEmpty())
        return TextInsertion::notInserted;
    const auto focus = focusOfActiveWindow();
    if (!focus || !hasState(focus->element.get(), ATSPI_STATE_EDITABLE))
        return TextInsertion::notInserted;
    AtspiAccessible* element = focus->element.get();
    // A terminal hands what it is given to the program running in it, not to a field: it gets the paste.
    Call roleCall;
    if (atspi_accessible_get_role(element, &roleCall.error) == ATSPI_ROLE_TERMINAL)
        return TextInsertion::notInserted;
    const EditableText editable(atspi_accessible_get_editable_text_iface(element));
    const Text readable(atspi_accessible_get_text_iface(element));
    if (!editable || !readable)
        return TextInsertion::notInserted;

    const std::optional<int> position = insertionPoint(readable.get(), editable.get());
    if (!position)
        return TextInsertion::notInserted;
    const bool qt = isQt(focus->application.get());
    Call insertCall;
    const bool inserted = atspi_editable_text_insert_text(
        editable.get(), *position, text.toUtf8().constData(), insertionLength(text, qt), &insertCall.error);
    if (insertCall.unanswered()) {
        // It may arrive once the program wakes up: pasting it as well could give it twice.
        logLine("Parlune: %lld characters handed to the focused field, which did not answer",
                qint64(text.size()));
        return TextInsertion::unconfirmed;
    }
    if (insertCall.failed() || !inserted)
        return TextInsertion::notInserted;

    const int length = offsetLength(text, qt);
    Call readCall;
    gchar* back = atspi_text_get_text(readable.get(), *position, *position + length, &readCall.error);
    const bool confirmed = back && QString::fromUtf8(back) == text;
    g_free(back);
    // The caret goes after the text, where a paste leaves it; toolkits that replace the whole text to
    // insert put it elsewhere.
    Call caretCall;
    if (atspi_text_get_caret_offset(readable.get(), &caretCall.error) != *position + length &&
        !caretCall.failed()) {
        Call moveCall;
        atspi_text_set_caret_offset(readable.get(), *position + length, &moveCall.error);
    }
    logLine("Parlune: %lld characters inserted through the accessibility bus, %s", qint64(text.size()),
            confirmed ? "read back" : "not found on reading back");
    return confirmed ? TextInsertion::confirmed : TextInsertion::unconfirmed;
}

std::optional<QString> AtspiFocusedElement::textBeforeCaret(int length)
{
    if (length <= 0)
        return std::nullopt;
    // The text before the cursor only shapes the spacing of what is pasted, or confirms a paste: a field
    // slower than this is taken as telling nothing rather than holding the paste back.
    const CallTimeout timeout(contextTimeoutMilliseconds);
    const auto focus = focusOfActiveWindow();
    return focus ? readBeforeCaret(focus->element.get(), length, false) : std::nullopt;
}

std::optional<QString> AtspiFocusedElement::pasteTargetTextBeforeCaret(qint64 processIdentifier, int length)
{
    if (length <= 0)
        return std::nullopt;
    const CallTimeout timeout(contextTimeoutMilliseconds);
    const auto focus = focusOfActiveWindow();
    // A process the bus cannot tell is nobody's.
    if (!focus || processIdentifier == 0 || focus->processIdentifier != processIdentifier)
        return std::nullopt;
    return readBeforeCaret(focus->element.get(), length, true);
}

} // namespace parlune
