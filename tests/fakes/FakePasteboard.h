// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Pasteboard.h"

namespace parlune {

// A clipboard in memory; other programs' copies are simulated with copyFromOtherProgram().
class FakePasteboard final : public Pasteboard
{
public:
    PasteboardSnapshot content;

    PasteboardSnapshot items() override { return content; }
    int changeCount() override { return m_changeCount; }
    void clearContents() override
    {
        content.clear();
        ++m_changeCount;
    }
    void writeItems(const PasteboardSnapshot& items) override
    {
        content.insert(content.end(), items.begin(), items.end());
        ++m_changeCount;
    }

    // The plain text on it, empty when there is none.
    QString text() const
    {
        for (const PasteboardItem& item : content)
            for (const auto& [type, bytes] : item.data)
                if (type == QLatin1String("text/plain"))
                    return QString::fromUtf8(bytes);
        return {};
    }

    void copyFromOtherProgram(PasteboardSnapshot items)
    {
        content = std::move(items);
        ++m_changeCount;
    }

private:
    int m_changeCount = 0;
};

} // namespace parlune
