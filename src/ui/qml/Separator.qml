// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import Parlune.Ui

// A hairline between the rows of a Panel, starting `inset` from the left so it runs under the texts.
Item {
    property real inset: 44

    width: parent ? parent.width : 0
    implicitHeight: 1

    Rectangle {
        x: parent.inset
        width: parent.width - parent.inset
        height: 1
        color: Qt.rgba(Theme.primary.r, Theme.primary.g, Theme.primary.b, 0.1)
    }
}
