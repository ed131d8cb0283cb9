// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Parlune.Ui

// One transcript of the recent list. A click anywhere on the row copies the text; the checkmark then
// stays for as long as the row exists.
AbstractButton {
    id: row
    objectName: "historyRow"

    required property string entryText
    // The entry's time, already in the user's locale.
    required property string time
    property bool copied: false

    signal copy()

    hoverEnabled: true
    implicitWidth: layout.implicitWidth + 28
    implicitHeight: Math.max(38, layout.implicitHeight)
    focusPolicy: Qt.NoFocus

    ToolTip.visible: hovered
    ToolTip.delay: 700
    ToolTip.text: entryText

    onClicked: {
        copy()
        copied = true
    }

    background: Item {}
    contentItem: Item {
        RowLayout {
            id: layout
            anchors.fill: parent
            anchors.leftMargin: 14
            anchors.rightMargin: 14
            spacing: 10

            Text {
                Layout.fillWidth: true
                text: row.entryText
                elide: Text.ElideRight
                maximumLineCount: 1
                textFormat: Text.PlainText
                font.pixelSize: Theme.bodySize
                color: Theme.primary
            }
            Item {
                Layout.minimumWidth: 4 - parent.spacing
            }
            Item {
                implicitWidth: Math.max(timeText.implicitWidth, 14)
                implicitHeight: Math.max(timeText.implicitHeight, 14)
                Layout.alignment: Qt.AlignVCenter

                SymbolIcon {
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    visible: row.copied
                    name: "checkmark"
                    size: 13
                    weight: 2.2
                    color: Theme.accent
                }
                SymbolIcon {
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    visible: !row.copied && row.hovered
                    name: "doc.on.doc"
                    size: 13
                    color: Theme.secondary
                }
                Text {
                    id: timeText
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    visible: !row.copied && !row.hovered
                    text: row.time
                    font.pixelSize: Theme.captionSize
                    color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.4)
                }
            }
        }
    }
}
