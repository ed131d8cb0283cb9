// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic

// The panel's stop button tells what it does once the pointer rests on it.
Item {
    ToolTip {
        visible: true
        delay: 600
        text: "Terminer"
    }
}
