// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// The program's mark: five rounded bars on a 100 × 100 grid, the outer two tall, the inner three
// short while idle and grown while recording. The tray icon is the same drawing, made in C++.
Item {
    id: mark

    property bool recording: false
    property color color: Theme.primary

    implicitWidth: 18
    implicitHeight: 18

    readonly property real unit: width / 100
    readonly property var heights: recording ? [64, 35.2, 57.2, 35.2, 64] : [64, 16, 26, 16, 64]

    Repeater {
        model: 5
        Rectangle {
            required property int index
            x: (15.5 + 15 * index) * mark.unit
            width: 11 * mark.unit
            height: mark.heights[index] * mark.unit
            y: (50 - mark.heights[index] / 2) * mark.unit
            radius: 5.5 * mark.unit
            antialiasing: true
            color: mark.color
        }
    }
}
