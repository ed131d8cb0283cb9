// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Pasteboard.h"

#include <QObject>

#include <optional>

class QClipboard;

namespace parlune {

// The X11 CLIPBOARD selection through Qt's clipboard. Main thread only.
class ClipboardPasteboard final : public QObject, public Pasteboard
{
    Q_OBJECT

public:
    explicit ClipboardPasteboard(QClipboard* clipboard, QObject* parent = nullptr);

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
    int m_changeCount = 0;
    // Our last write is what the clipboard holds, as far as we have heard.
    bool m_owned = false;
    quint32 m_clipboardAtom = 0;
    bool m_writing = false;
    bool m_clearPending = false;
};

} // namespace parlune
