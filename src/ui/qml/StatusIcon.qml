// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Parlune.Ui

// A permission's state on its walkthrough page: its symbol on a faint disc, or a white check on green
// once given.
Item {
    id: icon

    property string symbol
    property bool done: false

    implicitWidth: 64
    implicitHeight: 64

    Rectangle {
        anchors.fill: parent
        radius: width / 2
        color: icon.done ? "#30c85a" : Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.08)
        Behavior on color { ColorAnimation { duration: 250 } }
    }
    SymbolIcon {
        id: glyph
        anchors.centerIn: parent
        name: icon.done ? "checkmark" : icon.symbol
        size: 28
        weight: 2.2
        color: icon.done ? "white" : Theme.primary
    }
    // The symbol swaps with a short pop.
    SequentialAnimation {
        id: swap
        NumberAnimation { target: glyph; property: "scale"; to: 0.6; duration: 90; easing.type: Easing.InQuad }
        NumberAnimation { target: glyph; property: "scale"; to: 1; duration: 260; easing.type: Easing.OutBack }
    }
    onDoneChanged: swap.restart()
}
