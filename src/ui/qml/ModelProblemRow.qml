// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick
import QtQuick.Layouts
import Parlune.Ui

// The current language's model could not be loaded: why, and where a fresh copy can be downloaded, the
// button that does it. Takes no room otherwise, nor while a download runs.
Item {
    id: row

    required property QtObject coordinator

    visible: coordinator.modelProblem !== "" && !coordinator.modelDownloadActive
    implicitWidth: 300
    implicitHeight: visible ? layout.implicitHeight : 0

    RowLayout {
        id: layout
        width: parent.width
        spacing: 8

        Text {
            objectName: "modelProblemText"
            Layout.fillWidth: true
            text: row.coordinator.modelProblem
            wrapMode: Text.WordWrap
            font.pixelSize: Theme.captionSize
            color: Theme.secondary
        }
        PlainButton {
            objectName: "downloadModelAgain"
            visible: row.coordinator.canDownloadModelAgain
            text: qsTr("Télécharger à nouveau")
            fontSize: Theme.captionSize
            onClicked: row.coordinator.downloadModelAgain()
        }
    }
}
