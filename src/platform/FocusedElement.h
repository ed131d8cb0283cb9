// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>

#include <optional>

namespace parlune {

// What the accessibility bus tells of the widget that has the keyboard focus.
struct FocusedElementFacts
{
    // The accessibility role's name, lower case with spaces ("entry", "push button", "document web").
    QString role;
    // The widget says its content can be edited.
    bool editable = false;
};

// What became of a text handed straight to the focused widget.
enum class TextInsertion {
    // Nothing was inserted: no focused widget takes text this way (none, a terminal, a read-only one, a
    // toolkit without it) or it refused. The paste is the way left.
    notInserted,
    // Inserted, and the widget's text read back shows it at the caret.
    confirmed,
    // Handed over, but the text read back does not show it as sent (a field that filters what it
    // takes, or one too slow to answer): it may be there, so it is not sent a second time.
    unconfirmed,
};

class FocusedElement
{
public:
    virtual ~FocusedElement() = default;

    // The focused widget of the active window; none when there is none or the bus cannot be read.
    virtual std::optional<FocusedElementFacts> focused() = 0;

    // Puts `text` at the caret of the focused widget of the active window, in place of its selection as a
    // paste would, without the clipboard or a keystroke. Where there is no such way, nothing is inserted.
    virtual TextInsertion insertText(const QString& text)
    {
        (void)text;
        return TextInsertion::notInserted;
    }

    // Up to `length` characters just before the focused field's text cursor: empty at the start of the
    // field; none when there is no focused field, it does not show its text (password fields never do)
    // or the bus cannot be read.
    virtual std::optional<QString> textBeforeCaret(int length)
    {
        (void)length;
        return std::nullopt;
    }

    // What a paste into the focused field can be checked against: as textBeforeCaret(), for the field of
    // the process `processIdentifier` only, and none in a terminal, which hands a paste to the program
    // running in it, to show or not.
    virtual std::optional<QString> pasteTargetTextBeforeCaret(qint64 processIdentifier, int length)
    {
        (void)processIdentifier;
        (void)length;
        return std::nullopt;
    }
};

} // namespace parlune
