// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts

// One settings row inside a Panel: a symbol, a title with an optional detail line below it, and a
// control at the trailing edge (a switch, a button, a picker).
Item {
    id: row

    property string icon
    property string title
    // Empty: the row has a single line.
    property string detail
    default property alias trailing: trailingSlot.data

    width: parent ? parent.width : implicitWidth
    implicitWidth: layout.implicitWidth + 28
    implicitHeight: Math.max(46, layout.implicitHeight)

    RowLayout {
        id: layout
        anchors.fill: parent
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

        Column {
            Layout.alignment: Qt.AlignVCenter
            Layout.fillWidth: false
            spacing: 1
            Text {
                text: row.title
                color: Theme.primary
                font.pixelSize: Theme.bodySize
            }
            Text {
                visible: row.detail.length > 0
                text: row.detail
                color: Theme.secondary
                font.pixelSize: Theme.captionSize
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.minimumWidth: 8
        }

        Item {
            id: trailingSlot
            Layout.alignment: Qt.AlignVCenter
            implicitWidth: childrenRect.width
            implicitHeight: childrenRect.height
            Layout.preferredWidth: implicitWidth
            Layout.preferredHeight: implicitHeight
        }
    }
}
