// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import Parlune.Ui

// A borderless button: its text alone, in the accent colour.
AbstractButton {
    id: control

    property real fontSize: Theme.calloutSize

    focusPolicy: Qt.NoFocus
    hoverEnabled: true
    implicitWidth: label.implicitWidth + 8
    implicitHeight: label.implicitHeight + 4

    background: Item {}
    contentItem: Text {
        id: label
        text: control.text
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        font.pixelSize: control.fontSize
        color: Theme.accent
        opacity: control.down ? 0.6 : (control.hovered ? 0.85 : 1)
    }
}
