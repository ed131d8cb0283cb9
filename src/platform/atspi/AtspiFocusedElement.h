// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FocusedElement.h"

#include <QElapsedTimer>

#include <memory>

namespace parlune {

// The focused widget as the AT-SPI accessibility bus describes it: the focused object inside the
// active window of another application. Main thread only; each call asks the bus anew (the focus itself
// is looked for again once a tenth of a second has passed), and every call to another program is
// bounded in time.
class AtspiFocusedElement final : public FocusedElement
{
public:
    AtspiFocusedElement();
    ~AtspiFocusedElement() override;

    std::optional<FocusedElementFacts> focused() override;
    // Through the widget's editable-text interface, then its text read back at the same place.
    TextInsertion insertText(const QString& text) override;
    // Asks the field's text interface for its cursor and the characters before it.
    std::optional<QString> textBeforeCaret(int length) override;
    std::optional<QString> pasteTargetTextBeforeCaret(qint64 processIdentifier, int length) override;

private:
    struct Focus;
    std::shared_ptr<const Focus> focusOfActiveWindow();

    std::shared_ptr<const Focus> m_lastFocus;
    QElapsedTimer m_lastFocusFound;
};

} // namespace parlune
