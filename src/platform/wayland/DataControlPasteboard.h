// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Pasteboard.h"

#include <QObject>

#include <memory>

namespace parlune {

class DataControlConnection;

// The clipboard of a Wayland session. A compositor ignores the clipboard of a program that has no
// focused window, so this goes through the data-control protocol instead, on a connection whose own
// thread answers the programs that paste what we put there. Main thread only.
class DataControlPasteboard final : public QObject, public Pasteboard
{
    Q_OBJECT

public:
    // Another program gets this long to hand over the whole content before the types it has not
    // finished are left out of the copy.
    static constexpr int readLimitMilliseconds = 500;

    // Connected to the compositor of WAYLAND_DISPLAY; none when there is none or it does not let
    // programs reach the clipboard this way.
    static std::unique_ptr<DataControlPasteboard> connect();
    ~DataControlPasteboard() override;

    PasteboardSnapshot items() override;
    int changeCount() override;
    void clearContents() override;
    void writeItems(const PasteboardSnapshot& items) override;

private:
    explicit DataControlPasteboard(std::unique_ptr<DataControlConnection> connection);

    std::unique_ptr<DataControlConnection> m_connection;
    int m_ownChanges = 0;
    bool m_clearPending = false;
};

} // namespace parlune
