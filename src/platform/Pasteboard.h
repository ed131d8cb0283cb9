// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <utility>
#include <vector>

namespace parlune {

// One item of the clipboard: for every type it offers, in the order it listed them, the bytes of that
// type. On X11 the clipboard holds at most one item; the list form keeps copies and restores uniform.
struct PasteboardItem
{
    std::vector<std::pair<QString, QByteArray>> data;

    bool operator==(const PasteboardItem&) const = default;
};

using PasteboardSnapshot = std::vector<PasteboardItem>;

// The system clipboard, as the text delivery uses it.
class Pasteboard
{
public:
    virtual ~Pasteboard() = default;

    // A deep copy of what is on the clipboard now, every readable type of every item; empty when the
    // clipboard is empty or cannot be read. Types whose bytes cannot be obtained are left out.
    virtual PasteboardSnapshot items() = 0;
    // Moves whenever the clipboard's content changes: on each of our writes and whenever another
    // program takes the clipboard.
    virtual int changeCount() = 0;
    virtual void clearContents() = 0;
    // Replaces the clipboard's content with these items; the order of items and types is kept.
    virtual void writeItems(const PasteboardSnapshot& items) = 0;
};

} // namespace parlune
