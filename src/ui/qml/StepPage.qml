// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Parlune.Ui

// One page of the walkthrough: a picture, a title and an explanation that wraps onto as many lines as
// it needs.
ColumnLayout {
    id: page

    property string title
    property string text
    default property alias visual: visualBox.data

    spacing: 14

    Item {
        id: visualBox
        Layout.fillWidth: true
        implicitHeight: 76
        onChildrenChanged: {
            for (let i = 0; i < children.length; ++i)
                children[i].anchors.centerIn = visualBox
        }
    }
    Text {
        Layout.fillWidth: true
        text: page.title
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        font.pixelSize: 17
        font.weight: Font.DemiBold
        color: Theme.primary
    }
    Text {
        Layout.fillWidth: true
        text: page.text
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.WordWrap
        font.pixelSize: Theme.bodySize
        lineHeight: 1.12
        color: Theme.secondary
    }
}
