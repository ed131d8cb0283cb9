// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// A rounded group box: its children stacked top to bottom, centred, with no space between them, on
// a faint fill. No border, no shadow. Rows take the panel's width; other children keep theirs.
Item {
    id: panel

    default property alias content: column.data

    implicitWidth: {
        let widest = 0
        for (let i = 0; i < column.children.length; ++i)
            widest = Math.max(widest, column.children[i].implicitWidth)
        return widest
    }
    implicitHeight: column.implicitHeight

    Rectangle {
        anchors.fill: parent
        radius: 14
        color: Theme.rowFill
        antialiasing: true
    }

    Column {
        id: column
        width: panel.width
        spacing: 0
        onChildrenChanged: {
            for (let i = 0; i < children.length; ++i)
                children[i].anchors.horizontalCenter = column.horizontalCenter
        }
    }
}
