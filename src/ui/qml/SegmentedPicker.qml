// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import Parlune.Ui

// One segment per choice at its natural width; the chosen one stands out.
Rectangle {
    id: picker

    property var segments: []
    property int currentIndex: 0
    property bool large: false
    // Indexes of the segments that cannot be chosen here: shown dimmed.
    property var disabledSegments: []

    signal activated(int index)

    readonly property real segmentHeight: large ? 28 : 22

    implicitWidth: row.implicitWidth + 4
    implicitHeight: segmentHeight + 4
    radius: large ? 8 : 6
    color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.08)

    Row {
        id: row
        x: 2
        y: 2

        Repeater {
            model: picker.segments

            AbstractButton {
                required property int index
                required property string modelData
                readonly property bool chosen: index === picker.currentIndex

                implicitWidth: label.implicitWidth + (picker.large ? 28 : 18)
                implicitHeight: picker.segmentHeight
                focusPolicy: Qt.NoFocus
                enabled: picker.disabledSegments.indexOf(index) < 0
                onClicked: picker.activated(index)

                background: Rectangle {
                    radius: picker.radius - 2
                    color: parent.chosen ? (Theme.dark ? Qt.rgba(1, 1, 1, 0.22) : "white") : "transparent"
                    border.width: parent.chosen && !Theme.dark ? 0.5 : 0
                    border.color: Qt.rgba(0, 0, 0, 0.12)
                }
                contentItem: Text {
                    id: label
                    text: parent.modelData
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                    font.pixelSize: picker.large ? Theme.bodySize : Theme.captionSize
                    font.weight: parent.chosen ? Font.DemiBold : Font.Medium
                    color: Theme.primary
                    opacity: parent.enabled ? 1 : 0.4
                }
            }
        }
    }
}
