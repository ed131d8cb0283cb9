// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts

// One settings row inside a Panel: a symbol, a title with an optional detail line below it, and a
// control at the trailing edge (a switch, a button, a picker). Texts too long for the row wrap, so the
// control always stays inside it; an action too wide to sit beside the texts goes under them (`below`).
Item {
    id: row

    property string icon
    property string title
    // Empty: the row has a single line.
    property string detail
    default property alias trailing: trailingSlot.data
    property alias below: belowSlot.data

    // The room the shown items of a slot take; none while they are all hidden.
    function extent(items, dimension) {
        let largest = 0
        for (let i = 0; i < items.length; ++i)
            largest = Math.max(largest, items[i][dimension])
        return largest
    }

    width: parent ? parent.width : implicitWidth
    implicitWidth: 28 + 18 + 12 + Math.max(titleText.implicitWidth, 120) + 12 + trailingSlot.implicitWidth
    implicitHeight: Math.max(46, layout.implicitHeight + 16)

    RowLayout {
        id: layout
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        anchors.leftMargin: 14
        anchors.rightMargin: 14
        spacing: 12

        Item {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            Layout.alignment: Qt.AlignVCenter
            SymbolIcon {
                anchors.centerIn: parent
                name: row.icon
                size: 15
                weight: 1.7
                color: Theme.secondary
            }
        }

        ColumnLayout {
            Layout.alignment: Qt.AlignVCenter
            Layout.fillWidth: true
            spacing: 1
            Text {
                id: titleText
                Layout.fillWidth: true
                text: row.title
                wrapMode: Text.WordWrap
                color: Theme.primary
                font.pixelSize: Theme.bodySize
            }
            Text {
                Layout.fillWidth: true
                visible: row.detail.length > 0
                text: row.detail
                wrapMode: Text.WordWrap
                color: Theme.secondary
                font.pixelSize: Theme.captionSize
            }
            Item {
                id: belowSlot
                Layout.topMargin: implicitHeight > 0 ? 6 : 0
                implicitWidth: row.extent(visibleChildren, "width")
                implicitHeight: row.extent(visibleChildren, "height")
            }
        }

        // Takes no room while its control is hidden.
        Item {
            id: trailingSlot
            Layout.alignment: Qt.AlignVCenter
            implicitWidth: row.extent(visibleChildren, "width")
            implicitHeight: row.extent(visibleChildren, "height")
            Layout.preferredWidth: implicitWidth
            Layout.preferredHeight: implicitHeight
        }
    }
}
