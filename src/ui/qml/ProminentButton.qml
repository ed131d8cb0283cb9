// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import Parlune.Ui

// The button that carries the main action: white text on the accent colour.
Button {
    id: control

    property bool large: false

    focusPolicy: Qt.NoFocus
    padding: 0
    implicitHeight: large ? 32 : 22
    implicitWidth: label.implicitWidth + (large ? 32 : 20)

    contentItem: Text {
        id: label
        text: control.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: control.large ? Theme.bodySize : Theme.captionSize
        font.weight: Font.DemiBold
        color: "white"
    }
    background: Rectangle {
        radius: control.large ? 8 : 6
        color: control.down ? Qt.darker(Theme.accent, 1.15) : Theme.accent
    }
}
