// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import Parlune.Ui

// A small on/off switch, its label hidden.
Switch {
    id: control

    padding: 0
    implicitWidth: 32
    implicitHeight: 18
    focusPolicy: Qt.NoFocus

    indicator: Rectangle {
        width: control.width
        height: control.height
        radius: height / 2
        color: control.checked ? Theme.accent : Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.18)
        Behavior on color { ColorAnimation { duration: 120 } }

        Rectangle {
            width: parent.height - 4
            height: width
            radius: width / 2
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: "white"
            Behavior on x { NumberAnimation { duration: 120; easing.type: Easing.OutCubic } }
        }
    }
    contentItem: Item {}
}
