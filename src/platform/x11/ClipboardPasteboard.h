// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Pasteboard.h"

#include <QClipboard>
#include <QObject>

#include <optional>

namespace parlune {

// An X11 selection through Qt's clipboard: CLIPBOARD, or with QClipboard::Selection the PRIMARY
// selection (what is selected, pasted with the middle button or Shift+Insert). Main thread only.
class ClipboardPasteboard final : public QObject, public Pasteboard
{
    Q_OBJECT

public:
    explicit ClipboardPasteboard(QClipboard* clipboard, QClipboard::Mode mode = QClipboard::Clipboard,
                                 QObject* parent = nullptr);

    PasteboardSnapshot items() override;
    int changeCount() override;
    void clearContents() override;
    void writeItems(const PasteboardSnapshot& items) override;

    // Whether a clipboard type is X11 or Qt bookkeeping rather than content of its own.
    static bool isHousekeepingType(const QString& type);

private:
    // Whether our window owns the clipboard on the X server now; none when not on X11.
    std::optional<bool> ownedOnServer();

    QClipboard* m_clipboard;
    const QClipboard::Mode m_mode;
    int m_changeCount = 0;
    // Our last write is what the clipboard holds, as far as we have heard.
    bool m_owned = false;
    quint32 m_selectionAtom = 0;
    bool m_writing = false;
    bool m_clearPending = false;
};

} // namespace parlune
